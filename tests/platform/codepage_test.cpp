#include "platform/codepage.h"

#include <gtest/gtest.h>

namespace lectoria {
namespace {

TEST(Codepage, Utf8AndGbkRoundTrip) {
  EXPECT_EQ(Utf8ToGbk("\xE4\xB8\xAD\xE6\x96\x87"), "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(GbkToUtf8("\xD6\xD0\xCE\xC4"), "\xE4\xB8\xAD\xE6\x96\x87");
  EXPECT_EQ(Utf8ToGbk("plain ascii"), "plain ascii");
  EXPECT_EQ(Utf8ToGbk(""), "");
  EXPECT_EQ(Utf8ToGbk("\xEF\xBB\xBF" "a"), "a");
  // Code page 936 maps 0x80 to the euro sign.
  EXPECT_EQ(GbkToUtf8("\x80"), "\xE2\x82\xAC");
}

TEST(Codepage, UnmappableAndInvalidBecomeQuestionMarks) {
  // U+1F600 has no GBK form; the rest still converts.
  EXPECT_EQ(Utf8ToGbk("a\xF0\x9F\x98\x80" "b"), "a?b");
  // A stray continuation byte and a truncated sequence.
  EXPECT_EQ(Utf8ToGbk("a\x80" "b"), "a?b");
  EXPECT_EQ(Utf8ToGbk("a\xE4\xB8"), "a?");
  EXPECT_EQ(ConvertEncoding("x", "NO-SUCH-CHARSET", "GBK"), "");
}

}  // namespace
}  // namespace lectoria
