#include "platform/codepage.h"

#include <gtest/gtest.h>

#include <string>

namespace lectoria {
namespace {

TEST(Codepage, Utf8AndGbkRoundTrip) {
  EXPECT_EQ(Utf8ToGbk("\xE4\xB8\xAD\xE6\x96\x87"), "\xD6\xD0\xCE\xC4");  // 中文
  EXPECT_EQ(GbkToUtf8("\xD6\xD0\xCE\xC4"), "\xE4\xB8\xAD\xE6\x96\x87");
  EXPECT_EQ(Utf8ToGbk("plain ascii"), "plain ascii");
  EXPECT_EQ(Utf8ToGbk(""), "");
  EXPECT_EQ(GbkToUtf8(""), "");
  EXPECT_EQ(Utf8ToGbk("\xEF\xBB\xBF"
                      "a"),
            "a");
  EXPECT_EQ(Utf8ToGbk("\xEF\xBB\xBF"), "");
  // Code page 936 maps 0x80 to the euro sign, both ways.
  EXPECT_EQ(GbkToUtf8("\x80"), "\xE2\x82\xAC");
  EXPECT_EQ(Utf8ToGbk("\xE2\x82\xAC"), "\x80");
  // NUL bytes are characters like any other.
  EXPECT_EQ(Utf8ToGbk(std::string("a\0b", 3)), std::string("a\0b", 3));
}

TEST(Codepage, UnmappableAndInvalidBecomeQuestionMarks) {
  // U+1F600 has no GBK form; the rest still converts.
  EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80"
                      "b"),
            "a?b");
  // A stray continuation byte and a truncated sequence.
  EXPECT_EQ(Utf8ToGbk("a\x80"
                      "b"),
            "a?b");
  EXPECT_EQ(Utf8ToGbk("a\xE4\xB8"), "a?");
  // Two stray continuation bytes are two faults.
  EXPECT_EQ(Utf8ToGbk("\x80\x80"), "??");
  // A GBK lead byte before a byte that cannot follow it spoils only itself.
  EXPECT_EQ(GbkToUtf8("\xD6 ab"), "? ab");
}

TEST(Codepage, CharsetNamesAndUnknownCharsets) {
  EXPECT_EQ(ConvertEncoding("\xD6\xD0", "cp936", "utf-8"), "\xE4\xB8\xAD");
  EXPECT_EQ(ConvertEncoding("x", "NO-SUCH-CHARSET", "GBK"), "");
  EXPECT_EQ(ConvertEncoding("x", "UTF-8", "NO-SUCH-CHARSET"), "");
  EXPECT_EQ(ConvertEncoding("", "NO-SUCH-CHARSET", "GBK"), "");
}

}  // namespace
}  // namespace lectoria
