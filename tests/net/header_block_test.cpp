#include "net/header_block.h"

#include <gtest/gtest.h>

#include "net/request_headers.h"

namespace lectoria {
namespace {

using Entries = std::vector<RequestHeaders::Entry>;

TEST(HeaderLineSplit, TrimsBlanksAroundNameAndValue) {
  using P = std::pair<std::string, std::string>;
  EXPECT_EQ(SplitHeaderLine(" Accept :  */* "), (P{"Accept", "*/*"}));
  EXPECT_EQ(SplitHeaderLine("Host: a:80"), (P{"Host", "a:80"}));
  EXPECT_EQ(SplitHeaderLine("X:\xA1\xA1v\xA1\xA1"), (P{"X", "v"}));  // full-width spaces
  EXPECT_EQ(SplitHeaderLine("no colon"), (P{"", ""}));
  EXPECT_EQ(SplitHeaderLine("X:\tv"), (P{"X", "\tv"}));  // a tab is not a blank
}

TEST(CompleteHeaders, AddsDefaultsInOrderForGetAndPost) {
  const std::string url = "http://h/p";
  const std::string get =
      "\r\nAccept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn"
      "\r\nUser-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";
  EXPECT_EQ(CompleteHeaders("", url, 0), get);
  EXPECT_EQ(CompleteHeaders("", url, 1),
            get + "\r\nContent-Type: application/x-www-form-urlencoded");
  EXPECT_EQ(CompleteHeaders("", url, 3), get);  // only a POST gets the form Content-Type
}

TEST(CompleteHeaders, TestIsAPlainSearchIgnoringCase) {
  struct Case {
    std::string block;
    bool acceptAdded;
  };
  for (const Case& c : std::vector<Case>{{"accept: application/json", false},
                                         {"X-Accept: 1", false},
                                         {"Accept-Language: en", true},  // "Accept-" has no colon
                                         {"ACCEPT:x", false}}) {
    const std::string done = CompleteHeaders(c.block, "u", 0);
    EXPECT_EQ(done.find("Accept: */*") != std::string::npos, c.acceptAdded) << c.block;
  }
  // A block that already names everything stays as it is.
  const std::string full =
      "Accept: a\r\nReferer: r\r\nAccept-Language: l\r\nUser-Agent: u\r\nContent-Type: c";
  EXPECT_EQ(CompleteHeaders(full, "u", 1), full);
}

TEST(NormaliseHeaderNames, CapitalisesWordsAndKeepsTheRest) {
  struct Case {
    std::string in, out;
  };
  for (const Case& c : std::vector<Case>{
           {"content-type: application/json", "Content-Type: application/json"},
           {"x-ms-useragent: SpeechStudio/2021.05.001", "X-Ms-Useragent: SpeechStudio/2021.05.001"},
           {"USER-agent: x", "USER-Agent: x"},
           {"sec-ch-ua: \"a\"", "Sec-Ch-Ua: \"a\""},
           {"host:a", "Host:a"},
           {"\r\naccept: */*", "Accept: */*"},            // the defaults' leading empty line
           {"a: 1\r\nno colon\r\nb: 2", "A: 1\r\nB: 2"},  // lines without ":" are dropped
           {"x-: v", "X-: v"},                            // a trailing "-" survives
           {"-a: v", "-A: v"},
           {"1x-y: v", "1x-Y: v"},
           {"\xB0\xA1-x: v", "\xB0\xA1-X: v"},  // a GBK first byte stays
           {"a: v\r\n", "A: v"},
           {"", ""},
       }) {
    EXPECT_EQ(NormaliseHeaderNames(c.in), c.out) << c.in;
  }
}

TEST(RequestHeaders, LaterValueReplacesInPlaceAndEmptyRemoves) {
  RequestHeaders h;
  EXPECT_TRUE(h.Set("A", "1"));
  EXPECT_TRUE(h.Set("B", "2"));
  EXPECT_TRUE(h.Set("a", "3"));
  EXPECT_EQ(h.entries(), (Entries{{"A", "3"}, {"B", "2"}}));
  EXPECT_TRUE(h.Set("B", ""));
  EXPECT_EQ(h.entries(), (Entries{{"A", "3"}}));
}

TEST(RequestHeaders, RefusesLinesThatCouldInjectHeaders) {
  RequestHeaders h;
  EXPECT_FALSE(h.Set("", "v"));
  EXPECT_FALSE(h.Set("Bad Name", "v"));
  EXPECT_FALSE(h.Set("\xB0\xA1", "v"));
  EXPECT_FALSE(h.Set("X", "a\nEvil: 1"));
  EXPECT_FALSE(h.Set("X", "a\rb"));
  EXPECT_FALSE(h.Set("X", std::string("a\0b", 3)));
  EXPECT_TRUE(h.Set("X", "\xD6\xD0 ok\t"));  // GBK bytes and tabs are fine in a value
  EXPECT_EQ(h.entries().size(), 1u);
}

TEST(ApplyHeaderBlock, SkipsEmptyLinesAndExactKeepAlive) {
  struct Case {
    std::string block;
    Entries expected;
  };
  for (const Case& c : std::vector<Case>{
           {"A: 1\r\n\r\nConnection: keep-alive\r\nB: 2", {{"A", "1"}, {"B", "2"}}},
           {"Connection: close\r\n", {{"Connection", "close"}}},
           {"connection: keep-alive\r\n", {{"connection", "keep-alive"}}},
           {"Connection: Keep-Alive\r\n", {{"Connection", "Keep-Alive"}}},
           {" Connection :  keep-alive \r\n", {}},  // compared after trimming
           // Without CR LF the block is one line, sent whatever it holds.
           {"Connection: keep-alive", {{"Connection", "keep-alive"}}},
           {"", {}},
           {"no colon\r\nA: 1", {{"A", "1"}}},
       }) {
    RequestHeaders h;
    ApplyHeaderBlock(c.block, h);
    EXPECT_EQ(h.entries(), c.expected) << c.block;
  }
}

}  // namespace
}  // namespace lectoria
