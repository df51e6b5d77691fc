#include "reader/line_filter.h"

#include <gtest/gtest.h>

#include "support/run_dir_fixture.h"

namespace lectoria {
namespace {

using testing::G;

TEST(ExtractHanzi, KeepsOnlyGb2312Hanzi) {
  struct Case {
    std::string text;
    std::string expected;
  };
  const Case cases[] = {
      {G("a中b"), G("中")},
      {G("第1章"), G("第章")},
      {G("……"), ""},                     // GBK punctuation, first byte A1
      {G("１２３ＡＢ"), ""},             // full-width digits and letters, first byte A3
      {"\x81\x40\xD6\xD0", G("中")},     // a GBK extension character is stepped over whole
      {"\xD6", ""},                      // one byte: never the start of a pair
      {"a\xD6", ""},                     // a lead byte at the end is never examined
      {"\x81\xD6\xD0", ""},              // 81 D6 is taken as one character, D0 is left alone
      {"\xF7\xFE\xF8\xA1", "\xF7\xFE"},  // the last hanzi row counts, F8 does not
      {"", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ExtractHanzi(c.text), c.expected) << GbkToUtf8(c.text);
    EXPECT_EQ(HasHanzi(c.text), !c.expected.empty()) << GbkToUtf8(c.text);
  }
}

TEST(IsUsableLine, AppliesLengthAndChineseRules) {
  struct Case {
    std::string line;
    bool withSkip;
    bool withoutSkip;
  };
  const Case cases[] = {
      {"Chapter 1", false, true}, {G("……"), false, true},  {"12345", false, true},
      {G("第1章"), true, true},   {G("a中b"), true, true}, {"abc", false, true},
      {"ab", false, false},       {G("中"), false, false},  // one character is 2 bytes
      {"", false, false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsUsableLine(c.line, true), c.withSkip) << GbkToUtf8(c.line);
    EXPECT_EQ(IsUsableLine(c.line, false), c.withoutSkip) << GbkToUtf8(c.line);
  }
}

TEST(TrimSpaces, RemovesOnlyAsciiSpaces) {
  EXPECT_EQ(TrimSpaces(G("  中文  ")), G("中文"));
  EXPECT_EQ(TrimSpacesView(G("  中文  ")), G("中文"));
  EXPECT_EQ(TrimSpacesView("\tab\t"), "\tab\t");
  EXPECT_EQ(TrimSpacesView(G("　中　")), G("　中　"));  // the full-width space stays
  EXPECT_EQ(TrimSpacesView("    "), "");
  // A line of spaces only is never usable.
  EXPECT_FALSE(IsUsableLine(TrimSpacesView("      "), false));
}

}  // namespace
}  // namespace lectoria
