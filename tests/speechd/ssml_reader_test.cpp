#include "speechd/ssml_reader.h"

#include <gtest/gtest.h>

#include "speechd_test_support.h"

namespace lectoria::speechd {
namespace {

using testing::SpeakSsml;
using testing::SplitSsml;

constexpr const char* kOpen =
    R"(<speak version="1.0" xmlns="http://www.w3.org/2001/10/synthesis" xmlns:mstts="https://www.w3.org/2001/mstts">)";

bool Read(const std::string& ssml, SsmlContent& content, std::string& error,
          SsmlLimits limits = {}) {
  return ReadSsml(ssml, limits, content, error);
}

TEST(SpeechdSsmlReaderTest, ReadsTheClientsSpeakDocument) {
  SsmlContent content;
  std::string error;
  ASSERT_TRUE(
      Read(SpeakSsml("第一章 你好，world", "zh-CN-YunxiNeural", "cheerful"), content, error))
      << error;
  EXPECT_EQ(content.language, "zh-CN");
  ASSERT_EQ(content.segments.size(), 1u);
  EXPECT_EQ(content.segments[0].voiceName, "zh-CN-YunxiNeural");
  EXPECT_EQ(content.segments[0].style, "cheerful");
  EXPECT_EQ(content.segments[0].text, "第一章 你好，world");
  EXPECT_EQ(content.plainText, "第一章 你好，world");
  EXPECT_EQ(content.plainTextLength, 12u);  // UTF-16 code units
}

TEST(SpeechdSsmlReaderTest, SplitDocumentAndSpeakDocumentHaveTheSameText) {
  SsmlContent split, speak;
  std::string error;
  ASSERT_TRUE(Read(SplitSsml("他说：“走吧。”"), split, error)) << error;
  ASSERT_TRUE(Read(SpeakSsml("他说：“走吧。”"), speak, error)) << error;
  EXPECT_EQ(split.plainText, speak.plainText);
  EXPECT_EQ(split.plainTextLength, speak.plainTextLength);
}

TEST(SpeechdSsmlReaderTest, CollectsVoicesStylesPausesAndEntities) {
  const std::string ssml =
      std::string(kOpen) +
      R"(<voice name="en-US-GuyNeural">A &amp; B&#x4E2D;<break time="1.5s"/>)"
      R"(<mstts:express-as style="sad" styledegree="2">so sad</mstts:express-as>)"
      R"(<sub alias="World Wide Web">WWW</sub></voice></speak>)";
  SsmlContent content;
  std::string error;
  ASSERT_TRUE(Read(ssml, content, error)) << error;
  ASSERT_EQ(content.segments.size(), 4u);
  EXPECT_EQ(content.segments[0].text, "A & B\xE4\xB8\xAD");  // 中
  EXPECT_EQ(content.segments[1].pauseMs, 1500);
  EXPECT_EQ(content.segments[2].style, "sad");
  EXPECT_DOUBLE_EQ(content.segments[2].styleDegree, 2.0);
  EXPECT_EQ(content.segments[3].text, "World Wide Web");
  EXPECT_EQ(content.segments[3].voiceName, "en-US-GuyNeural");
}

TEST(SpeechdSsmlReaderTest, CountsCharactersOutsideTheBasicPlaneAsTwoUnits) {
  SsmlContent content;
  std::string error;
  ASSERT_TRUE(Read(std::string(kOpen) + "a\xF0\x9F\x98\x80</speak>", content, error)) << error;
  EXPECT_EQ(content.plainTextLength, 3u);
  EXPECT_EQ(content.plainTextChars, 2u);
}

TEST(SpeechdSsmlReaderTest, RefusesMalformedOrForeignDocuments) {
  const std::string speak = R"(<speak version="1.0" xmlns="http://www.w3.org/2001/10/synthesis">)";
  const struct {
    const char* name;
    std::string ssml;
  } kCases[] = {
      {"empty", ""},
      {"not xml", "hello"},
      {"unclosed", speak + "<voice name=\"a\">text</speak>"},
      {"bare ampersand from raw text", SpeakSsml("Tom & Jerry")},
      {"less-than from raw text", SpeakSsml("1 < 2")},
      {"quote breaks the attribute", SpeakSsml("x", "a\"b")},
      {"unknown entity", speak + "&nbsp;</speak>"},
      {"reference to a control character", speak + "&#1;</speak>"},
      {"reference beyond unicode", speak + "&#x110000;</speak>"},
      {"control character", speak + "a\x01"
                                    "b</speak>"},
      {"invalid utf-8", speak + "\xC3\x28</speak>"},
      {"wrong root", R"(<voice xmlns="http://www.w3.org/2001/10/synthesis">x</voice>)"},
      {"no namespace", R"(<speak version="1.0">x</speak>)"},
      {"wrong version",
       R"(<speak version="2.0" xmlns="http://www.w3.org/2001/10/synthesis">x</speak>)"},
      {"undeclared prefix", speak + "<mstts:express-as style=\"sad\">x</mstts:express-as></speak>"},
      {"duplicate attribute", speak + "<voice name=\"a\" name=\"b\">x</voice></speak>"},
      {"nested voices", speak + "<voice name=\"a\"><voice name=\"b\">x</voice></voice></speak>"},
      {"two roots", speak + "x</speak><speak/>"},
      {"text after root", speak + "x</speak>tail"},
      {"doctype", "<!DOCTYPE speak>" + speak + "x</speak>"},
      {"bad break time", speak + "<break time=\"soon\"/></speak>"},
      {"bad styledegree",
       std::string(kOpen) +
           "<mstts:express-as style=\"sad\" styledegree=\"much\">x</mstts:express-as></speak>"},
  };
  for (const auto& testCase : kCases) {
    SsmlContent content;
    std::string error;
    EXPECT_FALSE(Read(testCase.ssml, content, error)) << testCase.name;
    EXPECT_FALSE(error.empty()) << testCase.name;
  }
}

TEST(SpeechdSsmlReaderTest, EnforcesItsLimits) {
  SsmlLimits limits;
  limits.maxTextChars = 5;
  limits.maxElements = 3;
  limits.maxBytes = 400;
  limits.maxPauseMs = 2000;
  SsmlContent content;
  std::string error;
  EXPECT_TRUE(Read(std::string(kOpen) + "五个汉字啊</speak>", content, error, limits)) << error;
  EXPECT_FALSE(Read(std::string(kOpen) + "六个汉字啊啊</speak>", content, error, limits));
  EXPECT_FALSE(Read(std::string(kOpen) + "<s><s><s>x</s></s></s></speak>", content, error, limits));
  EXPECT_FALSE(
      Read(std::string(kOpen) + std::string(400, ' ') + "</speak>", content, error, limits));
  ASSERT_TRUE(Read(std::string(kOpen) + "<break time=\"9s\"/></speak>", content, error, limits));
  EXPECT_EQ(content.segments.at(0).pauseMs, 2000);
}

TEST(SpeechdSsmlReaderTest, DeepNestingIsRefusedWithoutRecursion) {
  std::string ssml = kOpen;
  for (int i = 0; i < 100000; ++i) ssml += "<p>";
  ssml += "x";
  for (int i = 0; i < 100000; ++i) ssml += "</p>";
  ssml += "</speak>";
  SsmlContent content;
  std::string error;
  SsmlLimits limits;
  limits.maxBytes = ssml.size();
  EXPECT_FALSE(Read(ssml, content, error, limits));
}

}  // namespace
}  // namespace lectoria::speechd
