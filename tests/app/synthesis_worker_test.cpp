#include "app/reading/synthesis_worker.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/core/notices.h"
#include "app/reading/playback_controller.h"
#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "app_harness.h"
#include "fake_speech_client.h"
#include "library/library_index.h"
#include "support/library_fixture.h"

namespace lectoria {
namespace {

using testing::AppHarness;
using testing::CrLf;
using testing::FakeSpeechClient;
using testing::G;
using testing::Gate;

class SynthesisWorkerTest : public ::testing::Test {
 protected:
  // A one-chapter book; `lines` follow the chapter title (which is read too). Lines of fewer
  // than three bytes are skipped by the queue.
  void WriteBook(std::initializer_list<std::string_view> lines, int cacheSize = 10) {
    IniFile config(h_.dir.paths().ConfigIni());
    config.Write(config_keys::kSection, config_keys::kCacheSize, std::to_string(cacheSize));
    config.WriteBool(config_keys::kSection, config_keys::kSkipNonChinese, false);
    std::string text = G("第一章");
    for (std::string_view line : lines) text += "\r\n" + std::string(line);
    h_.dir.WriteFile("data/1.txt", text);
    testing::WriteLibraryIndex(h_.dir.paths(), G("书"), {G("第一章")});
    LibraryIndex index(h_.dir.paths());
    index.WriteReadingHistory(0);
    index.WriteLineNumber(1);
  }

  void Start() {
    worker_.Install(h_.app.hooks());
    h_.Start();
    w().SetItems(ctl::组合框_语音, {"voice-a", "voice-b"});
    w().SetSelectedIndex(ctl::组合框_语音, 0);
    w().SetItems(ctl::组合框_语音风格, {G("开心"), G("默认")});
    w().SetSelectedIndex(ctl::组合框_语音风格, 1);
  }

  // Waits in real time (bounded) for the run in flight to end.
  void AwaitIdle() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (worker_.Running() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(worker_.Running());
  }

  // One launch and its run to the end.
  bool LaunchAndFinish() {
    const bool launched = worker_.LaunchIfNeeded();
    AwaitIdle();
    return launched;
  }

