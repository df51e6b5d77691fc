#include "platform/ini_document.h"

#include <gtest/gtest.h>

#include "platform/ini_file.h"

namespace lectoria {
namespace {

const std::string kProps = "\xCA\xF4\xD0\xD4";                  // 属性
const std::string kIndex = "\xD5\xC2\xBD\xDA\xCB\xF7\xD2\xFD";  // 章节索引
const std::string kCount = "\xD5\xC2\xBD\xDA\xCA\xFD";          // 章节数
const std::string kDi = "\xB5\xDA";                             // 第
const std::string kZhang = "\xD5\xC2";                          // 章

// A string literal with its embedded NUL bytes.
template <std::size_t N>
std::string Bytes(const char (&literal)[N]) {
  return std::string(literal, N - 1);
}

struct ReadCase {
  const char* name;
  std::string file;
  std::string section;
  std::string key;
  std::string defaultValue;
  std::string expected;
};

TEST(IniDocumentRead, FollowsThePrivateProfileRules) {
  const ReadCase cases[] = {
      {"plain", "[s]\r\nk=v\r\n", "s", "k", "d", "v"},
      {"names ignore ASCII case", "[Sec]\r\nKey=v\r\n", "sEC", "kEY", "", "v"},
      {"blanks around names and value", " [ s ] \r\n\t k \t=\t v w \t\r\n", "s", "k", "", "v w"},
      {"blanks around requested names", "[s]\r\nk=v\r\n", " s\t", "\tk ", "", "v"},
      {"double quotes removed", "[s]\r\nk=\" a b \"\r\n", "s", "k", "", " a b "},
      {"single quotes removed", "[s]\r\nk='x'\r\n", "s", "k", "", "x"},
      {"one pair only", "[s]\r\nk=\"\"x\"\"\r\n", "s", "k", "", "\"x\""},
      {"unmatched quotes kept", "[s]\r\nk=\"x'\r\n", "s", "k", "", "\"x'"},
      {"lone quote kept", "[s]\r\nk=\"\r\n", "s", "k", "", "\""},
      {"empty quotes", "[s]\r\nk=\"\"\r\n", "s", "k", "d", ""},
      {"empty value is not missing", "[s]\r\nk=\r\n", "s", "k", "d", ""},
      {"first equals sign splits", "[s]\r\nk=a=b\r\n", "s", "k", "", "a=b"},
      {"first duplicate key wins", "[s]\r\nk=1\r\nK=2\r\n", "s", "k", "", "1"},
      {"only first duplicate section", "[s]\r\na=1\r\n[S]\r\nk=2\r\n", "s", "k", "d", "d"},
      {"comment line", "[s]\r\n;k=1\r\n", "s", ";k", "d", "d"},
      {"indented comment line", "[s]\r\n  ;k=1\r\nk=2\r\n", "s", "k", "", "2"},
      {"semicolon later is literal", "[s]\r\nk=a ;b\r\n", "s", "k", "", "a ;b"},
      {"missing key: trailing spaces of default removed", "[s]\r\n", "s", "k", " d  ", " d"},
      {"missing section", "[t]\r\nk=v\r\n", "s", "k", "d", "d"},
      {"empty key gives default", "[s]\r\n=v\r\n", "s", "", "d", "d"},
      {"keys before any section", "k=v\r\n[s]\r\n", "s", "k", "d", "d"},
      {"LF line ends", "[s]\nk=v\nj=w\n", "s", "j", "", "w"},
      {"lone CR line ends", "[s]\rk=v\rj=w", "s", "j", "", "w"},
      {"no final line end", "[s]\r\nk=v", "s", "k", "", "v"},
      {"text after the bracket", "[s] ;note\r\nk=v\r\n", "s", "k", "", "v"},
      {"no closing bracket is no section", "[s]\r\n[t\r\nk=v\r\n", "s", "k", "", "v"},
      {"bracket inside a section name", "[a]b]\r\nk=v\r\n", "a]b", "k", "", "v"},
      {"NUL cuts the value", Bytes("[s]\r\nk=ab\0cd\r\n"), "s", "k", "", "ab"},
      {"NUL cuts the requested name", "[s]\r\nk=v\r\n", std::string("s\0x", 3), "k", "", "v"},
      {"byte-order mark before the first section", "\xEF\xBB\xBF[s]\r\nk=v\r\n", "s", "k", "", "v"},
      {"GBK names", "[" + kProps + "]\r\n" + kCount + "=12\r\n", kProps, kCount, "", "12"},
      // B0 5D is one character whose second byte is ']': the name runs to the real bracket.
      {"trail byte ']' in a section name", "[\xB0\x5D]\r\nk=v\r\n", "\xB0\x5D", "k", "", "v"},
      // B0 41 and B0 61 are different characters, not two cases of one.
      {"trail bytes are not case-folded", "[s]\r\n\xB0\x41=v\r\n", "s", "\xB0\x61", "d", "d"},
      // B0 20 is (invalid) one character: its second byte is not a trailing blank.
      {"trail byte space kept", "[s]\r\nk=a\xB0 \r\n", "s", "k", "", "a\xB0 "},
  };
  for (const ReadCase& c : cases) {
    const IniDocument document = IniDocument::Parse(c.file);
    EXPECT_EQ(document.Get(c.section, c.key, c.defaultValue), c.expected) << c.name;
  }
}

TEST(IniDocumentRead, ValuesAreCutToTheBufferWithoutSplittingACharacter) {
  const std::string ascii(20000, 'x');
  EXPECT_EQ(IniDocument::Parse("[s]\r\nk=" + ascii + "\r\n").Get("s", "k").size(),
            kIniMaxValueBytes);

  std::string chinese;
  for (int i = 0; i < 6000; ++i) chinese += kDi;
  // Characters end at even offsets, so the 10239th byte would be half of one.
  const std::string cut = IniDocument::Parse("[s]\r\nk=" + chinese).Get("s", "k");
  EXPECT_EQ(cut.size(), kIniMaxValueBytes - 1);
  EXPECT_EQ(cut, chinese.substr(0, kIniMaxValueBytes - 1));
  EXPECT_EQ(IniDocument::Parse("[s]\r\nk=a" + chinese).Get("s", "k").size(), kIniMaxValueBytes);

  // Quotes come off before the cut.
  EXPECT_EQ(IniDocument::Parse("[s]\r\nk=\"" + ascii + "\"").Get("s", "k"),
            ascii.substr(0, kIniMaxValueBytes));
  EXPECT_EQ(IniDocument::DefaultValue(ascii).size(), kIniMaxValueBytes);
}

TEST(IniDocumentRead, ParseKeepsEveryByte) {
  const std::string inputs[] = {
      "",
      "no line end at all",
      "\r\n\r\n\n\r\r",
      Bytes("[s]\0\r\nk\0=v\0\r\n"),
      "\xEF\xBB\xBF[s]\r\nk=v",
      "[s\r\n]k=v\n=\n;\n[\n]\n\x81\r\n\xFF\xFE=\x81",
      "  [a]  \r\n\t k = \" v \" \r\n",
  };
  for (const std::string& input : inputs) {
    EXPECT_EQ(IniDocument::Parse(input).Serialize(), input);
  }
}

struct WriteCase {
  const char* name;
  std::string before;
  std::string section;
  std::string key;
  std::string value;
  std::string after;
};

TEST(IniDocumentWrite, EditsTheFileAsTheWindowsWriterDoes) {
  const WriteCase cases[] = {
      {"new file", "", "s", "k", "v", "[s]\r\nk=v\r\n"},
      {"new section appended, no blank line", "[a]\r\nx=1\r\n", "b", "y", "2",
       "[a]\r\nx=1\r\n[b]\r\ny=2\r\n"},
      {"new section after a last line without line end", "[a]\r\nx=1", "b", "y", "2",
       "[a]\r\nx=1\r\n[b]\r\ny=2\r\n"},
      {"new key after the last key", "[a]\r\nx=1\r\n\r\n;note\r\n[b]\r\nz=3\r\n", "a", "y", "2",
       "[a]\r\nx=1\r\ny=2\r\n\r\n;note\r\n[b]\r\nz=3\r\n"},
      {"new key in a section without keys", "[a]\r\n;note\r\n[b]\r\n", "a", "y", "2",
       "[a]\r\ny=2\r\n;note\r\n[b]\r\n"},
      {"new key after a header without line end", "[a]", "A", "y", "2", "[a]\r\ny=2\r\n"},
      {"new key after a last key without line end", "[a]\r\nx=1", "a", "y", "2",
       "[a]\r\nx=1\r\ny=2\r\n"},
      {"update keeps position and spelling", "[Sec]\r\n  Key = old  \r\nz=1\r\n", "sEC", "KEY",
       "new", "[Sec]\r\nKey=new\r\nz=1\r\n"},
      {"update of the first duplicate", "[a]\r\nk=1\r\nk=2\r\n", "a", "k", "3",
       "[a]\r\nk=3\r\nk=2\r\n"},
      {"write into the first duplicate section", "[a]\r\nx=1\r\n[a]\r\nk=2\r\n", "a", "k", "3",
       "[a]\r\nx=1\r\nk=3\r\n[a]\r\nk=2\r\n"},
      {"value written as given", "", "a", "k", " \"v\" ", "[a]\r\nk= \"v\" \r\n"},
      {"names trimmed", "", " a ", "\tk ", "v", "[a]\r\nk=v\r\n"},
      {"other lines untouched", "[a]\nx=1\n[b]\n", "a", "x", "2", "[a]\nx=2\r\n[b]\n"},
      {"line break in a value cannot plant lines", "", "a", "k", "v\r\n[a]\r\nk=evil",
       "[a]\r\nk=v\r\n"},
      {"lines before the first section stay first", "; settings\r\n", "a", "k", "v",
       "; settings\r\n[a]\r\nk=v\r\n"},
      {"GBK section, key and value", "", kIndex, "1", kDi + "1" + kZhang + " a=b",
       "[" + kIndex + "]\r\n1=" + kDi + "1" + kZhang + " a=b\r\n"},
  };
  for (const WriteCase& c : cases) {
    IniDocument document = IniDocument::Parse(c.before);
    EXPECT_EQ(document.Set(c.section, c.key, c.value), IniSetResult::kChanged) << c.name;
    EXPECT_EQ(document.Serialize(), c.after) << c.name;
    // What the edit leaves in memory is what a fresh parse of the bytes finds.
    const std::string written = document.Get(c.section, c.key);
    EXPECT_EQ(IniDocument::Parse(c.after).Get(c.section, c.key), written) << c.name;
  }
}

TEST(IniDocumentWrite, RefusesNamesThatWouldReadBackAsAnotherLine) {
  const std::string before = "[a]\r\nk=1\r\n";
  const struct {
    std::string section, key, value;
  } refused[] = {
      {"a", "", "v"},   {"a", " \t", "v"},   {"a", ";k", "v"},    {"a", "x=y", "v"},
      {"a", "[x", "]"}, {"b\x81", "k", "v"}, {"a", "\r\nk", "v"},
  };
  for (const auto& r : refused) {
    IniDocument document = IniDocument::Parse(before);
    EXPECT_EQ(document.Set(r.section, r.key, r.value), IniSetResult::kRejected) << r.key;
    EXPECT_EQ(document.Serialize(), before) << r.key;
  }
}

TEST(IniDocumentWrite, SameValueChangesNothing) {
  IniDocument document = IniDocument::Parse("[a]\r\nk=1\r\n");
  EXPECT_EQ(document.Set("A", "K", "1"), IniSetResult::kUnchanged);
  // Same value, different spacing: rewritten to the canonical form.
  document = IniDocument::Parse("[a]\r\nk = 1\r\n");
  EXPECT_EQ(document.Set("a", "k", "1"), IniSetResult::kChanged);
  EXPECT_EQ(document.Serialize(), "[a]\r\nk=1\r\n");
}

TEST(IniDocumentWrite, ManyKeysKeepTheirOrderAndLookups) {
  IniDocument document;
  document.Set(kProps, kCount, "3");
  for (int k = 1; k <= 3; ++k) document.Set(kIndex, std::to_string(k), "t" + std::to_string(k));
  document.Set(kProps, "x", "y");
  document.Set(kIndex, "2", "u");
  EXPECT_EQ(document.Serialize(), "[" + kProps + "]\r\n" + kCount + "=3\r\nx=y\r\n[" + kIndex +
                                      "]\r\n1=t1\r\n2=u\r\n3=t3\r\n");
  EXPECT_EQ(document.Get(kIndex, "3"), "t3");
  EXPECT_EQ(document.Get(kProps, "X"), "y");
}

}  // namespace
}  // namespace lectoria
