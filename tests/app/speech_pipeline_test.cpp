// The voice loader and the synthesis worker with the real client and the embedded speech
// service on 127.0.0.1.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/reading/playback_controller.h"
#include "app/reading/synthesis_worker.h"
#include "app/reading/voice_loader.h"
#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "app_harness.h"
#include "audio/mp3_decoder.h"
#include "library/library_index.h"
#include "speechd/speech_service.h"
#include "support/library_fixture.h"

namespace lectoria {
namespace {

using testing::AppHarness;
using testing::G;

class SpeechPipelineTest : public ::testing::Test {
 protected:
  SpeechPipelineTest() : port_(service_.Start("127.0.0.1", 0)) {}

  void SetUp() override {
    ASSERT_GT(port_, 0) << service_.LastError();
    h_.dir.WriteFile("data/1.txt",
                     G("第一章 开端\r\n春眠不觉晓，处处闻啼鸟。\r\n夜来风雨声，花落知多少。"));
    testing::WriteLibraryIndex(h_.dir.paths(), G("春晓"), {G("第一章 开端")});
    LibraryIndex index(h_.dir.paths());
    index.WriteReadingHistory(0);
    index.WriteLineNumber(1);
    voices_.Install(h_.app.hooks());
    worker_.Install(h_.app.hooks());
    h_.Start();
  }

  void AwaitIdle() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (worker_.Running() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_FALSE(worker_.Running());
  }

  speechd::SpeechService service_;
  int port_;
  SpeechServiceClient client_{SpeechServiceEndpoint::Local(port_)};
  AppHarness h_;
  VoiceLoader voices_{h_.app, client_};
  SynthesisWorker worker_{h_.app, client_};
};

TEST_F(SpeechPipelineTest, LoadsVoicesAndSynthesizesTheBookToItsEnd) {
  MainWindow& w = h_.app.window();
  EXPECT_EQ(w.Text(ctl::组合框_语音), "zh-CN-XiaoxiaoNeural");
  EXPECT_GT(w.ItemCount(ctl::组合框_语音风格), 0);
  EXPECT_EQ(w.SelectedIndex(ctl::组合框_语音风格), 0);
  EXPECT_EQ(w.Text(ctl::按钮1), texts::kCaptionStart);

  for (int n = 0; n < 3; ++n) {
    ASSERT_TRUE(worker_.LaunchIfNeeded()) << n;
    AwaitIdle();
    ASSERT_EQ(h_.app.state().SynthesizedCount, n + 1);
    const auto clip = DecodeMp3File(h_.dir.paths().Clip(n));
    ASSERT_TRUE(clip) << n;
    EXPECT_GT(clip->LengthMs(), 300);
  }
  EXPECT_FALSE(worker_.LaunchIfNeeded());
  EXPECT_TRUE(h_.app.state().PendingIsEnd);
  EXPECT_TRUE(h_.messages.Messages().empty());
}

TEST_F(SpeechPipelineTest, CloseRightAfterALaunch) {
  ASSERT_TRUE(worker_.LaunchIfNeeded());
  h_.app.Close();
  EXPECT_FALSE(worker_.Running());
  EXPECT_TRUE(h_.messages.Messages().empty());
}

TEST_F(SpeechPipelineTest, ServiceGoneThenBack) {
  service_.Stop();
  ASSERT_TRUE(worker_.LaunchIfNeeded());
  // Keep the simulated clock going until the run has been through its retry waits.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (worker_.Running() && std::chrono::steady_clock::now() < deadline) {
    h_.ui.AdvanceBy(100);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_FALSE(worker_.Running());
  ASSERT_EQ(h_.messages.Messages().size(), 1u);
  EXPECT_EQ(h_.messages.Messages()[0].text, texts::kSynthesisFailed);
  EXPECT_EQ(h_.app.state().SynthesizedCount, 0);

  ASSERT_EQ(service_.Start("127.0.0.1", port_), port_);
  ASSERT_TRUE(worker_.LaunchIfNeeded());
  AwaitIdle();
  EXPECT_EQ(h_.app.state().SynthesizedCount, 1);
}

// The worker as the program plugs it in: the launch step of the playback controller's tick.
TEST(SpeechPipelineWiring, TheTickFillsTheCache) {
  speechd::SpeechService service;
  const int port = service.Start("127.0.0.1", 0);
  ASSERT_GT(port, 0);
  SpeechServiceClient client(SpeechServiceEndpoint::Local(port));
  AppHarness h;
  IniFile(h.dir.paths().ConfigIni()).Write(config_keys::kSection, config_keys::kCacheSize, "3");
  h.dir.WriteFile("data/1.txt", G("第一章\r\n第一句话。\r\n第二句话。\r\n第三句话。"));
  testing::WriteLibraryIndex(h.dir.paths(), "", {G("第一章")});
  LibraryIndex index(h.dir.paths());
  {
    PlaybackController playback(h.app);
    VoiceLoader voices(h.app, client);
    SynthesisWorker worker(h.app, client);
    playback.Install();
    voices.Install(h.app.hooks());
    worker.Install(h.app.hooks());
    playback.SetLaunchStep([&worker] { worker.LaunchIfNeeded(); });
    h.Start();

    // One clip per tick at most, and no more than the cache holds.
    for (int tick = 0; tick < 6; ++tick) {
      h.ui.AdvanceBy(1000);
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
      while (worker.Running() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
      EXPECT_LE(h.app.state().SynthesizedCount, tick + 1);
    }
    EXPECT_EQ(h.app.state().SynthesizedCount, 3);
    for (int n = 0; n < 3; ++n) EXPECT_TRUE(DecodeMp3File(h.dir.paths().Clip(n))) << n;
    EXPECT_FALSE(std::filesystem::exists(h.dir.paths().Clip(3)));
    h.app.Close();
  }
}

}  // namespace
}  // namespace lectoria
