#include "library/utf8_check.h"
#include "library/book_decoder.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/codepage.h"

namespace lectoria {
namespace {

struct CharsetCase {
  const char* name;
  std::string data;
  bool utf8;
};

TEST(Utf8Check, FirstNonAsciiByteAndValidation) {
  const CharsetCase cases[] = {
      {"Empty", "", false},
      {"Ascii", "Chapter 1\r\nplain text\r\n", false},
      {"BomOnly", "\xEF\xBB\xBF", true},
      {"BomAndAscii",
       "\xEF\xBB\xBF"
       "abc",
       true},
      {"BomAndChinese",
       "\xEF\xBB\xBF"
       "第一章 开始\r\n正文",
       true},
      {"ChineseNoBom", "第一章 开始\r\n正文", true},
      {"AsciiThenChinese", "Preface\r\n第一章", true},
      {"TwoByteLeadFirst", "caf\xC3\xA9 第一章", true},
      {"FourByteLeadFirst", "\xF0\x9F\x98\x80 ok", true},
      {"StrayContinuation",
       "\x80"
       "abc",
       false},
      {"F8Lead", "\xF8\x88\x80\x80\x80", false},
      {"ThreeByteLeadShort", "ab\xE4\xB8", false},
      {"ThreeByteLeadBadTrail",
       "\xE4\xB8"
       "a",
       false},
      {"TwoByteLeadNoTrail",
       "\xC3"
       "a",
       false},
      // Pass the first-byte test but are not well-formed UTF-8.
      {"OverlongTwoByte",
       "\xC0\x80"
       "abc",
       false},
      {"OverlongThreeByte", "\xE0\x80\x80", false},
      {"Surrogate", "\xED\xA0\x80", false},
      {"AboveUnicode", "\xF4\x90\x80\x80", false},
      {"F5Lead", "\xF5\x80\x80\x80", false},
      {"ValidThenInvalid", "第一章\xB5\xDA", false},
  };
  for (const CharsetCase& c : cases) {
    EXPECT_EQ(IsUtf8Text(c.data), c.utf8) << c.name;
  }
}

// GBK books whose first bytes look like UTF-8: the first-byte test alone calls them UTF-8.
TEST(Utf8Check, GbkBooksThatPassTheFirstByteTest) {
  // "喔" is E0 B8 and "第" starts with B5: E0 B8 B5 is a complete three-byte sequence.
  const std::string threeByteLead = Utf8ToGbk("喔第一章 开始\r\n他说：“走吧。”\r\n");
  ASSERT_EQ(threeByteLead.substr(0, 3), "\xE0\xB8\xB5");
  EXPECT_FALSE(IsUtf8Text(threeByteLead));

  // "中" is D6 D0, a valid two-byte sequence; the test scans on and finds "文" (CE C4).
  const std::string twoByteLead = Utf8ToGbk("中文小说\r\n第一章\r\n");
  ASSERT_EQ(twoByteLead.substr(0, 2), "\xD6\xD0");
  EXPECT_FALSE(IsUtf8Text(twoByteLead));

  // The same books in UTF-8 are UTF-8.
  EXPECT_TRUE(IsUtf8Text("喔第一章 开始\r\n他说：“走吧。”\r\n"));
  EXPECT_TRUE(IsUtf8Text("中文小说\r\n第一章\r\n"));
}

TEST(Utf8Check, ValidatesOnlyAWindowFromTheFirstNonAsciiByte) {
  std::string chinese;
  while (chinese.size() < kUtf8CheckWindow + 100) chinese += "第一章正文";
  // A fault beyond the window is not looked at.
  EXPECT_TRUE(IsUtf8Text(chinese + "\xB5\xDA"));
  // The window starts at the first non-ASCII byte, not at the start of the data.
  const std::string asciiPreface(2 * kUtf8CheckWindow, 'a');
  EXPECT_TRUE(IsUtf8Text(asciiPreface + chinese));
  EXPECT_FALSE(IsUtf8Text(asciiPreface + "\xE4\xB8\xAD\xB5\xDA"));
  // A sequence cut at the end of the window (or of a prefix) is fine.
  std::string cut(kUtf8CheckWindow - 1, 'a');
  cut = "\xE4\xB8\xAD" + cut.substr(3) + "\xE4\xB8\xAD" + "\xB5\xDA";
  EXPECT_TRUE(IsUtf8Text(cut));
  EXPECT_TRUE(IsUtf8Text("\xE4\xB8\xAD\xE4\xB8"));
}

TEST(Utf8Check, PrefixValidation) {
  EXPECT_TRUE(IsUtf8Prefix(""));
  EXPECT_TRUE(IsUtf8Prefix("\xE4\xB8"));
  EXPECT_TRUE(IsUtf8Prefix("\xF0\x9F\x98"));
  EXPECT_FALSE(IsUtf8Prefix("\xE0\x80"));  // overlong even before it is complete
  EXPECT_FALSE(
      IsUtf8Prefix("\xE4\xB8"
                   "a"));
  EXPECT_FALSE(IsUtf8Prefix("\xC1\xBF"));
  EXPECT_TRUE(IsUtf8Prefix("\xF4\x8F\xBF\xBF"));  // U+10FFFF
  EXPECT_TRUE(IsUtf8Prefix("\xED\x9F\xBF"));      // U+D7FF
}

// Converting block by block, cut anywhere, gives the bytes of converting the whole at once,
// replacements included (NUL bytes dropped).
TEST(BookDecoder, SameBytesAsConvertEncoding) {
  const std::string blocks[] = {
      "",
      "plain ascii\r\n",
      "第一章 开始\r\n他说：“走吧。”\r\n",
      "caf\xC3\xA9 \xE2\x82\xAC",  // é and the euro sign (GBK 80)
      "a\xF0\x9F\x98\x80"
      "b",  // no GBK form
      "a\xEF\xBB\xBF"
      "b",  // a byte-order mark inside the text
      "a\x80\x80\x80\x80\x80"
      "b\xC0\x80",             // invalid sequences
      "\xE4\xB8\xAD\xE4\xB8",  // cut at the end
      std::string("a\0b", 3),
  };
  BookEncoding utf8;
  utf8.charset = BookCharset::kUtf8;
  utf8.iconvName = "UTF-8";
  for (const std::string& block : blocks) {
    std::string expected = ConvertEncoding(block, "UTF-8", "GBK");
    std::erase(expected, '\0');
    for (std::size_t cut = 0; cut <= block.size(); ++cut) {
      BookDecoder decoder(utf8);
      std::string got(decoder.Decode(block.substr(0, cut), false));
      got += decoder.Decode(block.substr(cut), true);
      EXPECT_EQ(got, expected) << block << " cut at " << cut;
    }
  }
}

}  // namespace
}  // namespace lectoria
