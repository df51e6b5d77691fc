// The document's operations: text and JSON forms, changes, element operations and handles.
#include "json/json_document.h"

#include <limits>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace lectoria {
namespace {

JsonDocument Parsed(std::string_view text) {
  JsonDocument document;
  EXPECT_TRUE(document.Parse(text)) << text;
  return document;
}

using Texts = std::vector<std::string>;

TEST(JsonDocumentTest, NewDocumentIsAnEmptyObject) {
  JsonDocument document;
  EXPECT_EQ(document.ToJson(), "{}");
  EXPECT_EQ(document.KindOf(""), JsonKind::kObject);
  EXPECT_EQ(document.GetText(""), "[object Object]");
}

TEST(JsonDocumentTest, TextFormsOfNodes) {
  const JsonDocument document = Parsed(
      "{\"i\":12,\"h\":0.5,\"t\":true,\"f\":false,\"z\":null,\"s\":\"str\",\"big\":1e21,"
      "\"tiny\":1e-7,\"a\":[1,null,\"a\",[2,[3]],{},true],\"o\":{\"k\":1},\"e\":[]}");
  const struct {
    const char* path;
    const char* text;
  } cases[] = {
      {"i", "12"},
      {"h", "0.5"},
      {"t", "true"},
      {"f", "false"},
      {"z", ""},
      {"s", "str"},
      {"big", "1e+21"},
      {"tiny", "1e-7"},
      {"a", "1,,a,2,3,[object Object],true"},
      {"o", "[object Object]"},
      {"e", ""},
      {"missing", ""},
      {"missing.below", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(document.GetText(c.path), c.text) << c.path;
}

TEST(JsonDocumentTest, JsonFormsOfNodes) {
  const JsonDocument document =
      Parsed("{\"i\":12,\"z\":null,\"s\":\"a/b\",\"a\":[1.50,{\"k\":[]}],\"o\":{\"x\":\"y\"}}");
  EXPECT_EQ(document.GetText("i", true), "12");
  EXPECT_EQ(document.GetJson("z"), "null");
  EXPECT_EQ(document.GetJson("s"), "\"a/b\"");  // "/" is not escaped
  EXPECT_EQ(document.GetJson("a"), "[1.5,{\"k\":[]}]");
  EXPECT_EQ(document.GetJson("o"), "{\"x\":\"y\"}");
  EXPECT_EQ(document.GetJson("missing"), "");
  EXPECT_EQ(document.GetJson("missing.x"), "");
  EXPECT_EQ(document.ToJson(),
            "{\"i\":12,\"z\":null,\"s\":\"a/b\",\"a\":[1.5,{\"k\":[]}],"
            "\"o\":{\"x\":\"y\"}}");
}

TEST(JsonDocumentTest, JsonFormEscapesControlsAndInvisibleCharacters) {
  const struct {
    const char* escape;  // as given in the parsed text
    const char* json;    // as written back
  } cases[] = {
      {"\\u0001", "\\u0001"}, {"\\u001F", "\\u001f"}, {"\\u007f", "\\u007f"},
      {"\\u0080", "\\u0080"}, {"\\u009f", "\\u009f"}, {"\\u00AD", "\\u00ad"},
      {"\\u0600", "\\u0600"}, {"\\u0604", "\\u0604"}, {"\\u070f", "\\u070f"},
      {"\\u17b4", "\\u17b4"}, {"\\u17b5", "\\u17b5"}, {"\\u200c", "\\u200c"},
      {"\\u200f", "\\u200f"}, {"\\u2028", "\\u2028"}, {"\\u202f", "\\u202f"},
      {"\\u2060", "\\u2060"}, {"\\u206f", "\\u206f"}, {"\\ufeff", "\\ufeff"},
      {"\\ufff0", "\\ufff0"}, {"\\uffff", "\\uffff"}, {"\\b", "\\b"},
      {"\\t", "\\t"},         {"\\n", "\\n"},         {"\\f", "\\f"},
      {"\\r", "\\r"},         {"\\\"", "\\\""},       {"\\\\", "\\\\"},
      {"\\/", "/"},           {"\\u0041", "A"},       {"\\u4e2d", "\xD6\xD0"},  // 中
      {"\\u0605", "?"},  // not escaped, and GBK cannot hold it
  };
  for (const auto& c : cases) {
    JsonDocument document;
    ASSERT_TRUE(document.Parse(std::string("[\"") + c.escape + "\"]")) << c.escape;
    EXPECT_EQ(document.ToJson(), std::string("[\"") + c.json + "\"]") << c.escape;
  }
}

TEST(JsonDocumentTest, BackslashMarkerStoresBackslashesOfTextValues) {
  JsonDocument document;
  ASSERT_TRUE(document.SetValue("x", "a\\b"));
  EXPECT_EQ(document.ToJson(), "{\"x\":\"a\\b\"}");  // one backslash, unescaped
  EXPECT_EQ(document.GetText("x"), "a\\b");
  EXPECT_EQ(document.GetJson("x"), "\"a\\b\"");
  EXPECT_EQ(document.KindOf("x"), JsonKind::kString);
  Texts values;
  EXPECT_EQ(document.GetAllValues(values), 1);
  EXPECT_EQ(values, Texts{"a\\b"});

  // Quotes, apostrophes and line breaks are stored as they are.
  ASSERT_TRUE(document.SetValue("q", "it's \"q\"\r\n"));
  EXPECT_EQ(document.GetText("q"), "it's \"q\"\r\n");
  EXPECT_EQ(document.GetJson("q"), "\"it's \\\"q\\\"\\r\\n\"");
}

TEST(JsonDocumentTest, BackslashTrailByteIsNoBackslash) {
  JsonDocument document;
  ASSERT_TRUE(document.SetValue("x", "\xD5\x5C"));  // 誠: its second byte is 0x5C
  EXPECT_EQ(document.ToJson(), "{\"x\":\"\xD5\x5C\"}");
  EXPECT_EQ(document.GetText("x"), "\xD5\x5C");
}

TEST(JsonDocumentTest, SubDocumentOfMarkedTextReadsTheSame) {
  // A sub-document must read back what the node it came from reads, backslashes included
  // (re-reading the written text "C:\dir" as JSON would fail on its "\d").
  JsonDocument document;
  ASSERT_TRUE(document.SetJson("p", "{}"));
  ASSERT_TRUE(document.SetValue("p.dir", "C:\\dir"));
  ASSERT_TRUE(document.SetValue("p.bs", "a\\b"));
  const JsonDocument sub = document.GetObject("p");
  EXPECT_EQ(sub.GetText("dir"), "C:\\dir");
  EXPECT_EQ(sub.GetText("bs"), "a\\b");
  EXPECT_EQ(sub.ToJson(), "{\"dir\":\"C:\\dir\",\"bs\":\"a\\b\"}");
}

TEST(JsonDocumentTest, ParsedMarkerCharacterReadsAsBackslash) {
  const JsonDocument document = Parsed("[\"a\\u2400b\"]");
  EXPECT_EQ(document.GetText("[0]"), "a\\b");
  EXPECT_EQ(document.ToJson(), "[\"a\\b\"]");
}

TEST(JsonDocumentTest, AddedAndSetElementTextsKeepBackslashesAsText) {
  JsonDocument document;
  ASSERT_TRUE(document.AddElement("a\\b", "list"));
  ASSERT_TRUE(document.SetElement(1, "list", "c\\d"));
  EXPECT_EQ(document.GetText("list"), "a\\b,c\\d");
  EXPECT_EQ(document.ToJson(), "{\"list\":[\"a\\\\b\",\"c\\\\d\"]}");
}

TEST(JsonDocumentTest, SetValueKeepsInsertionOrder) {
  JsonDocument document;
  for (const char* name : {"z", "a", "m"}) ASSERT_TRUE(document.SetValue(name, name));
  ASSERT_TRUE(document.SetValue("a", "again"));
  EXPECT_EQ(document.ToJson(), "{\"z\":\"z\",\"a\":\"again\",\"m\":\"m\"}");
  std::vector<std::string> names;
  EXPECT_EQ(document.GetNames(names), 3);
  EXPECT_EQ(names, (Texts{"z", "a", "m"}));
}

TEST(JsonDocumentTest, SetValueNeedsTheParent) {
  JsonDocument document = Parsed("{\"s\":\"t\",\"n\":null}");
  EXPECT_FALSE(document.SetValue("a.b", "x"));
  EXPECT_FALSE(document.SetValue("n.b", "x"));
  EXPECT_FALSE(document.SetValue("s.b", "x"));  // members of a string cannot be set
  EXPECT_TRUE(document.SetValue("n", "x"));
  EXPECT_EQ(document.ToJson(), "{\"s\":\"t\",\"n\":\"x\"}");
}

TEST(JsonDocumentTest, JsonModeMergesIntoObjects) {
  JsonDocument document = Parsed(
      "{\"s\":\"old\",\"b\":true,\"n\":1,\"z\":null,\"o\":{\"k\":\"v\",\"arr\":[1]},"
      "\"a\":[1],\"keepO\":{\"x\":1},\"keepA\":[0]}");
  ASSERT_TRUE(document.SetValue(
      "",
      "{\"s\":\"new\",\"b\":false,\"n\":2,\"z\":\"zz\",\"o\":{\"k2\":\"v2\",\"arr\":[2]},"
      "\"a\":[2,3],\"new\":{\"x\":1},\"keepO\":\"str\",\"keepA\":{\"y\":1}}",
      true));
  EXPECT_EQ(document.ToJson(),
            "{\"s\":\"new\",\"b\":false,\"n\":2,\"z\":\"zz\","
            "\"o\":{\"k\":\"v\",\"arr\":[1,2],\"k2\":\"v2\"},\"a\":[1,2,3],"
            "\"keepO\":{\"x\":1},\"keepA\":[0],\"new\":{\"x\":1}}");
}

TEST(JsonDocumentTest, JsonModeReplacesWhatIsNotAnObject) {
  JsonDocument document = Parsed("{\"s\":\"x\",\"a\":[1],\"o\":{\"k\":1}}");
  ASSERT_TRUE(document.SetValue("s", "{\"n\":1}", true));
  ASSERT_TRUE(document.SetValue("a", "[2]", true));   // arrays are replaced, not appended to
  ASSERT_TRUE(document.SetValue("m", "", true));      // empty JSON counts as {}
  ASSERT_TRUE(document.SetValue("o", "", true));      // merging {} changes nothing
  EXPECT_FALSE(document.SetValue("o", "[1]", true));  // an object is never replaced by a merge
  EXPECT_FALSE(document.SetValue("s", "{bad", true));
  EXPECT_EQ(document.ToJson(), "{\"s\":{\"n\":1},\"a\":[2],\"o\":{\"k\":1},\"m\":{}}");
}

TEST(JsonDocumentTest, SetJsonReplacesWithoutMerging) {
  JsonDocument document = Parsed("{\"o\":{\"k\":1}}");
  ASSERT_TRUE(document.SetJson("o", "{\"j\":2}"));
  ASSERT_TRUE(document.SetJson("t", "true"));
  EXPECT_FALSE(document.SetJson("t", ""));
  EXPECT_FALSE(document.SetJson("t", "{'a':1}"));
  EXPECT_EQ(document.ToJson(), "{\"o\":{\"j\":2},\"t\":true}");
  ASSERT_TRUE(document.SetJson("", "[1,2]"));
  EXPECT_EQ(document.ToJson(), "[1,2]");
}

TEST(JsonDocumentTest, WritesCannotNestBeyondTheDepthLimit) {
  // The root array is one level; whatever is stored below it may add 999 more.
  const auto nested = [](int depth) { return std::string(depth, '[') + std::string(depth, ']'); };
  JsonDocument document = Parsed("[[]]");
  EXPECT_FALSE(document.SetJson("[0]", nested(1000)));
  EXPECT_TRUE(document.SetJson("[0]", nested(999)));
  // A new array at [1] is a second level, so its element may have 998.
  EXPECT_FALSE(document.AddElement(nested(999), "[1]", true));
  EXPECT_TRUE(document.AddElement(nested(998), "[1]", true));
  EXPECT_FALSE(document.SetElement(0, "[1]", nested(999), true));
  EXPECT_TRUE(document.Parse(document.ToJson()));
}

TEST(JsonDocumentTest, AddElementBuildsAndExtendsArrays) {
  JsonDocument document = Parsed("{\"s\":\"text\"}");
  ASSERT_TRUE(document.AddElement("a", "list"));
  ASSERT_TRUE(document.AddElement("b", "list"));
  ASSERT_TRUE(document.AddElement("c", "list", false, true));
  ASSERT_TRUE(document.AddElement("{\"k\":1}", "list", true));
  ASSERT_TRUE(document.AddElement("x", "s"));  // a string is replaced by an array
  EXPECT_FALSE(document.AddElement("{bad", "list", true));
  EXPECT_FALSE(document.AddElement("x", "missing.list"));
  EXPECT_EQ(document.ToJson(), "{\"s\":[\"x\"],\"list\":[\"c\",\"a\",\"b\",{\"k\":1}]}");
  EXPECT_EQ(document.GetCount("list"), 4);
  ASSERT_TRUE(document.AddElement("r"));  // the root object becomes an array
  EXPECT_EQ(document.ToJson(), "[\"r\"]");
}

TEST(JsonDocumentTest, ElementReadsAndSubDocuments) {
  const JsonDocument document = Parsed("{\"l\":[\"a\",7,{\"k\":[1]},null]}");
  EXPECT_EQ(document.GetElementText(0, "l"), "a");
  EXPECT_EQ(document.GetElementText(0, "l", true), "\"a\"");
  EXPECT_EQ(document.GetElementText(1, "l"), "7");
  EXPECT_EQ(document.GetElementText(3, "l", true), "null");
  EXPECT_EQ(document.GetElementText(9, "l", true), "");
  EXPECT_EQ(document.GetElementText(0, "nothing"), "");
  EXPECT_EQ(document.GetElementObject(2, "l").ToJson(), "{\"k\":[1]}");
  EXPECT_EQ(document.GetElementObject(3, "l").ToJson(), "null");
  EXPECT_EQ(document.GetElementObject(9, "l").ToJson(), "");
  EXPECT_EQ(document.GetElementObject(0, "").ToJson(), "");
}

TEST(JsonDocumentTest, SetElementWritesPastTheEndWithHoles) {
  JsonDocument document = Parsed("{\"l\":[\"a\"]}");
  ASSERT_TRUE(document.SetElement(0, "l", "b"));
  ASSERT_TRUE(document.SetElement(3, "l", "[true]", true));
  EXPECT_EQ(document.GetCount("l"), 4);
  EXPECT_EQ(document.ToJson(), "{\"l\":[\"b\",null,null,[true]]}");
  EXPECT_EQ(document.KindOf("l[1]"), JsonKind::kNullOrMissing);
  EXPECT_EQ(document.KindOf("l[1].x"), JsonKind::kOther);
  EXPECT_EQ(document.GetText("l"), "b,,,true");
  EXPECT_FALSE(document.SetElement(-1, "l", "neg"));
  EXPECT_FALSE(document.SetElement(2000000000, "l", "far"));  // would need 2e9 holes
  EXPECT_FALSE(document.SetElement(0, "missing", "x"));
  EXPECT_FALSE(document.SetElement(0, "l[0]", "x"));  // an element of a string
  EXPECT_EQ(document.GetCount("l"), 4);
}

TEST(JsonDocumentTest, RemoveElementSplices) {
  JsonDocument document = Parsed("{\"l\":[0,1,2,3,4],\"o\":{\"0\":1}}");
  ASSERT_TRUE(document.RemoveElement(1, "l"));
  EXPECT_EQ(document.GetJson("l"), "[0,2,3,4]");
  ASSERT_TRUE(document.RemoveElement(-1, "l"));  // from the end
  EXPECT_EQ(document.GetJson("l"), "[0,2,3]");
  ASSERT_TRUE(document.RemoveElement(-10, "l"));  // clamped to the start
  EXPECT_EQ(document.GetJson("l"), "[2,3]");
  EXPECT_FALSE(document.RemoveElement(2, "l"));
  EXPECT_FALSE(document.RemoveElement(0, "o"));  // not an array
  EXPECT_FALSE(document.RemoveElement(0, "missing"));
  EXPECT_EQ(document.ToJson(), "{\"l\":[2,3],\"o\":{\"0\":1}}");
}

TEST(JsonDocumentTest, RemoveDeletesMembersAndLeavesHolesInArrays) {
  JsonDocument document = Parsed("{\"a\":1,\"l\":[\"x\",\"y\",\"z\"],\"b\":2}");
  ASSERT_TRUE(document.Remove("a"));
  ASSERT_TRUE(document.Remove("l[1]"));
  EXPECT_EQ(document.GetCount("l"), 3);
  EXPECT_EQ(document.KindOf("l[1]"), JsonKind::kNullOrMissing);
  EXPECT_EQ(document.GetText("l[1]", true), "");
  EXPECT_EQ(document.ToJson(), "{\"l\":[\"x\",null,\"z\"],\"b\":2}");
  EXPECT_FALSE(document.Remove("l[1]"));
  EXPECT_FALSE(document.Remove("l[5]"));
  EXPECT_FALSE(document.Remove("missing"));
  EXPECT_FALSE(document.Remove("missing.x"));
  EXPECT_FALSE(document.Remove(""));  // the root stays
  EXPECT_FALSE(document.Remove("da"));
  // Holes become null in a sub-document.
  EXPECT_EQ(document.GetObject("l").KindOf("[1]"), JsonKind::kNullOrMissing);
  EXPECT_EQ(document.GetObject("l").ToJson(), "[\"x\",null,\"z\"]");
  // A member removed and set again goes to the end.
  ASSERT_TRUE(document.Remove("l"));
  ASSERT_TRUE(document.SetValue("l", "v"));
  EXPECT_EQ(document.ToJson(), "{\"b\":2,\"l\":\"v\"}");
}

TEST(JsonDocumentTest, NumbersKeepThirteenSignificantDigits) {
  JsonDocument document;
  ASSERT_TRUE(document.SetNumber("a", 0.1 + 0.2));
  ASSERT_TRUE(document.SetNumber("b", 1234567890123456.0));
  ASSERT_TRUE(document.SetNumber("c", -2.5e-10));
  EXPECT_FALSE(document.SetNumber("d", std::numeric_limits<double>::infinity()));
  EXPECT_FALSE(document.SetNumber("d", std::numeric_limits<double>::quiet_NaN()));
  EXPECT_FALSE(document.SetNumber("x.y", 1));
  EXPECT_EQ(document.ToJson(), "{\"a\":0.3,\"b\":1234567890123000,\"c\":-2.5e-10}");
  EXPECT_EQ(document.GetNumber("a"), 0.3);
  EXPECT_EQ(document.KindOf("a"), JsonKind::kNumber);
}

TEST(JsonDocumentTest, GetNumberReadsNumbersAndNumericTexts) {
  const JsonDocument document =
      Parsed("{\"n\":-12.5,\"s\":\" 42 \",\"w\":\"4x\",\"t\":true,\"f\":false,\"o\":{}}");
  EXPECT_EQ(document.GetNumber("n"), -12.5);
  EXPECT_EQ(document.GetNumber("s"), 42);
  EXPECT_EQ(document.GetNumber("w"), 0);
  EXPECT_EQ(document.GetNumber("t"), 1);
  EXPECT_EQ(document.GetNumber("f"), 0);
  EXPECT_EQ(document.GetNumber("o"), 0);
  EXPECT_EQ(document.GetNumber("missing"), 0);
  EXPECT_EQ(document.GetNumber("missing.x"), 0);
}

TEST(JsonDocumentTest, GetNamesListsObjectMembers) {
  Texts names{"stale"};
  EXPECT_EQ(Parsed("{}").GetNames(names), 0);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(Parsed("[1]").GetNames(names), 0);
  EXPECT_EQ(Parsed("{\"a\":{\"x\":1,\"\xC3\xFB\":2}}").GetNames(names, "a"), 2);  // 名
  EXPECT_EQ(names, (Texts{"x", "\xC3\xFB"}));
  // Names are joined by CR LF and split again: an empty last name is lost, CR LF splits.
  EXPECT_EQ(Parsed("{\"a\":1,\"\":2}").GetNames(names), 1);
  EXPECT_EQ(Parsed("{\"\":1,\"a\":2}").GetNames(names), 2);
  EXPECT_EQ(Parsed("{\"p\\r\\nq\":1}").GetNames(names), 2);
  EXPECT_EQ(names, (Texts{"p", "q"}));
}

TEST(JsonDocumentTest, GetAllValuesCollectsTextForms) {
  Texts values{"stale"};
  const JsonDocument nested = Parsed("{\"a\":\"x\",\"b\":{\"c\":2}}");
  EXPECT_EQ(nested.GetAllValues(values), 1);
  EXPECT_EQ(values, Texts{"x"});
  EXPECT_EQ(nested.GetAllValues(values, "", true), 2);
  EXPECT_EQ(values, (Texts{"x", "2"}));

  EXPECT_EQ(Parsed("[\"a\",\"\"]").GetAllValues(values), 1);  // empty last value lost
  EXPECT_EQ(Parsed("[\"\",\"a\"]").GetAllValues(values), 2);
  EXPECT_EQ(values, (Texts{"", "a"}));
  EXPECT_EQ(Parsed("[\"\"]").GetAllValues(values), 0);

  const JsonDocument mixed = Parsed("[true,null,1.5,[\"in\",[false]],{\"k\":\"v\"}]");
  EXPECT_EQ(mixed.GetAllValues(values), 2);
  EXPECT_EQ(values, (Texts{"true", "1.5"}));
  EXPECT_EQ(mixed.GetAllValues(values, "", true), 5);
  EXPECT_EQ(values, (Texts{"true", "1.5", "in", "false", "v"}));
  EXPECT_EQ(mixed.GetAllValues(values, "[3]"), 1);
  EXPECT_EQ(mixed.GetAllValues(values, "[0]"), 0);
  EXPECT_EQ(mixed.GetAllValues(values, "[9].x"), 0);
  EXPECT_TRUE(values.empty());

  // A value holding the separator splits.
  JsonDocument separated;
  ASSERT_TRUE(separated.SetValue("v", std::string("p") + std::string(kJsonValueSeparator) + "q"));
  EXPECT_EQ(separated.GetAllValues(values), 2);
}

TEST(JsonDocumentTest, CountsOnlyArrays) {
  const JsonDocument document = Parsed("{\"a\":[1,[2,3],null],\"o\":{\"x\":1},\"s\":\"abc\"}");
  EXPECT_EQ(document.GetCount("a"), 3);
  EXPECT_EQ(document.GetCount("a[1]"), 2);
  EXPECT_EQ(document.GetCount("o"), 0);
  EXPECT_EQ(document.GetCount("s"), 0);
  EXPECT_EQ(document.GetCount("missing"), 0);
  EXPECT_EQ(document.GetCount(""), 0);
}

TEST(JsonDocumentTest, GetObjectOfAScalarHoldsItsJson) {
  const JsonDocument document = Parsed("{\"n\":12,\"s\":\"t\",\"inf\":1e999,\"z\":null}");
  EXPECT_EQ(document.GetObject("n").ToJson(), "12");
  EXPECT_EQ(document.GetObject("s").ToJson(), "\"t\"");
  EXPECT_EQ(document.GetObject("s").GetText(""), "t");
  EXPECT_EQ(document.GetText("inf"), "Infinity");
  EXPECT_EQ(document.GetObject("inf").ToJson(), "null");  // as written in JSON
  EXPECT_EQ(document.GetObject("z").ToJson(), "null");
  EXPECT_EQ(document.GetObject("z").KindOf(""), JsonKind::kNullOrMissing);
}

TEST(JsonDocumentTest, GetObjectOfAMissingNodeWritesNothing) {
  // The synthesis reads "the value at a path as JSON" with GetObject + ToJson and substitutes
  // the empty text when the reply lacks it.
  const JsonDocument document = Parsed(
      "{\"ssmlSplitResults\":[{\"segments\":[{\"paragraphIndex\":0,"
      "\"charLenghtOfPlainText\":12}]}]}");
  EXPECT_EQ(document.GetObject("ssmlSplitResults[0].segments[0].paragraphIndex").ToJson(), "0");
  EXPECT_EQ(document.GetObject("ssmlSplitResults[0].segments[0].charLenghtOfPlainText").ToJson(),
            "12");
  for (const char* path : {"missing", "ssmlSplitResults[1].segments[0].paragraphIndex"}) {
    const JsonDocument sub = document.GetObject(path);
    EXPECT_EQ(sub.ToJson(), "") << path;
    EXPECT_EQ(sub.KindOf(""), JsonKind::kNullOrMissing) << path;
    EXPECT_EQ(sub.GetText(""), "") << path;
    EXPECT_FALSE(sub.Exists("")) << path;
  }
  JsonDocument failed;
  ASSERT_FALSE(failed.Parse("<html>"));
  EXPECT_EQ(failed.GetObject("ssmlSplitResults[0].segments[0].paragraphIndex").ToJson(), "");
}

TEST(JsonDocumentTest, CopiesShareTheDocumentUntilOneParses) {
  JsonDocument a;
  JsonDocument b = a.Copy();
  JsonDocument c(a);  // the copy constructor is a Copy too
  ASSERT_TRUE(b.SetValue("x", "1"));
  EXPECT_EQ(a.GetText("x"), "1");
  EXPECT_EQ(c.GetText("x"), "1");
  c.Clear();
  EXPECT_EQ(a.ToJson(), "{}");
  ASSERT_TRUE(b.Parse("[2]"));
  EXPECT_EQ(a.ToJson(), "{}");
  EXPECT_EQ(b.ToJson(), "[2]");
  ASSERT_TRUE(a.SetValue("y", "2"));
  EXPECT_EQ(c.GetText("y"), "2");
  EXPECT_EQ(b.GetText("y"), "");
}

TEST(JsonDocumentTest, SubDocumentsAreIndependent) {
  JsonDocument document = Parsed("{\"o\":{\"k\":[1]}}");
  JsonDocument sub = document.GetObject("o");
  ASSERT_TRUE(sub.AddElement("2", "k", true));
  ASSERT_TRUE(document.SetValue("o.k2", "v"));
  EXPECT_EQ(sub.ToJson(), "{\"k\":[1,2]}");
  EXPECT_EQ(document.ToJson(), "{\"o\":{\"k\":[1],\"k2\":\"v\"}}");
}

TEST(JsonDocumentTest, DestroyReleasesOnlyThisHandle) {
  JsonDocument a = Parsed("{\"x\":1}");
  JsonDocument b = a.Copy();
  b.Destroy();
  EXPECT_EQ(a.GetText("x"), "1");
  EXPECT_EQ(b.GetText("x"), "");
  EXPECT_EQ(b.ToJson(), "");
  EXPECT_EQ(b.KindOf(""), JsonKind::kOther);
  EXPECT_FALSE(b.SetValue("x", "2"));
  EXPECT_FALSE(b.Parse("[1]"));
  EXPECT_EQ(b.GetObject("").ToJson(), "");
  EXPECT_EQ(b.GetEngine(), nullptr);
  b.Init();
  EXPECT_EQ(b.ToJson(), "{}");
  EXPECT_EQ(a.ToJson(), "{\"x\":1}");
}

TEST(JsonDocumentTest, EngineHandleFollowsTheDocument) {
  std::shared_ptr<const JsonValue> engine;
  {
    JsonDocument document;
    engine = document.GetEngine();
    ASSERT_TRUE(document.SetValue("x", "1"));
    ASSERT_TRUE(engine->IsObject());
    EXPECT_NE(engine->AsObject().Find("x"), nullptr);
    document.Clear();
    EXPECT_TRUE(engine->AsObject().empty());
    ASSERT_TRUE(document.Parse("[1]"));  // the handle moves on; the engine keeps the old tree
    EXPECT_TRUE(engine->IsObject());
  }
  EXPECT_TRUE(engine->IsObject());  // still alive after the last handle went
}

}  // namespace
}  // namespace lectoria
