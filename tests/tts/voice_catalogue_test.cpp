#include "tts/voice_catalogue.h"

#include <gtest/gtest.h>

#include "tts/style_table.h"
#include "tts_test_support.h"

namespace lectoria {
namespace {

using testing::Gbk;
using testing::SampleVoice;

std::string GbkList(const std::vector<SampleVoice>& voices) {
  return Gbk(testing::VoiceListJson(voices));
}

TEST(StyleTable, MapsBothWaysInTableOrder) {
  ASSERT_EQ(kStyleTable.size(), 15u);
  EXPECT_EQ(kStyleTable.front().serviceName, "assistant");
  EXPECT_EQ(kStyleTable.back().serviceName, "Default");
  EXPECT_EQ(kDefaultStyleLabel, Gbk("默认"));
  EXPECT_EQ(LabelForStyle("cheerful"), Gbk("开心"));
  EXPECT_EQ(StyleForLabel(Gbk("悲伤")), "sad");
  EXPECT_EQ(StyleForLabel(Gbk("默认")), "Default");
  // Style names compare with case; labels byte for byte.
  EXPECT_FALSE(LabelForStyle("Cheerful"));
  EXPECT_FALSE(LabelForStyle(""));
  EXPECT_FALSE(StyleForLabel(Gbk("开心 ")));
}

TEST(VoiceShortNames, ListsUpToTheLimitKeepingPositions) {
  std::vector<SampleVoice> voices;
  for (int i = 0; i < 400; ++i) voices.push_back({"v" + std::to_string(i), {}});
  const std::vector<std::string> names = VoiceShortNames(GbkList(voices));
  ASSERT_EQ(names.size(), kMaxListedVoices);
  EXPECT_EQ(names.front(), "v0");
  EXPECT_EQ(names.back(), "v349");

  EXPECT_EQ(VoiceShortNames(GbkList({{"a", {}}, {"b", {}}, {"c", {}}})),
            (std::vector<std::string>{"a", "b", "c"}));
  // An entry without a short name keeps its place.
  EXPECT_EQ(
      VoiceShortNames(R"([{"properties":{"ShortName":"a"}},{},{"properties":{"ShortName":"c"}}])"),
      (std::vector<std::string>{"a", "", "c"}));
}

TEST(VoiceShortNames, UnusableRepliesGiveNoNames) {
  for (const char* reply : {"", "null", "{}", R"({"error":{"code":"Unauthorized"}})", "[",
                            "<html>502</html>", "[1,2"}) {
    EXPECT_TRUE(VoiceShortNames(reply).empty()) << reply;
    EXPECT_FALSE(IsVoiceList(reply)) << reply;
  }
  EXPECT_TRUE(IsVoiceList("[]"));
}

TEST(FindVoiceRecord, FindsTheVoiceByItsExactShortName) {
  const std::string list = GbkList({{"en-US-JennyNeural", {}, "en-US"},
                                    {"zh-CN-XiaoxiaoNeural", {}},
                                    {"zh-CN-XiaoxiaoNeural2", {}}});
  const auto record = FindVoiceRecord(list, "zh-CN-XiaoxiaoNeural");
  ASSERT_TRUE(record);
  EXPECT_EQ(*record, (VoiceRecord{testing::VoiceId("zh-CN-XiaoxiaoNeural"),
                                  testing::VoiceLongName("zh-CN-XiaoxiaoNeural"),
                                  "zh-CN-XiaoxiaoNeural", "zh-CN", "StandardVoice"}));
  EXPECT_EQ(FindVoiceRecord(list, "en-US-JennyNeural")->locale, "en-US");
  EXPECT_FALSE(FindVoiceRecord(list, "zh-cn-xiaoxiaoneural"));
  EXPECT_FALSE(FindVoiceRecord(list, "zh-CN-Xiaoxiao"));
  EXPECT_FALSE(FindVoiceRecord(list, ""));
  EXPECT_FALSE(FindVoiceRecord("{}", "zh-CN-XiaoxiaoNeural"));
}

TEST(BuildStyleLabels, LabelsTheVoicesStylesThenDefault) {
  const std::string list = GbkList({{"first", {"cheerful", "sad"}},
                                    {"plain", {}},
                                    {"odd", {"whispering", "", "chat", "Default", "Cheerful"}},
                                    {"two", {"chat", "cheerful"}}});
  struct Case {
    const char* voice;
    const char* labels;  // UTF-8, joined with ","
  } cases[] = {
      // The first voice of the list is a voice like any other.
      {"first", "开心,悲伤,默认"},
      {"plain", "默认"},
      // Unknown and empty names are skipped; "Default" in the samples shows twice.
      {"odd", "聊天,默认,默认"},
      {"two", "聊天,开心,默认"},
      {"missing", "默认"},
      {"", "默认"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(JoinWithCommas(BuildStyleLabels(list, c.voice)), Gbk(c.labels)) << c.voice;
  }
  EXPECT_EQ(JoinWithCommas(BuildStyleLabels("", "first")), Gbk("默认"));
}

TEST(JoinWithCommas, PutsNoCommaAfterTheLast) {
  EXPECT_EQ(JoinWithCommas({}), "");
  EXPECT_EQ(JoinWithCommas({"a"}), "a");
  EXPECT_EQ(JoinWithCommas({"a", "", "b"}), "a,,b");
}

}  // namespace
}  // namespace lectoria
