// Reading JSON text: what is accepted, what is rejected, and how texts come out in GBK.
#include <string>

#include <gtest/gtest.h>

#include "json/json_document.h"

namespace lectoria {
namespace {

TEST(JsonParseTest, AcceptsJsonAndWritesItCompactly) {
  const struct {
    const char* text;
    const char* json;
  } cases[] = {
      {" {\"a\" : [1, 2.50, -0, 1E2, true, false, null, \"x\"] }\r\n",
       "{\"a\":[1,2.5,0,100,true,false,null,\"x\"]}"},
      {"\"text\"", "\"text\""},
      {"0", "0"},
      {"[]", "[]"},
      {"{}", "{}"},
      {"[[],{},[{}]]", "[[],{},[{}]]"},
      {"{\"a\":1,\"b\":2,\"a\":3}", "{\"a\":3,\"b\":2}"},  // a repeated name keeps its place
      {"[1e999,-1e999,1e-999]", "[null,null,0]"},
      {"\"\\\"\\\\\\/\\b\\f\\n\\r\\t\"", "\"\\\"\\\\/\\b\\f\\n\\r\\t\""},
      {"{\"z\":1,\"a\":2,\"m\":3}", "{\"z\":1,\"a\":2,\"m\":3}"},
  };
  for (const auto& c : cases) {
    for (const bool direct : {false, true}) {
      JsonDocument document;
      EXPECT_TRUE(document.Parse(c.text, direct)) << c.text;
      EXPECT_EQ(document.ToJson(), c.json) << c.text;
    }
  }
}

TEST(JsonParseTest, RejectsEverythingThatIsNotJson) {
  const char* const cases[] = {
      "",           " ",         "{",           "[",         "[1,]",
      "{\"a\":1,}", "{'a':1}",   "{a:1}",       "[01]",      "[1.]",
      "[.5]",       "[+1]",      "[-]",         "[1e]",      "tru",
      "nul",        "True",      "[1] [2]",     "[1]x",      "\"a\tb\"",
      "\"a\nb\"",   "\"\\x\"",   "\"\\u12G4\"", "\"\\u12\"", "[NaN]",
      "[Infinity]", "/*c*/1",    "[1,,2]",      "\"abc",     "{\"a\" 1}",
      "[1}",        "{\"a\":1]", "[\"a\"\n,]",  "'a'",       "undefined",
      "[0x10]",     "{\"a\":}",  "{,}",         "\"\\",      "\xEF\xBB\xBF{}",
  };
  for (const char* text : cases) {
    for (const bool direct : {false, true}) {
      JsonDocument document;
      EXPECT_FALSE(document.Parse(text, direct)) << text;
      EXPECT_EQ(document.ToJson(), "null") << text;
      EXPECT_EQ(document.GetText(""), "") << text;
      EXPECT_EQ(document.GetCount(""), 0) << text;
      EXPECT_EQ(document.KindOf(""), JsonKind::kNullOrMissing) << text;
    }
  }
}

TEST(JsonParseTest, TextNullParsesButReportsNoRoot) {
  JsonDocument document;
  JsonErrorInfo error;
  EXPECT_FALSE(document.Parse("null", false, &error));
  EXPECT_EQ(error.Number, 0);
  EXPECT_EQ(document.ToJson(), "null");
}

TEST(JsonParseTest, NulByteInsideTextIsRejected) {
  JsonDocument document;
  EXPECT_FALSE(document.Parse(std::string_view("[1]\0", 4)));
  EXPECT_FALSE(document.Parse(std::string_view("\"a\0b\"", 5)));
}

TEST(JsonParseTest, ErrorRecordLocatesTheFault) {
  JsonDocument document;
  JsonErrorInfo error;
  ASSERT_FALSE(document.Parse("{\r\n  \"a\": tru\r\n}", false, &error));
  EXPECT_EQ(error.Number, 1002);
  EXPECT_FALSE(error.Source.empty());
  EXPECT_FALSE(error.Description.empty());
  EXPECT_EQ(error.HelpFile, "");
  EXPECT_EQ(error.HelpContext, 0);
  EXPECT_EQ(error.Line, 2);
  EXPECT_EQ(error.Column, 8);
  EXPECT_EQ(error.Text, "  \"a\": tru");

  // A later success clears the record.
  EXPECT_TRUE(document.Parse("[1]", false, &error));
  EXPECT_EQ(error.Number, 0);
  EXPECT_EQ(error.Description, "");
  EXPECT_EQ(error.Line, 0);
}

TEST(JsonParseTest, NestingIsLimitedToAThousandLevels) {
  JsonDocument document;
  const std::string deepest = std::string(1000, '[') + std::string(1000, ']');
  EXPECT_TRUE(document.Parse(deepest));
  EXPECT_EQ(document.ToJson(), deepest);

  JsonErrorInfo error;
  const std::string tooDeep = std::string(1001, '[') + std::string(1001, ']');
  EXPECT_FALSE(document.Parse(tooDeep, false, &error));
  EXPECT_EQ(error.Number, 28);
  EXPECT_EQ(document.ToJson(), "null");
}

TEST(JsonParseTest, HundredThousandOpenBracketsFailWithoutRecursing) {
  JsonDocument document;
  EXPECT_FALSE(document.Parse(std::string(100000, '[')));
  EXPECT_FALSE(document.Parse(std::string(100000, '{')));
  std::string mixed;
  for (int i = 0; i < 50000; ++i) mixed += "{\"a\":[";
  EXPECT_FALSE(document.Parse(mixed));
}

TEST(JsonParseTest, UnicodeEscapesDecodeAndComeOutAsGbk) {
  const struct {
    const char* text;
    const char* gbk;
  } cases[] = {
      {"\"\\u4e2d\\u6587\"", "\xD6\xD0\xCE\xC4"},  // 中文
      {"\"\\u4E2D\"", "\xD6\xD0"},                 // 中, upper-case hex
      {"\"\\u00e9\"", "\xA8\xA6"},                 // é
      {"\"\\u20ac\"", "\x80"},                     // € is a single byte in code page 936
      {"\"a\\ud83d\\ude00b\"", "a?b"},             // a pair beyond the BMP: not in GBK
      {"\"\\ud800x\"", "?x"},                      // lone high surrogate
      {"\"\\udc00\\ud800\"", "??"},                // low then high: two lone surrogates
      {"\"\\ud800\\u0041\"", "?A"},                // high surrogate followed by no low one
      {"\"\\u0e01\"", "?"},                        // Thai: GBK cannot hold it
  };
  for (const auto& c : cases) {
    JsonDocument document;
    ASSERT_TRUE(document.Parse(c.text)) << c.text;
    EXPECT_EQ(document.GetText(""), std::string(c.gbk)) << c.text;
  }
  JsonDocument nul;
  ASSERT_TRUE(nul.Parse("\"\\u0041\\u0000z\""));
  EXPECT_EQ(nul.GetText(""), std::string("A\0z", 3));
  EXPECT_EQ(nul.ToJson(), "\"A\\u0000z\"");
}

TEST(JsonParseTest, GbkTextPassesThroughIncludingBackslashTrailBytes) {
  // 誠 is D5 5C and 盶 is B1 5C: their second byte is a backslash and must not start an escape.
  JsonDocument document;
  ASSERT_TRUE(document.Parse("{\"\xD5\x5C\":\"\xB1\x5C\xD6\xD0\",\"n\":\"\xC3\xFB\xD7\xD6\"}"));
  EXPECT_EQ(document.GetText("\xD5\x5C"), "\xB1\x5C\xD6\xD0");  // 誠 -> 盶中
  EXPECT_EQ(document.GetText("n"), "\xC3\xFB\xD7\xD6");         // 名字
  EXPECT_EQ(document.ToJson(), "{\"\xD5\x5C\":\"\xB1\x5C\xD6\xD0\",\"n\":\"\xC3\xFB\xD7\xD6\"}");
}

TEST(JsonParseTest, InvalidGbkBytesBecomeQuestionMarks) {
  JsonDocument document;
  // A lead byte whose next byte cannot be a trail byte stands alone; 0xFF is no character.
  ASSERT_TRUE(document.Parse("[\"a\x81\",\"\xFF\",\"\x81\x7F\"]"));
  EXPECT_EQ(document.ToJson(), "[\"a?\",\"?\",\"?\\u007f\"]");
}

TEST(JsonParseTest, ParseGivesTheHandleAFreshDocument) {
  JsonDocument first;
  ASSERT_TRUE(first.Parse("{\"a\":1}"));
  JsonDocument second = first.Copy();
  EXPECT_FALSE(second.Parse("{bad"));
  EXPECT_EQ(first.ToJson(), "{\"a\":1}");
  EXPECT_EQ(second.ToJson(), "null");
}

}  // namespace
}  // namespace lectoria
