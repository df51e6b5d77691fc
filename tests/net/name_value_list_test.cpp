#include "net/name_value_list.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

namespace lectoria {
namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs PairsOf(const NameValueList& list) {
  std::vector<std::string> names{"stale"};
  std::vector<std::string> values{"stale", "entries"};
  list.GetNames(names);
  list.GetValues(values);
  EXPECT_EQ(names.size(), values.size());
  Pairs pairs;
  for (std::size_t i = 0; i < names.size() && i < values.size(); ++i)
    pairs.emplace_back(names[i], values[i]);
  return pairs;
}

NameValueList ListOf(const Pairs& pairs) {
  NameValueList list;
  for (const auto& [name, value] : pairs) list.Add(name, value);
  return list;
}

TEST(NameValueList, HeaderTextHasOneLinePerPairAndNoFinalLineEnd) {
  NameValueList list;
  EXPECT_EQ(list.ToHeaderText(), "");
  list.Add("Accept", "*/*");
  EXPECT_EQ(list.ToHeaderText(), "Accept: */*");
  list.Add("Connection", "keep-alive");
  EXPECT_EQ(list.ToHeaderText(), "Accept: */*\r\nConnection: keep-alive");
}

TEST(NameValueList, EncodingAppliesToHeaderValuesButNeverNames) {
  const NameValueList list = ListOf({{"X a/b", "a b/c"}, {"Plain", "abc"}});
  EXPECT_EQ(list.ToHeaderText(true), "X a/b: a+b%2Fc\r\nPlain: abc");
  EXPECT_EQ(list.ToHeaderText(false), "X a/b: a b/c\r\nPlain: abc");
}

TEST(NameValueList, QueryStringJoinsPairsAndEncodesBothSidesOnRequest) {
  EXPECT_EQ(NameValueList().ToQueryString(), "");
  const NameValueList list = ListOf({{"q", "a b/c"}, {"k=1", "x&y"}, {"", ""}});
  EXPECT_EQ(list.ToQueryString(), "q=a b/c&k=1=x&y&=");
  EXPECT_EQ(list.ToQueryString(true), "q=a+b%2Fc&k%3D1=x%26y&=");
}

TEST(NameValueList, UrlEncodingWorksOnBytes) {
  const struct {
    std::string text;
    std::string encoded;
  } cases[] = {
      {"AZaz09-._'()*", "AZaz09-._'()*"},
      {"a b", "a+b"},
      {"~!\"#$%+,/:;<=>?@[\\]^`{|}",
       "%7E%21%22%23%24%25%2B%2C%2F%3A%3B%3C%3D%3E%3F%40%5B%5C%5D%5E%60%7B%7C%7D"},
      {"\xD6\xD0", "%D6%D0"},  // 中 in GBK, not converted to UTF-8
      {std::string("a\0b", 3), "ab"},
      {"\r\n\x7F\xFF", "%0D%0A%7F%FF"},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(NameValueList::UrlEncode(c.text), c.encoded) << c.text;
}

TEST(NameValueList, DuplicateNamesKeepBothPairsAndLookupsFindTheFirst) {
  NameValueList list = ListOf({{"a", "1"}, {"b", "2"}, {"a", "3"}});
  EXPECT_EQ(list.Size(), 3u);
  EXPECT_EQ(list.Get("a"), "1");
  EXPECT_EQ(list.Get("A"), "");  // byte for byte, case matters
  EXPECT_EQ(list.Get("missing"), "");

  list.Set("a", "4");
  EXPECT_EQ(PairsOf(list), (Pairs{{"a", "4"}, {"b", "2"}, {"a", "3"}}));
  list.Set("c", "5");
  EXPECT_EQ(PairsOf(list), (Pairs{{"a", "4"}, {"b", "2"}, {"a", "3"}, {"c", "5"}}));

  list.Remove("a");
  EXPECT_EQ(PairsOf(list), (Pairs{{"b", "2"}, {"a", "3"}, {"c", "5"}}));
  EXPECT_EQ(list.Get("a"), "3");
  list.Remove("missing");
  EXPECT_EQ(list.Size(), 3u);

  list.Clear();
  EXPECT_EQ(PairsOf(list), Pairs{});
  EXPECT_EQ(list.ToHeaderText(), "");
}

TEST(NameValueList, AddFromQuerySplitsAtEveryAmpersand) {
  const struct {
    std::string text;
    Pairs pairs;
  } cases[] = {
      {"a=1&b=2=3&c", {{"a", "1"}, {"b", "3"}, {"", ""}}},
      {"", {}},
      {"a=1&", {{"a", "1"}}},                     // no empty last part
      {"&&a=", {{"", ""}, {"", ""}, {"a", ""}}},  // empty leading and middle parts kept
      {"=x&k==", {{"", "x"}, {"k", ""}}},
      {"a=%41+b", {{"a", "%41+b"}}},                      // not URL-decoded
      {"\xD6\xD0=\xCE\xC4", {{"\xD6\xD0", "\xCE\xC4"}}},  // 中=文
  };
  for (const auto& c : cases) {
    NameValueList list;
    list.AddFromQuery(c.text);
    EXPECT_EQ(PairsOf(list), c.pairs) << c.text;
  }
}

TEST(NameValueList, ConvertTurnsGbkIntoUtf8) {
  NameValueList list;
  list.Add("\xD6\xD0", "\xCE\xC4", true);  // 中, 文
  list.Add("\xD6\xD0", "\xCE\xC4", false);
  list.AddFromQuery("k=\xCE\xC4&x", true);
  EXPECT_EQ(PairsOf(list), (Pairs{{"\xE4\xB8\xAD", "\xE6\x96\x87"},
                                  {"\xD6\xD0", "\xCE\xC4"},
                                  {"k", "\xE6\x96\x87"},
                                  {"", ""}}));
  EXPECT_EQ(list.Get("\xE4\xB8\xAD"), "\xE6\x96\x87");
}

TEST(NameValueList, JsonIsAFlatObjectWithQuotesInValuesEscaped) {
  EXPECT_EQ(NameValueList().ToJson(), "{}");
  EXPECT_EQ(ListOf({{"a", "1"}}).ToJson(), "{\"a\":\"1\"}");
  EXPECT_EQ(ListOf({{"say", "\"hi\" there"}, {"", ""}}).ToJson(),
            "{\"say\":\"\\\"hi\\\" there\",\"\":\"\"}");
  // A value ending in a comma keeps it: only the separator after the last pair is cut.
  EXPECT_EQ(ListOf({{"a", ","}}).ToJson(), "{\"a\":\",\"}");
}

TEST(NameValueList, EscapeQuotesAndStripAffix) {
  EXPECT_EQ(NameValueList::EscapeQuotes("a\"b\\\"\n"), "a\\\"b\\\\\"\n");
  EXPECT_EQ(NameValueList::EscapeQuotes(""), "");

  const struct {
    std::string text, affix, result;
  } cases[] = {
      {",a,", ",", "a"},                                          // one off each end
      {",,a,,", ",", ",a,"},                                      // only one occurrence each
      {"a,", ",", "a"},      {",a", ",", "a"},   {",", ",", ""},  // cut from the end first; nothing
                                                                  // left to cut at the start
      {",,", ",", ""},       {"abab", "ab", ""}, {"a", "", "a"}, {"", ",", ""}, {"x", "xyz", "x"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(NameValueList::StripAffix(c.text, c.affix), c.result) << c.text << " / " << c.affix;
}

TEST(NameValueList, CopyIsDeep) {
  NameValueList original = ListOf({{"a", "1"}, {"b", "2"}});
  NameValueList copy = original.Copy();
  original.Set("a", "changed");
  original.Add("c", "3");
  EXPECT_EQ(PairsOf(copy), (Pairs{{"a", "1"}, {"b", "2"}}));
  copy.Clear();
  EXPECT_EQ(original.Size(), 3u);
}

}  // namespace
}  // namespace lectoria
