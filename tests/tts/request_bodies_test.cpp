#include "tts/request_bodies.h"

#include <gtest/gtest.h>

#include "json/json_document.h"
#include "tts_test_support.h"

namespace lectoria {
namespace {

using testing::Gbk;

const VoiceRecord kXiaoxiao{"5f55541d-c844-4e04-a7f8-1723ffbea4a9",
                            "Microsoft Server Speech Text to Speech Voice (zh-CN, XiaoxiaoNeural)",
                            "zh-CN-XiaoxiaoNeural", "zh-CN", "StandardVoice"};

// The SSML comments of the voice above, as they stand inside a JSON string.
constexpr std::string_view kComments =
    R"js(<!--ID=B7267351-473F-409D-9765-754A8EBCDE05;Version=1|{\"VoiceNameToIdMapItems\":[{\"Id\":\"5f55541d-c844-4e04-a7f8-1723ffbea4a9\",\"Name\":\"Microsoft Server Speech Text to Speech Voice (zh-CN, XiaoxiaoNeural)\",\"ShortName\":\"zh-CN-XiaoxiaoNeural\",\"Locale\":\"zh-CN\",\"VoiceType\":\"StandardVoice\"}]}-->\n<!--ID=5B95B1CC-2C7B-494F-B746-CF22A0E779B7;Version=1|{\"Locales\":{\"zh-CN\":{\"AutoApplyCustomLexiconFiles\":[{}]}}}-->\n)js";
constexpr std::string_view kNamespaces =
    R"(xmlns=\"http://www.w3.org/2001/10/synthesis\" xmlns:mstts=\"http://www.w3.org/2001/mstts\" xmlns:emo=\"http://www.w3.org/2009/10/emotionml\")";

std::string Fill(std::string_view pattern) {
  std::string text(pattern);
  for (const auto& [key, value] :
       {std::pair<std::string_view, std::string_view>{"@C", kComments}, {"@N", kNamespaces}}) {
    for (std::size_t at; (at = text.find(key)) != std::string::npos;)
      text.replace(at, key.size(), value);
  }
  return Gbk(text);
}

TEST(RequestBodies, MultituneBodyIsExact) {
  const std::string expected = Fill(
      R"js([{"SelectionBeginIndex":0,"SelectionLength":4,"Ssml":"<speak @N version=\"1.0\" xml:lang=\"zh-CN\">你好</speak>","UpdateType":"Voice","Parameters":{"Name":"zh-CN-XiaoxiaoNeural","ExpressAsTagOperationKind":"KeepIfValid","ExpressAsTagStyleNames":"开心,默认","ExpressAsTagDefaultStyleName":"cheerful","LangTagOperationKind":"KeepIfValid"},"TuneLexiconTag":{"IsApplyToFullSsml":true,"VoicesOperation":[{"VoiceName":"Microsoft Server Speech Text to Speech Voice (zh-CN, XiaoxiaoNeural)","TuneLexiconTagOperation":{"ClearAllExistingLexiconTags":true}},{"VoiceName":"zh-CN-XiaoxiaoNeural","TuneLexiconTagOperation":{"ClearAllExistingLexiconTags":true}}]}}])js");
  EXPECT_EQ(BuildMultituneBody(kXiaoxiao, Gbk("你好"), Gbk("开心,默认"), "cheerful"), expected);
}

TEST(RequestBodies, SplitSsmlsBodyIsExact) {
  const std::string expected = Fill(
      R"js({"ssmls":["@C<speak @N version=\"1.0\" xml:lang=\"zh-CN\"><voice name=\"zh-CN-XiaoxiaoNeural\">你好</voice></speak>"],"splitFileOptions":{"splitSsmlByContentMode":"OneLinePerSegment","ssmlMaxCharLengthOfPlainTextPerSegmentMode":"SpeakMaxPlainTextCharLengthAutoDetectLanguageFromSsml"}})js");
  EXPECT_EQ(BuildSplitSsmlsBody(kXiaoxiao, Gbk("你好")), expected);
}

TEST(RequestBodies, SpeakBodyIsExact) {
  const std::string expected = Fill(
      R"js({"ssml":"@C<speak version=\"1.0\" @N xml:lang=\"zh-CN\"><voice name=\"zh-CN-XiaoxiaoNeural\"><mstts:express-as style=\"Default\">你好<prosody contour=\"(49%, -40%)\"></prosody></mstts:express-as></voice></speak>","ttsAudioFormat":"audio-24khz-160kbitrate-mono-mp3","offsetInPlainText":0,"lengthInPlainText":2,"properties":{"SpeakTriggerSource":"AccTuningPagePlayButton"}})js");
  EXPECT_EQ(BuildSpeakBody(kXiaoxiao, Gbk("你好"), "Default", {"0", "2"}), expected);
}

TEST(RequestBodies, SelectionLengthCountsGbkBytes) {
  JsonDocument body;
  ASSERT_TRUE(body.Parse(BuildMultituneBody(kXiaoxiao, Gbk("一二三四五六七八九十"), "", "")));
  EXPECT_EQ(body.GetText("[0].SelectionLength"), "20");
}