  // Lets a failing run through its one-second waits on the simulated clock. Wait i follows
  // the (i+1)-th reload of the voice list, which tells it apart from the wait before it.
  // `loadsBefore`: reloads made by earlier runs.
  void PassRetryWaits(int waits, int loadsBefore = 0) {
    for (int i = 0; i < waits; ++i) {
      const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
      while (!(client_.CatalogueLoads() == loadsBefore + i + 1 && h_.ui.WaitingThreads() == 1) &&
             std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
      ASSERT_EQ(h_.ui.WaitingThreads(), 1) << "wait " << i;
      h_.ui.AdvanceBy(SynthesisWorker::kRetryWaitMs);
    }
  }

  bool ClipExists(int n) { return std::filesystem::exists(h_.dir.paths().Clip(n)); }
  std::string Clip(int n) {
    return h_.dir.ReadFile(std::filesystem::path("temp") / (std::to_string(n) + ".mp3"));
  }
  MainWindow& w() { return h_.app.window(); }
  AppState& s() { return h_.app.state(); }

  AppHarness h_;
  FakeSpeechClient client_;
  SynthesisWorker worker_{h_.app, client_};
};

TEST_F(SynthesisWorkerTest, MakesOneClipPerRunUpToTheEndOfTheBook) {
  // A line that reads "stop" is an ordinary line; only the queue's end flag ends the book.
  WriteBook({G("甲句"), "stop", G("乙句")});
  Start();

  for (int n = 0; n < 4; ++n) {
    EXPECT_TRUE(LaunchAndFinish()) << n;
    EXPECT_EQ(s().SynthesizedCount, n + 1);
  }
  EXPECT_EQ(Clip(0), "MP3:" + G("第一章"));
  EXPECT_EQ(Clip(1), "MP3:" + G("甲句"));
  EXPECT_EQ(Clip(2), "MP3:stop");
  EXPECT_EQ(Clip(3), "MP3:" + G("乙句"));

  // Clip 4 is the end marker: nothing starts, and synthesis rests for good.
  EXPECT_FALSE(worker_.LaunchIfNeeded());
  EXPECT_TRUE(s().PendingIsEnd);
  EXPECT_TRUE(s().SynthesisBusy);
  EXPECT_FALSE(worker_.Running());
  EXPECT_FALSE(worker_.LaunchIfNeeded());
  EXPECT_FALSE(ClipExists(4));
  EXPECT_EQ(client_.Calls().size(), 4u);
  for (const auto& call : client_.Calls()) {
    EXPECT_EQ(call.voice, "voice-a");
    EXPECT_EQ(call.style, G("默认"));
  }
}

TEST_F(SynthesisWorkerTest, StopsWhenTheCacheIsFullAndGoesOnAfterAnAdvance) {
  WriteBook({G("第一句"), G("第二句"), G("第三句")}, /*cacheSize=*/2);
  Start();
  EXPECT_TRUE(LaunchAndFinish());
  EXPECT_TRUE(LaunchAndFinish());
  EXPECT_FALSE(worker_.LaunchIfNeeded()) << "two clips lie ahead of clip 0";
  EXPECT_FALSE(ClipExists(2));

  // Playback moves on to clip 1: the queue shifts and there is room for clip 2.
  s().CurrentClip = 1;
  h_.app.LoadQueue(false);
  EXPECT_TRUE(LaunchAndFinish());
  EXPECT_EQ(Clip(2), "MP3:" + G("第二句"));
  EXPECT_EQ(s().SynthesizedCount, 3);
}

TEST_F(SynthesisWorkerTest, LaunchNeedsABookTheStartButtonAndAQueuedLine) {
  WriteBook({G("第一句")});
  Start();
  s().BookLoaded = false;
  EXPECT_FALSE(worker_.LaunchIfNeeded());
  s().BookLoaded = true;
  w().SetEnabled(ctl::按钮1, false);
  EXPECT_FALSE(worker_.LaunchIfNeeded());
  w().SetEnabled(ctl::按钮1, true);

  // No slot holds the next clip: the previous line must not be spoken under its number.
  s().PendingText.Set("earlier line");
  s().SynthesizedCount = 50;
  s().CurrentClip = 50;
  EXPECT_FALSE(worker_.LaunchIfNeeded());
  EXPECT_FALSE(s().SynthesisBusy);
  EXPECT_EQ(s().PendingText.Get(), "earlier line");
  EXPECT_TRUE(client_.Calls().empty());
}

// A service that answers nothing, not even the worker's own short text, is away: the line is
// kept for its return rather than given up, and the message is not repeated every series.
TEST_F(SynthesisWorkerTest, TenFailedAttemptsThenAMessageAndTheSameClipAgain) {
  WriteBook({G("第一句")});
  Start();
  client_.SetScript([](const auto&, const std::atomic<bool>*) { return std::string(); });

  ASSERT_TRUE(worker_.LaunchIfNeeded());
  EXPECT_TRUE(s().SynthesisBusy);
  EXPECT_FALSE(worker_.LaunchIfNeeded()) << "one run at a time";
  PassRetryWaits(SynthesisWorker::kAttempts);
  AwaitIdle();

  ASSERT_EQ(h_.messages.Messages().size(), 1u);
  EXPECT_EQ(h_.messages.Messages()[0].text, texts::kSynthesisFailed);
  EXPECT_EQ(h_.messages.Messages()[0].title, texts::kSynthesisTitle);
  // Ten attempts at the line, then the short text that tells a refused line from an outage.
  ASSERT_EQ(client_.Calls().size(), 11u);
  EXPECT_EQ(client_.Calls()[9].text, G("第一章"));
  EXPECT_NE(client_.Calls()[10].text, G("第一章"));
  // A token before the first attempt and a new one with a reloaded list after each failure.
  EXPECT_EQ(client_.TokensFetched(), 11);
  EXPECT_EQ(client_.CatalogueLoads(), 10);
  EXPECT_EQ(client_.Calls()[0].token, "tok1");
  EXPECT_EQ(client_.Calls()[9].token, "tok10");
  EXPECT_EQ(s().CurrentToken.Get(), "tok11");
  EXPECT_EQ(s().SynthesizedCount, 0);
  EXPECT_FALSE(s().SynthesisBusy);
  EXPECT_FALSE(ClipExists(0));

  // A second failed series for the same line: no second message.
  ASSERT_TRUE(worker_.LaunchIfNeeded());
  PassRetryWaits(SynthesisWorker::kAttempts, /*loadsBefore=*/10);
  AwaitIdle();
  EXPECT_EQ(h_.messages.Messages().size(), 1u);
  EXPECT_EQ(s().SynthesizedCount, 0);

  // The service is back: the next launch makes clip 0 from the same line.
  client_.SetScript(nullptr);
  EXPECT_TRUE(LaunchAndFinish());
  EXPECT_EQ(Clip(0), "MP3:" + G("第一章"));
  EXPECT_EQ(h_.messages.Messages().size(), 1u);
}

TEST_F(SynthesisWorkerTest, EachAttemptReadsTheChosenVoiceAgain) {
  WriteBook({G("第一句")});
  Start();
  int failures = 2;
  client_.SetScript([&failures](const FakeSpeechClient::Call& call, const std::atomic<bool>*) {
    return failures-- > 0 ? std::string() : "MP3 by " + call.voice;
  });
  ASSERT_TRUE(worker_.LaunchIfNeeded());
  ASSERT_TRUE(h_.ui.AwaitWaitingThreads(1, std::chrono::seconds(10)));
  w().UserSelectItem(ctl::组合框_语音, 1);
  PassRetryWaits(2);
  AwaitIdle();
  EXPECT_EQ(Clip(0), "MP3 by voice-b");
  EXPECT_EQ(client_.Calls()[0].voice, "voice-a");
  EXPECT_TRUE(h_.messages.Messages().empty());
}

// A clip that could not be written was reported as "合成失败" every eleven seconds, even before
// reading had started. The real cause is said once, and synthesis rests until start is pressed.
TEST_F(SynthesisWorkerTest, AClipThatCannotBeWrittenStopsSynthesisUntilStart) {
  WriteBook({G("第一句")});
  PlaybackController playback(h_.app);
  playback.Install();
  Start();
  std::filesystem::remove_all(h_.dir.root() / "temp");
  ASSERT_TRUE(worker_.LaunchIfNeeded());
  AwaitIdle();
  EXPECT_EQ(s().SynthesizedCount, 0);
  EXPECT_EQ(client_.Calls().size(), 1u) << "no retries against a full disk";
  ASSERT_EQ(h_.messages.Messages().size(), 1u);
  EXPECT_EQ(h_.messages.Messages()[0].text, texts::kCacheUnwritable);
  EXPECT_FALSE(std::filesystem::exists(h_.dir.root() / "temp")) << "the cache is not recreated";
  for (int tick = 0; tick < 30; ++tick) EXPECT_FALSE(worker_.LaunchIfNeeded());
  EXPECT_EQ(h_.messages.Messages().size(), 1u);

  // The user makes room and presses start: synthesis tries again.
  std::filesystem::create_directories(h_.dir.root() / "temp");
  w().Click(ctl::按钮1);
  EXPECT_TRUE(LaunchAndFinish());
  EXPECT_EQ(s().SynthesizedCount, 1);
  h_.app.Close();
}

TEST_F(SynthesisWorkerTest, ResetDiscardsTheClipInFlight) {
  WriteBook({G("第一句"), G("第二句")});
  Start();
  Gate gate;
  client_.SetScript([&gate](const FakeSpeechClient::Call& call, const std::atomic<bool>*) {
    gate.Wait(nullptr);  // deaf to the cancel: the clip still arrives after the reset
    return "MP3:" + call.text;
  });
  ASSERT_TRUE(worker_.LaunchIfNeeded());
  ASSERT_TRUE(client_.AwaitCalls(1));

  h_.app.hooks().StopReading();  // what a book import runs
  EXPECT_TRUE(s().SynthesisBusy) << "the old run has not ended yet";
  EXPECT_FALSE(worker_.LaunchIfNeeded());
  gate.Open();
  AwaitIdle();
  EXPECT_FALSE(ClipExists(0));
  EXPECT_EQ(s().SynthesizedCount, 0);
  EXPECT_FALSE(s().SynthesisBusy);
  EXPECT_TRUE(h_.messages.Messages().empty());

  client_.SetScript(nullptr);
  EXPECT_TRUE(LaunchAndFinish());
  EXPECT_TRUE(ClipExists(0));
}

TEST_F(SynthesisWorkerTest, ResetEndsTheRestAtTheEndOfTheBook) {
  WriteBook({}, /*cacheSize=*/2);
  Start();
  EXPECT_TRUE(LaunchAndFinish());
  EXPECT_FALSE(worker_.LaunchIfNeeded());
  EXPECT_TRUE(s().SynthesisBusy);
  worker_.Reset();
  EXPECT_FALSE(s().SynthesisBusy);
  EXPECT_FALSE(s().PendingIsEnd);
}

TEST_F(SynthesisWorkerTest, CloseDuringASynthesisStopsAndJoinsTheRun) {
  WriteBook({G("第一句")});
  Start();
  Gate gate;  // never opened: only the cancel ends the call
  client_.SetScript([&gate](const FakeSpeechClient::Call&, const std::atomic<bool>* cancel) {
    gate.Wait(cancel);
    return std::string();
  });
  ASSERT_TRUE(worker_.LaunchIfNeeded());
  ASSERT_TRUE(client_.AwaitCalls(1));
  h_.app.Close();
  EXPECT_FALSE(worker_.Running());
  EXPECT_TRUE(h_.messages.Messages().empty()) << "no failure message at shutdown";
  EXPECT_EQ(s().SynthesizedCount, 0);
  EXPECT_FALSE(worker_.LaunchIfNeeded()) << "no run after shutdown";
}

TEST_F(SynthesisWorkerTest, CloseDuringTheRetryWait) {
  WriteBook({G("第一句")});
  Start();
  client_.SetScript([](const auto&, const std::atomic<bool>*) { return std::string(); });
  ASSERT_TRUE(worker_.LaunchIfNeeded());
  ASSERT_TRUE(h_.ui.AwaitWaitingThreads(1, std::chrono::seconds(10)));
  h_.app.Close();  // keeps the UI clock going until the run has seen the stop
  EXPECT_FALSE(worker_.Running());
  EXPECT_EQ(client_.Calls().size(), 1u);
  EXPECT_TRUE(h_.messages.Messages().empty());
}

TEST_F(SynthesisWorkerTest, ClipFinishedDuringCloseIsDiscarded) {
  WriteBook({G("第一句")});
  Start();
  Gate gate;
  client_.SetScript([&gate](const FakeSpeechClient::Call& call, const std::atomic<bool>*) {
    gate.Wait(nullptr);
    return "MP3:" + call.text;
  });
  ASSERT_TRUE(worker_.LaunchIfNeeded());
  ASSERT_TRUE(client_.AwaitCalls(1));
  std::thread opener([&gate] {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    gate.Open();
  });
  h_.app.Close();
  opener.join();
  EXPECT_EQ(s().SynthesizedCount, 0);
  EXPECT_FALSE(std::filesystem::exists(h_.dir.root() / "temp"));
}

// Regression: the hooks once kept a pointer to a worker destroyed before the App, and the
// App's Close then ran Shutdown on freed memory.
TEST(SynthesisWorkerLifetime, WorkerDestroyedBeforeTheApp) {
  AppHarness h;
  FakeSpeechClient client;
  auto worker = std::make_unique<SynthesisWorker>(h.app, client);
  worker->Install(h.app.hooks());
  h.Start();
  worker.reset();
  h.app.hooks().StopReading();
  h.app.Close();
  SUCCEED();
}

}  // namespace
}  // namespace lectoria
