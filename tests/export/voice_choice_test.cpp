#include "export/voice_choice.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace lectoria {
namespace {

std::string G(const char* utf8) {
  return Utf8ToGbk(utf8);
}

const std::string kVoices =
    R"([{"properties":{"ShortName":"zh-CN-XiaoxiaoNeuralHD"}},)"
    R"({"properties":{"ShortName":"zh-CN-XiaoxiaoNeural"},)"
    R"("samples":{"styleSamples":[{"styleName":"cheerful"},{"styleName":"sad"}]}},)"
    R"({"properties":{"ShortName":"zh-CN-YunxiNeural"}}])";

TEST(ChooseVoiceAndStyle, ArgumentsSavedSettingsAndRefusals) {
  using E = VoiceChoice::Error;
  struct Case {
    const char* what;
    std::optional<std::string> voice;
    std::optional<std::string> style;
    SavedVoiceSettings saved;
    E error;
    std::string chosenVoice;
    std::string chosenStyle;
  };
  const SavedVoiceSettings defaults{"zh-CN-XiaoxiaoNeural", 0};
  const Case cases[] = {
      {"defaults; the exact name before an earlier prefix",
       {},
       {},
       defaults,
       E::kNone,
       "zh-CN-XiaoxiaoNeural",
       G("开心")},
      {"saved style index",
       {},
       {},
       {"zh-CN-XiaoxiaoNeural", 1},
       E::kNone,
       "zh-CN-XiaoxiaoNeural",
       G("悲伤")},
      {"saved index outside the list",
       {},
       {},
       {"zh-CN-XiaoxiaoNeural", 7},
       E::kNone,
       "zh-CN-XiaoxiaoNeural",
       G("开心")},
      {"saved prefix in any case",
       {},
       {},
       {"ZH-CN-YUN", 0},
       E::kNone,
       "zh-CN-YunxiNeural",
       G("默认")},
      {"otherwise the first that begins with it",
       std::string("zh-cn-xiaoxiao"),
       {},
       defaults,
       E::kNone,
       "zh-CN-XiaoxiaoNeuralHD",
       G("默认")},
      {"style argument", {}, G("默认"), defaults, E::kNone, "zh-CN-XiaoxiaoNeural", G("默认")},
      {"unknown voice", std::string("en-US-Nobody"), {}, defaults, E::kUnknownVoice, "", ""},
      {"style the voice lacks", std::string("zh-CN-YunxiNeural"), G("开心"), defaults,
       E::kUnknownStyle, "", ""},
  };
  for (const Case& c : cases) {
    const VoiceChoice choice = ChooseVoiceAndStyle(kVoices, c.voice, c.style, c.saved);
    EXPECT_EQ(choice.error, c.error) << c.what;
    if (c.error != E::kNone) {
      EXPECT_FALSE(choice.choices.empty()) << c.what;
      continue;
    }
    EXPECT_EQ(choice.voice, c.chosenVoice) << c.what;
    EXPECT_EQ(choice.styleLabel, c.chosenStyle) << c.what;
  }
}

}  // namespace
}  // namespace lectoria
