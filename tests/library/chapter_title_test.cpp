#include "library/chapter_title.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"

namespace lectoria {
namespace {

std::string G(const char* utf8) {
  return Utf8ToGbk(utf8);
}

struct TitleCase {
  const char* name;
  std::string line;
  bool title;
};

TEST(ChapterTitle, Rule) {
  const std::string di = G("第");
  const std::string zhang = G("章");
  const TitleCase cases[] = {
      // "第" at byte 1 and "章" at byte 5 of an 11-byte line.
      {"ShortTitleWithName", G("第一章 开始"), true},
      // 18 bytes, "章" at byte 17.
      {"SevenNumerals", G("第一二三四五六七章"), true},
      {"EmptyLine", "", false},
      {"OrdinaryText", G("他走进了屋子。"), false},
      {"OnlyDi", G("第一回 开始"), false},
      {"OnlyZhang", G("这一章很长"), false},
      // "章" 19 bytes after "第" still counts, 20 bytes does not.
      {"Distance19", di + std::string(17, 'a') + zhang, true},
      {"Distance20", di + std::string(18, 'a') + zhang, false},
      // "章" before "第" gives a negative distance, which passes.
      {"ZhangBeforeDi", G("一章第二三"), true},
      // The search is on raw bytes: B5 DA spanning two characters (C4 B5 + DA C0) is found.
      {"MatchAcrossCharacters", "\xC4\xB5\xDA\xC0" + zhang + "ab", true},
      // Only the first occurrences count: the first "章" is 20 bytes after the first "第".
      {"FirstOccurrencesOnly", di + std::string(18, 'x') + zhang + di + zhang, false},
      // Length borders of the "第…章" rule: 4 bytes is too short, 5 is enough.
      {"FourBytesDiZhang", di + zhang, false},
      {"FiveBytesDiZhang", di + zhang + "1", true},
      {"FortyNineBytes", di + zhang + std::string(45, 'x'), true},
      {"FiftyBytes", di + zhang + std::string(46, 'x'), false},
      // Digit lines, only outside 5..49 bytes.
      {"Digits12", "12", true},
      {"Digits007", "007", true},
      {"DigitsWithSpaces4Bytes", " 12 ", true},
      {"FourDigits", "1234", true},
      {"FiveDigits", "12345", false},
      {"FiveBytesSpacedDigit", "  1  ", false},
      {"FortyNineDigits", std::string(49, '7'), false},
      {"FiftyDigits", std::string(50, '7'), true},
      {"FiftyTwoDigits", std::string(52, '1'), true},
      {"LongSpacedDigits", std::string(10, ' ') + std::string(45, '3') + "  ", true},
      {"OnlySpaces", "    ", false},
      {"SpaceInsideDigits", "1 2", false},
      {"TabIsNotSpace", "\t12", false},
      {"SignedNumber", "-12", false},
      {"LongDigitsWithLetter", std::string(55, '1') + "a", false},
  };
  for (const TitleCase& c : cases) {
    EXPECT_EQ(IsChapterTitle(c.line), c.title) << c.name;
  }
}

}  // namespace
}  // namespace lectoria
