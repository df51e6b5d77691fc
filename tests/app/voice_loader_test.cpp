#include "app/reading/voice_loader.h"

#include <gtest/gtest.h>

#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "app_harness.h"
#include "fake_speech_client.h"

namespace lectoria {
namespace {

using testing::AppHarness;
using testing::FakeSpeechClient;
using testing::G;
using testing::SampleVoiceList;

class VoiceLoaderTest : public ::testing::Test {
 protected:
  VoiceLoaderTest() {
    client_.SetVoiceList(SampleVoiceList({{"en-US-JennyNeural", {"chat"}},
                                          {"zh-CN-XiaoxiaoNeural", {"cheerful", "sad"}},
                                          {"zh-CN-YunxiNeural", {"chat", "cheerful"}}}));
    loader_.Install(h_.app.hooks());
  }

  void WriteConfig(std::string_view key, std::string_view value) {
    IniFile(h_.dir.paths().ConfigIni()).Write(config_keys::kSection, key, value);
  }
  std::vector<std::string> Styles() { return w().Items(ctl::组合框_语音风格); }
  std::vector<std::string> Labels(std::initializer_list<const char*> utf8) {
    std::vector<std::string> labels;
    for (const char* label : utf8) labels.push_back(G(label));
    return labels;
  }
  MainWindow& w() { return h_.app.window(); }

  AppHarness h_;
  FakeSpeechClient client_;
  VoiceLoader loader_{h_.app, client_};
};

TEST_F(VoiceLoaderTest, FillsBothBoxesAndEnablesStart) {
  WriteConfig(config_keys::kVoiceStyle, "1");
  h_.Start();

  EXPECT_EQ(h_.app.state().CurrentToken.Get(), "tok1");
  EXPECT_EQ(
      w().Items(ctl::组合框_语音),
      (std::vector<std::string>{"en-US-JennyNeural", "zh-CN-XiaoxiaoNeural", "zh-CN-YunxiNeural"}));
  // The default "语音" selects Xiaoxiao; saved style 1 is its second label.
  EXPECT_EQ(w().SelectedIndex(ctl::组合框_语音), 1);
  EXPECT_EQ(Styles(), Labels({"开心", "悲伤", "默认"}));
  EXPECT_EQ(h_.app.state().StyleLabels.Get(), Styles());
  EXPECT_EQ(w().SelectedIndex(ctl::组合框_语音风格), 1);
  EXPECT_EQ(w().Text(ctl::组合框_语音风格), G("悲伤"));
  EXPECT_TRUE(w().IsEnabled(ctl::按钮1));
  EXPECT_EQ(w().Text(ctl::按钮1), texts::kCaptionStart);
}

TEST_F(VoiceLoaderTest, FirstVoiceOfTheListHasItsStyles) {
  WriteConfig(config_keys::kVoice, "en-US");
  h_.Start();
  EXPECT_EQ(w().SelectedIndex(ctl::组合框_语音), 0);
  EXPECT_EQ(Styles(), Labels({"聊天", "默认"}));
}

TEST_F(VoiceLoaderTest, SavedVoiceSelection) {
  struct Case {
    const char* saved;  // nullptr: key missing
    int selected;
  } cases[] = {
      {nullptr, 1},
      {"zh-cn-xiaoxiao", 1},  // a leading part, in any letter case
      {"ZH-CN-Y", 2},
      {"", 0},  // present but empty: every text begins with it
      {"fr-FR-DeniseNeural", -1},
  };
  for (const Case& c : cases) {
    AppHarness h;
    if (c.saved)
      IniFile(h.dir.paths().ConfigIni()).Write(config_keys::kSection, config_keys::kVoice, c.saved);
    VoiceLoader loader(h.app, client_);
    loader.Install(h.app.hooks());
    h.Start();
    EXPECT_EQ(h.app.window().SelectedIndex(ctl::组合框_语音), c.selected)
        << (c.saved ? c.saved : "(missing)");
    if (c.selected == -1) {
      EXPECT_EQ(h.app.window().Items(ctl::组合框_语音风格), Labels({"默认"}));
    }
  }
}

TEST_F(VoiceLoaderTest, SavedStyleIndex) {
  struct Case {
    const char* saved;
    int selected;
  } cases[] = {{"2", 2},  {"abc", 0}, {" 1x", 1}, {"3", 2},
               {"-1", 2}, {"-2000000000", 2}, {"99999999999", 2}};  // outside: "默认"
  for (const Case& c : cases) {
    AppHarness h;
    IniFile ini(h.dir.paths().ConfigIni());
    ini.Write(config_keys::kSection, config_keys::kVoice, "zh-CN-YunxiNeural");
    ini.Write(config_keys::kSection, config_keys::kVoiceStyle, c.saved);
    VoiceLoader loader(h.app, client_);
    loader.Install(h.app.hooks());
    h.Start();
    EXPECT_EQ(h.app.window().Items(ctl::组合框_语音风格), Labels({"聊天", "开心", "默认"}));
    EXPECT_EQ(h.app.window().SelectedIndex(ctl::组合框_语音风格), c.selected) << c.saved;
  }
}

TEST_F(VoiceLoaderTest, PickingAnotherVoiceRefillsTheStylesWithTheSavedIndex) {
  WriteConfig(config_keys::kVoiceStyle, "0");
  h_.Start();
  w().UserSelectItem(ctl::组合框_语音风格, 1);
  w().UserSelectItem(ctl::组合框_语音, 2);  // raises FillStyleBox on the UI thread
  h_.ui.RunPending();
  EXPECT_EQ(Styles(), Labels({"聊天", "开心", "默认"}));
  EXPECT_EQ(h_.app.state().StyleLabels.Get(), Styles());
  EXPECT_EQ(w().SelectedIndex(ctl::组合框_语音风格), 0);
}

TEST_F(VoiceLoaderTest, NoTokenStillEnablesStart) {
  client_.SetTokenPrefix("");
  h_.Start();
  EXPECT_EQ(w().ItemCount(ctl::组合框_语音), 0);
  EXPECT_EQ(w().SelectedIndex(ctl::组合框_语音), -1);
  EXPECT_EQ(Styles(), Labels({"默认"}));
  EXPECT_EQ(w().SelectedIndex(ctl::组合框_语音风格), 0);
  EXPECT_TRUE(w().IsEnabled(ctl::按钮1));
  EXPECT_EQ(w().Text(ctl::按钮1), texts::kCaptionStart);
}

// An entry without a short name is left out of the box, and the voices after it still get
// their own styles (they are found by name, not by position).
TEST_F(VoiceLoaderTest, EntryWithoutNameDoesNotShiftTheVoices) {
  client_.SetVoiceList(SampleVoiceList({{"", {"sad"}}, {"zh-CN-XiaoxiaoNeural", {"cheerful"}}}));
  h_.Start();
  EXPECT_EQ(w().Items(ctl::组合框_语音), std::vector<std::string>{"zh-CN-XiaoxiaoNeural"});
  EXPECT_EQ(Styles(), Labels({"开心", "默认"}));
}

}  // namespace
}  // namespace lectoria
