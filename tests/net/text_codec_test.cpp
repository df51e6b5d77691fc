#include "net/text_codec.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

namespace lectoria {
namespace {

struct CodecCase {
  const char* what;
  std::string input;
  std::string from;
  std::string to;
  std::size_t startPosition;
  std::string expected;
};

void PrintTo(const CodecCase& c, std::ostream* os) {
  *os << c.what;
}

// Test names from the descriptions: "empty input" -> "empty_input".
std::string CaseName(const testing::TestParamInfo<CodecCase>& info) {
  std::string name;
  for (const char* p = info.param.what; *p != '\0'; ++p)
    name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
  return name;
}

class ConvertCharsetTest : public testing::TestWithParam<CodecCase> {};

TEST_P(ConvertCharsetTest, Converts) {
  const CodecCase& c = GetParam();
  EXPECT_EQ(ConvertCharset(c.input, c.from, c.to, c.startPosition), c.expected) << c.what;
}

const std::string kZhongWenUtf8 = "\xE4\xB8\xAD\xE6\x96\x87";  // 中文
const std::string kZhongWenGbk = "\xD6\xD0\xCE\xC4";           // 中文

INSTANTIATE_TEST_SUITE_P(
    Examples, ConvertCharsetTest,
    testing::Values(
        CodecCase{"empty input", "", "UTF-8", "GBK", 0, ""},
        CodecCase{"Chinese", kZhongWenUtf8, "UTF-8", "GBK", 0, kZhongWenGbk},
        CodecCase{"ASCII unchanged", "{\"a\": [1, 2.5e3, true]}\r\n\t~", "UTF-8", "GBK", 0,
                  "{\"a\": [1, 2.5e3, true]}\r\n\t~"},
        CodecCase{"empty names mean UTF-8 to GBK", kZhongWenUtf8, "", "", 0, kZhongWenGbk},
        CodecCase{"charset names in any case", kZhongWenUtf8, "utf-8", "gbk", 0, kZhongWenGbk},
        CodecCase{"GBK to UTF-8", kZhongWenGbk, "GBK", "UTF-8", 0, kZhongWenUtf8},
        CodecCase{"euro sign is 0x80 as in code page 936", "\xE2\x82\xAC", "UTF-8", "GBK", 0,
                  "\x80"},
        CodecCase{"GB2312 means code page 936, not EUC-CN", "\xE2\x82\xAC", "UTF-8", "gb2312", 0,
                  "\x80"},
        CodecCase{"byte-order mark dropped", "\xEF\xBB\xBFx", "UTF-8", "GBK", 0, "x"},
        CodecCase{"unknown source charset", "abc", "NO-SUCH-CHARSET", "GBK", 0, ""},
        CodecCase{"unknown target charset", "abc", "UTF-8", "NO-SUCH-CHARSET", 0, ""}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    StartPosition, ConvertCharsetTest,
    testing::Values(CodecCase{"drops leading output bytes", kZhongWenUtf8, "UTF-8", "GBK", 2,
                              "\xCE\xC4"},
                    CodecCase{"counts output, not input bytes", "ab" + kZhongWenUtf8, "UTF-8",
                              "GBK", 4, "\xCE\xC4"},
                    CodecCase{"at the end", kZhongWenUtf8, "UTF-8", "GBK", 4, ""},
                    CodecCase{"past the end", kZhongWenUtf8, "UTF-8", "GBK", 100, ""}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    Unmappable, ConvertCharsetTest,
    testing::Values(
        CodecCase{"emoji has no GBK form", "x\xF0\x9F\x98\x80y", "UTF-8", "GBK", 0, "x?y"},
        CodecCase{"Hangul has no GBK form", "\xED\x95\x9Cx" + kZhongWenUtf8, "UTF-8", "GBK", 0,
                  "?x" + kZhongWenGbk},
        CodecCase{"one ? per character", "\xF0\x9F\x98\x80\xF0\x9F\x98\x80", "UTF-8", "GBK", 0,
                  "??"},
        CodecCase{"Chinese to ASCII", "a" + kZhongWenUtf8 + "b", "UTF-8", "ASCII", 0, "a??b"},
        CodecCase{"other source charsets too", "x\xE1y", "ISO-8859-7", "ISO-8859-1", 0, "x?y"}),
    CaseName);

INSTANTIATE_TEST_SUITE_P(
    InvalidInput, ConvertCharsetTest,
    testing::Values(
        CodecCase{"stray continuation byte", "x\x80y", "UTF-8", "GBK", 0, "x?y"},
        CodecCase{"byte never in UTF-8", "\xFF" + kZhongWenUtf8, "UTF-8", "GBK", 0,
                  "?" + kZhongWenGbk},
        CodecCase{"truncated sequence before more text", "\xE4\xB8xy", "UTF-8", "GBK", 0, "?xy"},
        CodecCase{"truncated sequence at the end", "a\xE4\xB8", "UTF-8", "GBK", 0, "a?"},
        CodecCase{"lead byte followed by a lead byte", "\xE4\xE6\x96\x87", "UTF-8", "GBK", 0,
                  "?\xCE\xC4"},
        CodecCase{"overlong form: one ? per bad byte", "\xC0\xAFx", "UTF-8", "GBK", 0, "??x"},
        CodecCase{"encoded surrogate", "\xED\xA0\x80x", "UTF-8", "GBK", 0, "???x"},
        CodecCase{"GBK lead byte before ASCII", "\x81 a", "GBK", "UTF-8", 0, "? a"},
        CodecCase{"GBK unassigned pair is one character", "\xA2\xABx", "GBK", "UTF-8", 0, "?x"},
        CodecCase{"GBK lone lead byte at the end", "a\xD6", "GBK", "UTF-8", 0, "a?"},
        CodecCase{"GBK byte 0xFF", "\xFFx", "GBK", "UTF-8", 0, "?x"},
        CodecCase{"other source charsets too", "x\xD2y", "ISO-8859-7", "UTF-8", 0, "x?y"}),
    CaseName);

TEST(ConvertCharset, ReplacementIsWrittenInTheTargetCharset) {
  // A "?" must be a UTF-16 unit, and the target's byte-order mark must not come twice.
  EXPECT_EQ(ConvertCharset("x\xFFy", "UTF-8", "UTF-16LE"), std::string("x\0?\0y\0", 6));
  EXPECT_EQ(ConvertCharset("x\xFFy", "UTF-8", "UTF-16"), ConvertCharset("x?y", "UTF-8", "UTF-16"));
  // A lone surrogate in UTF-16 input is one fault; the units after it stay in step.
  EXPECT_EQ(ConvertCharset(std::string("x\0\0\xD8y\0", 6), "UTF-16LE", "GBK"), "x?y");
}

TEST(ConvertCharset, FaultsAnywhereInALongTextAreEachReplaced) {
  // Faults far apart, across iconv's internal buffers and the output buffer's growth.
  std::string input;
  std::string expectedGbk;
  std::string expectedUtf8;
  for (int i = 0; i < 20000; ++i) {
    const std::string number = std::to_string(i);
    input += kZhongWenUtf8 + "line " + number;
    expectedGbk += kZhongWenGbk + "line " + number;
    expectedUtf8 += kZhongWenUtf8 + "line " + number;
    if (i % 997 == 0) {
      input += "\xF0\x9F\x98\x80";  // no GBK form
      expectedGbk += "?";
      expectedUtf8 += "\xF0\x9F\x98\x80";
    }
    if (i % 1499 == 0) {
      input += "\xC3";  // truncated
      expectedGbk += "?";
      expectedUtf8 += "?";
    }
  }
  EXPECT_TRUE(ConvertCharset(input) == expectedGbk);
  EXPECT_TRUE(ConvertCharset(input, "UTF-8", "UTF-8") == expectedUtf8);
}

TEST(ConvertCharset, GbkRoundTripKeepsEveryAssignedDoubleByteCharacter) {
  // Every pair of the main GB2312 block, which GBK and code page 936 share.
  std::string gbk;
  for (int lead = 0xB0; lead <= 0xF7; ++lead)
    for (int trail = 0xA1; trail <= 0xFE; ++trail)
      if (!(lead == 0xD7 && trail > 0xF9)) {  // D7FA..D7FE are unassigned
        gbk += static_cast<char>(lead);
        gbk += static_cast<char>(trail);
      }
  const std::string utf8 = ConvertCharset(gbk, "GBK", "UTF-8");
  EXPECT_EQ(utf8.find('?'), std::string::npos);
  EXPECT_EQ(ConvertCharset(utf8), gbk);
}

}  // namespace
}  // namespace lectoria
