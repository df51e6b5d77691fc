#include "platform/gbk_text.h"

#include <gtest/gtest.h>

namespace lectoria {
namespace {

TEST(GbkSearch, NeverMatchesOnATrailByte) {
  // "\xB0\x5C" is one character whose second byte is a backslash.
  const std::string text = "\xB0\x5C" "a\\b";
  EXPECT_EQ(FindText(text, "\\"), 3u);
  EXPECT_EQ(FindText("\xD6\xD0\xCE\xC4", "\xD0\xCE"), std::string::npos);
  EXPECT_EQ(FindText("\xD6\xD0\xCE\xC4", "\xCE\xC4"), 2u);
}

TEST(GbkSearch, IgnoreCaseFoldsOnlyAscii) {
  EXPECT_EQ(FindTextIgnoreCase("X-Content-TYPE: a", "content-type:"), 2u);
  // 'B0 41' and 'B0 61' are different characters.
  EXPECT_EQ(FindTextIgnoreCase("\xB0\x41", "\xB0\x61"), std::string::npos);
  EXPECT_TRUE(EqualsIgnoreCase("Accept", "aCCEPT"));
  EXPECT_EQ(AsciiLower("AB\xB0\x41"), "ab\xB0\x41");
}

TEST(GbkSearch, EmptyAndOutOfRange) {
  EXPECT_EQ(FindText("abc", ""), 0u);
  EXPECT_EQ(FindText("abc", "", 3), 3u);
  EXPECT_EQ(FindText("abc", "c", 4), std::string::npos);
  EXPECT_EQ(FindText("", "a"), std::string::npos);
}

TEST(GbkTrim, SpacesAndFullWidthBlanks) {
  EXPECT_EQ(TrimSpaces("  a b \t "), "a b \t");
  EXPECT_EQ(TrimSpaces("\xA1\xA1" "a"), "\xA1\xA1" "a");
  EXPECT_EQ(TrimBlanks(" \xA1\xA1 a\xA1\xA1 "), "a");
  // The bytes A1 A1 here straddle two characters (B0 A1, A1 A1 ... ) and must not be cut alone.
  EXPECT_EQ(TrimBlanks("\xB0\xA1\xA1\xA1"), "\xB0\xA1");
  EXPECT_EQ(TrimBlanks("\xB0\xA1"), "\xB0\xA1");
  EXPECT_EQ(TrimBlanks("   "), "");
}

TEST(GbkSplit, KeepsMiddlePiecesDropsEmptyLast) {
  using V = std::vector<std::string>;
  EXPECT_EQ(SplitText("a&&b&", "&"), (V{"a", "", "b"}));
  EXPECT_EQ(SplitText("&a", "&"), (V{"", "a"}));
  EXPECT_EQ(SplitText("", "&"), V{});
  EXPECT_EQ(SplitText("a\r\nb", "\r\n"), (V{"a", "b"}));
  EXPECT_EQ(SplitText("\xB0\x7C|x", "|"), (V{"\xB0\x7C", "x"}));
}

TEST(LeadingInt, ReadsTheLeadingNumber) {
  EXPECT_EQ(ReadLeadingInt("  42abc"), 42);
  EXPECT_EQ(ReadLeadingInt("-7"), -7);
  EXPECT_EQ(ReadLeadingInt("+3"), 3);
  EXPECT_EQ(ReadLeadingInt("abc"), 0);
  EXPECT_EQ(ReadLeadingInt(""), 0);
  EXPECT_EQ(ReadLeadingInt("- 5"), 0);
  EXPECT_EQ(ReadLeadingInt("99999999999999999999999999999"), INT32_MAX);
  EXPECT_EQ(ReadLeadingInt("-99999999999999999999999999999"), INT32_MIN);
  EXPECT_EQ(ReadLeadingInt("2147483648"), INT32_MAX);
  EXPECT_EQ(ReadLeadingInt("-2147483648"), INT32_MIN);
}

}  // namespace
}  // namespace lectoria
