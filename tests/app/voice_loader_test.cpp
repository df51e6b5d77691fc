#include "app/reading/voice_loader.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

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
  // Start-up while the loader keeps trying in the background: waits for its first attempt.
  void StartWithoutVoices() {
    h_.app.Start();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!w().IsEnabled(ctl::按钮1) && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_TRUE(h_.ui.AwaitWaitingThreads(1, std::chrono::seconds(10)));
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
  h_.dir.WriteFile("data/data.ini", "");  // a book: 按钮1 is usable
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
  } cases[] = {{"2", 2},  {"abc", 0},         {" 1x", 1},        {"3", 2},
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
  h_.dir.WriteFile("data/data.ini", "");  // a book: 按钮1 is usable
  StartWithoutVoices();
  EXPECT_EQ(w().ItemCount(ctl::组合框_语音), 0);
  EXPECT_EQ(w().SelectedIndex(ctl::组合框_语音), -1);
  EXPECT_EQ(Styles(), Labels({"默认"}));
  EXPECT_EQ(w().SelectedIndex(ctl::组合框_语音风格), 0);
  EXPECT_TRUE(w().IsEnabled(ctl::按钮1));
  EXPECT_EQ(w().Text(ctl::按钮1), texts::kCaptionStart);

  // Closing during the pause before the next attempt ends the loader at once.
  const int tokens = client_.TokensFetched();
  h_.app.Close();
  EXPECT_EQ(client_.TokensFetched(), tokens);
}

// A service that was away at start-up left both boxes empty for the whole run. The loader asks
// again, less and less often, and fills the boxes with the saved choice once the list comes.
TEST_F(VoiceLoaderTest, VoicesArriveWhenTheServiceComesBack) {
  WriteConfig(config_keys::kVoice, "zh-CN-Yunxi");
  WriteConfig(config_keys::kVoiceStyle, "1");
  client_.SetTokenPrefix("");
  StartWithoutVoices();
  w().SetText(ctl::按钮1, texts::kCaptionPause);  // reading was started meanwhile

  h_.ui.AdvanceBy(VoiceLoader::kFirstRetryMs);  // second attempt: still away
  ASSERT_TRUE(h_.ui.AwaitWaitingThreads(1, std::chrono::seconds(10)));
  EXPECT_EQ(client_.TokensFetched(), 2);
  EXPECT_EQ(w().ItemCount(ctl::组合框_语音), 0);

  client_.SetTokenPrefix("tok");
  h_.ui.AdvanceBy(VoiceLoader::kFirstRetryMs);  // the pause has doubled: not yet
  EXPECT_EQ(client_.TokensFetched(), 2);
  h_.ui.AdvanceBy(VoiceLoader::kFirstRetryMs);
  h_.app.JoinVoiceLoader();  // the list came: the loader is done
  EXPECT_EQ(client_.TokensFetched(), 3);
  EXPECT_EQ(w().Text(ctl::组合框_语音), "zh-CN-YunxiNeural");
  EXPECT_EQ(Styles(), Labels({"聊天", "开心", "默认"}));
  EXPECT_EQ(w().Text(ctl::组合框_语音风格), G("开心"));
  EXPECT_EQ(w().Text(ctl::按钮1), texts::kCaptionPause) << "the caption is reading's own";
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
