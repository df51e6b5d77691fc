#include "net/cookie_text.h"

#include <gtest/gtest.h>

namespace lectoria {
namespace {

TEST(ReturnedCookies, TakesNameValueOfEachSetCookieLine) {
  struct Case {
    std::string headers, cookies;
  };
  for (const Case& c : std::vector<Case>{
           {"Set-Cookie: a=1; Path=/\r\nSet-Cookie: b=2", "a=1; b=2"},
           {"Content-Type: x\r\nSet-Cookie:  c=3 ;x\r\n", "c=3"},
           {"set-cookie: a=1", ""},                // the name is compared with case
           {"Set-Cookie:a=1", ""},                 // it must be followed by ": "
           {"Set-Cookie: x=Set-Cookie:y", "x=y"},  // without ";" every "Set-Cookie:" goes
           {"Set-Cookie: ", ""},
           {"", ""},
       }) {
    EXPECT_EQ(ExtractReturnedCookies(c.headers), c.cookies) << c.headers;
  }
}

TEST(StripCookiePrefix, RemovesEveryPrefixIgnoringCase) {
  EXPECT_EQ(StripCookiePrefix("Cookie: a=1; c=3"), " a=1; c=3");
  EXPECT_EQ(StripCookiePrefix("cookie:a=1; COOKIE:b=2"), "a=1; b=2");
  EXPECT_EQ(StripCookiePrefix("a=1"), "a=1");
}

TEST(MergeCookies, ReturnedReplaceSentAndDeletedGo) {
  struct Case {
    std::string sent, returned, merged;
  };
  for (const Case& c : std::vector<Case>{
           {" a=1; c=3", "a=9; b=deleted", "a=9; c=3"},
           {"a=1;", "", "a=1"},
           {"", "a=1", "a=1"},
           {"", "", ""},
           {"a=1; b=2", "b=3", "b=3; a=1"},
           {"a=1; a=2", "", "a=1"},  // the second sent "a" counts as present
           {"x=1; x=1", "x=1", "x=1"},
           {"a=1;b=2", "a=5", "a=5"},  // "a=1;b=2" is one item, named "a"
           {"a=deleted", "", ""},
           {"k=v", "k=deleted", ""},         // a deletion removes the sent cookie too
           {"a=1", "b=2; b=2", "b=2; a=1"},  // an exact duplicate remains once
           {"flag", "flag=1", "flag=1"},     // no "=": the whole item is the name
       }) {
    std::string sent = c.sent;
    std::string returned = c.returned;
    EXPECT_EQ(MergeCookies(sent, returned), c.merged) << c.sent << " | " << c.returned;
    EXPECT_EQ(sent, c.merged);
  }
}

TEST(CookieName, TrimsTheTextBeforeEquals) {
  EXPECT_EQ(CookieName(" a =1"), "a");
  EXPECT_EQ(CookieName("flag"), "flag");
  EXPECT_EQ(CookieName("=v"), "");
}

TEST(RemoveDuplicateItems, KeepsFirstOfEachExactItem) {
  EXPECT_EQ(RemoveDuplicateItems("a; b; a; A", "; "), "a; b; A");
  EXPECT_EQ(RemoveDuplicateItems("a; ; ; b", "; "), "a; ; b");
  EXPECT_EQ(RemoveDuplicateItems("a; b; ", "; "), "a; b");
  EXPECT_EQ(RemoveDuplicateItems("", "; "), "");
  EXPECT_EQ(RemoveDuplicateItems("x,x", ","), "x");
}

}  // namespace
}  // namespace lectoria
