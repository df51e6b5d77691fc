// Paths: how a caller's path is made absolute, and what a path reaches.
#include <string>

#include <gtest/gtest.h>

#include "json/json_document.h"

namespace lectoria {
namespace {

JsonDocument Parsed(std::string_view text) {
  JsonDocument document;
  EXPECT_TRUE(document.Parse(text)) << text;
  return document;
}

constexpr const char* kVoices =
    "[{\"name\":\"x\",\"samples\":{\"styleSamples\":[{\"styleName\":\"cheerful\"}]}}]";

TEST(JsonPathTest, ReadsAVoiceListByPath) {
  const JsonDocument document = Parsed(kVoices);
  EXPECT_EQ(document.GetCount("[0].samples.styleSamples"), 1);
  EXPECT_EQ(document.GetText("[0].samples.styleSamples[0].styleName"), "cheerful");
  EXPECT_EQ(document.GetCount("[0]"), 0);  // an object
  EXPECT_EQ(document.GetText("[5].name"), "");
  EXPECT_EQ(document.KindOf("[5].name"), JsonKind::kOther);
  EXPECT_EQ(document.KindOf("[0].nothing"), JsonKind::kNullOrMissing);
  // Voice index -1 (no voice selected) reads as nothing.
  EXPECT_EQ(document.GetText("[-1].name"), "");
  EXPECT_EQ(document.GetCount("[-1].samples.styleSamples"), 0);
}

TEST(JsonPathTest, ResolvePathMakesPathsAbsolute) {
  JsonDocument document = Parsed("{\"x\":1,\"data\":[1,2],\"n\":null,\"a\":[{\"b\":2}]}");
  const struct {
    const char* path;
    const char* absolute;
    bool exists;
  } cases[] = {
      {"", "da", true},
      {"x", "da.x", true},
      {"[0]", "da[0]", false},
      {"a[0].b", "da.a[0].b", true},
      {"da", "da", true},      // the root, not a member "da"
      {"da.x", "da.x", true},  // an absolute path to an existing node is kept
      {"da.a[0]", "da.a[0]", true},
      {"data", "da.data", true},   // begins with "da", but is not an absolute path
      {"da.n", "da.da.n", false},  // null: prefixed once more
      {"da.newKey", "da.da.newKey", false},
      {"newKey", "da.newKey", false},
      {"dax", "da.dax", false},
      {"a..b", "da.a..b", false},
  };
  for (const auto& c : cases) {
    std::string path = c.path;
    EXPECT_EQ(document.ResolvePath(path), c.exists) << c.path;
    EXPECT_EQ(path, c.absolute) << c.path;
    EXPECT_EQ(document.Exists(c.path), c.exists) << c.path;
  }
}

TEST(JsonPathTest, AbsolutePathCannotCreateAMemberButAPlainOneCan) {
  JsonDocument document;
  EXPECT_FALSE(document.SetValue("da.newKey", "v"));
  EXPECT_EQ(document.ToJson(), "{}");
  EXPECT_TRUE(document.SetValue("newKey", "v"));
  EXPECT_EQ(document.ToJson(), "{\"newKey\":\"v\"}");
  // Now that it exists, the absolute path reaches it.
  EXPECT_TRUE(document.SetValue("da.newKey", "w"));
  EXPECT_EQ(document.ToJson(), "{\"newKey\":\"w\"}");
}

TEST(JsonPathTest, MemberNamedDaIsReachedOnlyBelowTheRoot) {
  const JsonDocument document = Parsed("{\"da\":{\"x\":\"inner\"},\"dat\":\"t\"}");
  EXPECT_EQ(document.KindOf("da"), JsonKind::kObject);
  EXPECT_EQ(document.GetJson("da"), "{\"da\":{\"x\":\"inner\"},\"dat\":\"t\"}");  // the root
  EXPECT_EQ(document.GetText("da.x"), "inner");  // root.x is missing, so da.da.x
  EXPECT_EQ(document.GetJson("da.da"), "{\"x\":\"inner\"}");
  EXPECT_EQ(document.GetText("dat"), "t");
}

TEST(JsonPathTest, KindsOfNodes) {
  const JsonDocument document =
      Parsed("{\"b\":true,\"n\":1.5,\"o\":{},\"a\":[null],\"s\":\"\",\"z\":null,\"p\":\"abc\"}");
  const struct {
    const char* path;
    JsonKind kind;
  } cases[] = {
      {"", JsonKind::kObject},
      {"b", JsonKind::kBoolean},
      {"n", JsonKind::kNumber},
      {"o", JsonKind::kObject},
      {"a", JsonKind::kArray},
      {"s", JsonKind::kString},
      {"z", JsonKind::kNullOrMissing},
      {"a[0]", JsonKind::kNullOrMissing},
      {"missing", JsonKind::kNullOrMissing},
      {"z.x", JsonKind::kOther},        // below null
      {"missing.x", JsonKind::kOther},  // below a missing node
      {"a[0].x", JsonKind::kOther},
      {"p.length", JsonKind::kNullOrMissing},  // a string has no members, but is no error
      {"p.length.x", JsonKind::kOther},
      {"n.x", JsonKind::kNullOrMissing},
      {"a.x", JsonKind::kNullOrMissing},
  };
  for (const auto& c : cases) EXPECT_EQ(document.KindOf(c.path), c.kind) << c.path;
}

TEST(JsonPathTest, PathsOutsideTheSyntaxReachNothing) {
  JsonDocument document = Parsed("{\"a\":{\"b\":1},\"a b\":2,\"a-b\":3,\"1a\":4}");
  for (const char* path : {"a..b", "a.", ".a", "a.b.", "[x]", "[1", "a[1", "[]", "1a", "a b", "a-b",
                           "a[ 0 ]", "a['b']", "a[\"b\"]", "a.b()", "[0x1]", "a[+1]"}) {
    EXPECT_EQ(document.KindOf(path), JsonKind::kOther) << path;
    EXPECT_EQ(document.GetText(path), "") << path;
    EXPECT_FALSE(document.Exists(path)) << path;
    EXPECT_FALSE(document.SetValue(path, "v")) << path;
    EXPECT_FALSE(document.Remove(path)) << path;
  }
  EXPECT_EQ(document.ToJson(), "{\"a\":{\"b\":1},\"a b\":2,\"a-b\":3,\"1a\":4}");
}

TEST(JsonPathTest, NamesMayHoldChineseDigitsDollarAndUnderscore) {
  const JsonDocument document = Parsed(
      "{\"\xC3\xFB\xD7\xD6\":{\"\xD5\x5C\":\"ok\"},\"$a_1\":\"d\",\"_\":[\"u\"]}");  // 名字, 誠
  EXPECT_EQ(document.GetText("\xC3\xFB\xD7\xD6.\xD5\x5C"), "ok");
  EXPECT_EQ(document.GetText("$a_1"), "d");
  EXPECT_EQ(document.GetText("_[0]"), "u");
}

TEST(JsonPathTest, IndexOnAnObjectNamesAMemberByItsDigits) {
  JsonDocument document = Parsed("{\"0\":\"zero\",\"-1\":\"minus\",\"7\":\"seven\"}");
  EXPECT_EQ(document.GetText("[0]"), "zero");
  EXPECT_EQ(document.GetText("[-1]"), "minus");
  EXPECT_EQ(document.GetText("[007]"), "seven");
  EXPECT_EQ(document.GetElementText(7, ""), "seven");
  EXPECT_TRUE(document.SetElement(3, "", "three"));
  EXPECT_EQ(document.GetText("[3]"), "three");
}

TEST(JsonPathTest, ArrayIndicesOutOfRangeAreMissing) {
  const JsonDocument document = Parsed("[\"a\",\"b\"]");
  EXPECT_EQ(document.GetText("[1]"), "b");
  EXPECT_EQ(document.KindOf("[2]"), JsonKind::kNullOrMissing);
  EXPECT_EQ(document.KindOf("[-1]"), JsonKind::kNullOrMissing);
  EXPECT_EQ(document.KindOf("[99999999999999999999999]"), JsonKind::kNullOrMissing);
  EXPECT_EQ(document.KindOf("[2].x"), JsonKind::kOther);
}

TEST(JsonPathTest, AFailedParseLeavesNothingToReach) {
  JsonDocument document;
  ASSERT_FALSE(document.Parse("{oops"));
  std::string root;
  EXPECT_FALSE(document.ResolvePath(root));
  EXPECT_EQ(document.KindOf(""), JsonKind::kNullOrMissing);
  EXPECT_EQ(document.KindOf("da"), JsonKind::kOther);  // null root: "da" falls to "da.da"
  EXPECT_EQ(document.KindOf("x"), JsonKind::kOther);
  EXPECT_FALSE(document.SetValue("x", "v"));
  EXPECT_TRUE(document.SetValue("", "v"));  // the root itself can always be replaced
  EXPECT_EQ(document.ToJson(), "\"v\"");
}

}  // namespace
}  // namespace lectoria