// Lines with characters that mean something in JSON or XML, and with the words that stood for
// fields in the request templates, must arrive as the same text.
TEST(RequestBodies, LineTextIsEscapedNotInterpreted) {
  const std::string lines[] = {
      Gbk(R"(他说："a \"quoted\" word" \ end)"),
      Gbk("<b>Tom & Jerry</b> 'x' > y"),
      Gbk("局_类型 转换文本 局_locale 局_offsetInPlainText 文本长度"),
      Gbk("淺淺的河"),  // GBK trail bytes 0x5C
      Gbk("售价 5€"),   // the single byte 0x80
      "tab\there\x01",
  };
  for (const std::string& line : lines) {
    const std::string escapedText = EscapeXml(line);
    JsonDocument speak;
    ASSERT_TRUE(speak.Parse(BuildSpeakBody(kXiaoxiao, line, "sad", {"0", "7"}))) << line;
    const std::string ssml = speak.GetText("ssml");
    EXPECT_NE(ssml.find("<mstts:express-as style=\"sad\">" + escapedText + "<prosody"),
              std::string::npos)
        << ssml;
    EXPECT_EQ(speak.GetText("offsetInPlainText"), "0");

    JsonDocument split;
    ASSERT_TRUE(split.Parse(BuildSplitSsmlsBody(kXiaoxiao, line))) << line;
    EXPECT_NE(split.GetText("ssmls[0]").find(">" + escapedText + "</voice>"), std::string::npos);

    JsonDocument tune;
    ASSERT_TRUE(tune.Parse(BuildMultituneBody(kXiaoxiao, line, Gbk("默认"), "Default")));
    EXPECT_NE(tune.GetText("[0].Ssml").find(">" + escapedText + "</speak>"), std::string::npos);
    EXPECT_EQ(tune.GetText("[0].Parameters.ExpressAsTagDefaultStyleName"), "Default");
  }
}

TEST(RequestBodies, EscapersHandleEachSpecialCharacter) {
  EXPECT_EQ(EscapeXml("a<b>&\"'"), "a&lt;b&gt;&amp;\"'");
  EXPECT_EQ(EscapeXml("a<b>&\"'", /*attribute=*/true), "a&lt;b&gt;&amp;&quot;&apos;");
  EXPECT_EQ(EscapeXml("x\x01\x1fy\t\r\n"), "x  y\t\r\n");
  EXPECT_EQ(EscapeJsonString("\"\\/\n\r\t\b\f\x01"), "\\\"\\\\/\\n\\r\\t\\b\\f\\u0001");
  EXPECT_EQ(EscapeJsonString(Gbk("淺")), Gbk("淺"));
  // A byte that starts no character cannot carry a quote past the escaper.
  EXPECT_EQ(EscapeJsonString("\x81\"x"), "?\\\"x");
  EXPECT_EQ(EscapeJsonString("\xFF"), "?");
  // 0x80 is a character of its own in code page 936, the euro sign.
  EXPECT_EQ(EscapeJsonString("5\x80\""), "5\x80\\\"");
  EXPECT_EQ(EscapeXml("<\x80>"), "&lt;\x80&gt;");
  EXPECT_EQ(EscapeJsonString("end\xB1"), "end?");
}

TEST(RequestBodies, VoiceFieldsAreEscapedForEachPlace) {
  VoiceRecord odd = kXiaoxiao;
  odd.name = "Voice \"A\" -- <b>";
  odd.shortName = "x\"y";
  odd.locale = "zh\"CN";
  JsonDocument body;
  ASSERT_TRUE(body.Parse(BuildSpeakBody(odd, "hi", "sad", {"1", "2"})));
  const std::string ssml = body.GetText("ssml");
  EXPECT_NE(ssml.find("<voice name=\"x&quot;y\">"), std::string::npos) << ssml;
  EXPECT_NE(ssml.find("xml:lang=\"zh&quot;CN\""), std::string::npos) << ssml;
  // The voice map's JSON survives, and the comment holds no "--".
  const std::size_t start = ssml.find('|') + 1;
  const std::string map = ssml.substr(start, ssml.find("-->") - start);
  EXPECT_EQ(map.find("--"), std::string::npos) << map;
  JsonDocument voiceMap;
  ASSERT_TRUE(voiceMap.Parse(map)) << map;
  EXPECT_EQ(voiceMap.GetText("VoiceNameToIdMapItems[0].Name"), odd.name);
}

TEST(ReadSplitPosition, TakesBothNumbersOrNothing) {
  const auto good = ReadSplitPosition(testing::SplitReply(3, 12));
  ASSERT_TRUE(good);
  EXPECT_EQ(good->paragraphIndex, "3");
  EXPECT_EQ(good->plainTextLength, "12");
  for (
      const char* reply :
      {"", "{}", "[]", "not json", R"({"ssmlSplitResults":[]})",
       R"({"ssmlSplitResults":[{"segments":[{"paragraphIndex":0}]}]})",
       R"({"ssmlSplitResults":[{"segments":[{"paragraphIndex":"0","charLenghtOfPlainText":2}]}]})",
       R"({"ssmlSplitResults":[{"segments":[{"paragraphIndex":0,"charLengthOfPlainText":2}]}]})"}) {
    EXPECT_FALSE(ReadSplitPosition(reply)) << reply;
  }
}

}  // namespace
}  // namespace lectoria
