// The player on the silent sink: it runs in real time without a device, so these tests use
// clips of a few tenths of a second and wait for events rather than fixed times.
#include "audio/system_clip_player.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <future>
#include <regex>
#include <stdexcept>
#include <thread>

#include "audio/test_clips.h"

namespace lectoria {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::NoticeRecorder;
using testing::ScratchDir;
using testing::WriteToneMp3;

std::int64_t MsSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The silent sink advances in steps of a few milliseconds.
constexpr std::int64_t kStepMs = 10;

class SilentPlayerTest : public ::testing::Test {
 protected:
  SilentPlayerTest() {
    setenv("LECTORIA_AUDIO", "silent", 1);
    unsetenv("LECTORIA_AUDIO_TRACE");
    player_ = std::make_unique<SystemClipPlayer>(AudioOptionsFromEnvironment());
    player_->SetEndOfClipNotice([this] { notices_.Record(); });
  }

  // Waits until the open clip has played at least `ms`.
  void WaitForPosition(std::int64_t ms) {
    const Clock::time_point start = Clock::now();
    while (player_->PositionMs() < ms && MsSince(start) < 5000) std::this_thread::sleep_for(2ms);
    ASSERT_GE(player_->PositionMs(), ms);
  }

  ScratchDir dir_;
  NoticeRecorder notices_;
  std::unique_ptr<SystemClipPlayer> player_;
};

TEST_F(SilentPlayerTest, EnvironmentSelectsTheSilentSink) {
  EXPECT_TRUE(player_->silent());
  const std::unique_ptr<ClipPlayer> created = CreateSystemClipPlayer();
  auto* system = dynamic_cast<SystemClipPlayer*>(created.get());
  ASSERT_NE(system, nullptr);
  EXPECT_TRUE(system->silent());
}

TEST_F(SilentPlayerTest, NothingOpenAtFirst) {
  EXPECT_EQ(player_->Status(), PlayerStatus::kNone);
  EXPECT_FALSE(player_->Play(-1));
  EXPECT_FALSE(player_->Play(0));
  EXPECT_FALSE(player_->Pause());
  player_->Close();
  EXPECT_EQ(player_->Status(), PlayerStatus::kNone);
}

TEST_F(SilentPlayerTest, BadFilesFailToOpenAndCloseWhatWasOpen) {
  const auto good = WriteToneMp3(dir_ / "0.mp3", 200);
  testing::WriteText(dir_ / "text.mp3", "not a clip at all, just some words\r\n");
  testing::WriteText(dir_ / "empty.mp3", "");
  std::filesystem::create_directory(dir_ / "folder.mp3");
  for (const char* name : {"missing.mp3", "text.mp3", "empty.mp3", "folder.mp3"}) {
    ASSERT_TRUE(player_->Open(good));
    ASSERT_TRUE(player_->Play(0));
    EXPECT_FALSE(player_->Open(dir_ / name)) << name;
    EXPECT_EQ(player_->Status(), PlayerStatus::kNone) << name;
    EXPECT_FALSE(player_->Play(-1)) << name;
    EXPECT_EQ(player_->LengthMs(), 0) << name;
  }
  EXPECT_EQ(notices_.count(), 0);
}

TEST_F(SilentPlayerTest, PlaysInRealTimeAndNotifiesOnceAfterTheLastSample) {
  const auto clip = WriteToneMp3(dir_ / "0.mp3", 300);
  ASSERT_TRUE(player_->Open(clip));
  EXPECT_EQ(player_->Status(), PlayerStatus::kStopped);
  EXPECT_EQ(player_->PositionMs(), 0);
  const std::int64_t length = player_->LengthMs();
  EXPECT_NEAR(length, 300, 1);

  std::atomic<PlayerStatus> status_in_notice{PlayerStatus::kPlaying};
  player_->SetEndOfClipNotice([&] {
    status_in_notice = player_->Status();
    notices_.Record();
  });
  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(player_->Play(-1));
  EXPECT_EQ(player_->Status(), PlayerStatus::kPlaying);
  ASSERT_EQ(notices_.WaitFor(1), 1);
  EXPECT_GE(
      std::chrono::duration_cast<std::chrono::milliseconds>(notices_.first_call() - start).count(),
      length - 1);
  EXPECT_EQ(status_in_notice, PlayerStatus::kStopped);
  EXPECT_EQ(player_->Status(), PlayerStatus::kStopped);
  EXPECT_EQ(player_->PositionMs(), length);

  // Once only: nothing more arrives while the clip stays at its end.
  EXPECT_EQ(notices_.WaitFor(2, 150ms), 1);
}

TEST_F(SilentPlayerTest, PauseHoldsThePositionAndPlayResumesThere) {
  ASSERT_TRUE(player_->Open(WriteToneMp3(dir_ / "0.mp3", 400)));
  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(player_->Play(0));
  WaitForPosition(100);
  ASSERT_TRUE(player_->Pause());
  EXPECT_EQ(player_->Status(), PlayerStatus::kPaused);
  const std::int64_t paused_at = player_->PositionMs();
  std::this_thread::sleep_for(120ms);
  EXPECT_EQ(player_->PositionMs(), paused_at);
  EXPECT_EQ(player_->Status(), PlayerStatus::kPaused);

  ASSERT_TRUE(player_->Play(-1));
  EXPECT_EQ(player_->Status(), PlayerStatus::kPlaying);
  EXPECT_GE(player_->PositionMs(), paused_at);
  EXPECT_LT(player_->PositionMs(), paused_at + 100);
  ASSERT_EQ(notices_.WaitFor(1), 1);
  // The pause added its time: the whole run took the clip's length plus the pause.
  EXPECT_GE(MsSince(start), 400 + 120 - kStepMs);
}

TEST_F(SilentPlayerTest, PauseRightAfterPauseResumes) {
  ASSERT_TRUE(player_->Open(WriteToneMp3(dir_ / "0.mp3", 400)));
  ASSERT_TRUE(player_->Play(0));
  const PlayerStatus expected[] = {PlayerStatus::kPaused, PlayerStatus::kPlaying,
                                   PlayerStatus::kPaused, PlayerStatus::kPlaying};
  for (PlayerStatus status : expected) {
    EXPECT_TRUE(player_->Pause());
    EXPECT_EQ(player_->Status(), status);
  }
  ASSERT_TRUE(player_->Pause());
  ASSERT_TRUE(player_->Play(-1));
  EXPECT_EQ(player_->Status(), PlayerStatus::kPlaying);
  EXPECT_TRUE(player_->Pause());
  EXPECT_EQ(player_->Status(), PlayerStatus::kPaused);
}

TEST_F(SilentPlayerTest, PauseLeavesAStoppedClipStopped) {
  ASSERT_TRUE(player_->Open(WriteToneMp3(dir_ / "0.mp3", 200)));
  EXPECT_FALSE(player_->Pause());
  EXPECT_EQ(player_->Status(), PlayerStatus::kStopped);
}

TEST_F(SilentPlayerTest, PlayFromZeroRestartsTheClip) {
  ASSERT_TRUE(player_->Open(WriteToneMp3(dir_ / "0.mp3", 400)));
  ASSERT_TRUE(player_->Play(0));
  WaitForPosition(150);
  const Clock::time_point restart = Clock::now();
  ASSERT_TRUE(player_->Play(0));
  EXPECT_LT(player_->PositionMs(), 100);
  EXPECT_EQ(player_->Status(), PlayerStatus::kPlaying);
  ASSERT_EQ(notices_.WaitFor(1), 1);
  EXPECT_GE(MsSince(restart), 400 - kStepMs);
  EXPECT_EQ(notices_.WaitFor(2, 100ms), 1);

  // A clip that has ended plays again from the start.
  ASSERT_TRUE(player_->Play(0));
  EXPECT_EQ(player_->Status(), PlayerStatus::kPlaying);
  EXPECT_EQ(notices_.WaitFor(2), 2);
}

TEST_F(SilentPlayerTest, PlayFromAPositionWithinTheClip) {
  ASSERT_TRUE(player_->Open(WriteToneMp3(dir_ / "0.mp3", 400)));
  EXPECT_FALSE(player_->Play(401));
  EXPECT_FALSE(player_->Play(-2));
  EXPECT_EQ(player_->Status(), PlayerStatus::kStopped);

  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(player_->Play(250));
  EXPECT_GE(player_->PositionMs(), 250);
  ASSERT_EQ(notices_.WaitFor(1), 1);
  EXPECT_GE(MsSince(start), 150 - kStepMs);
}

TEST_F(SilentPlayerTest, PlayOnFromTheEndEndsAtOnce) {
  ASSERT_TRUE(player_->Open(WriteToneMp3(dir_ / "0.mp3", 200)));
  ASSERT_TRUE(player_->Play(-1));
  ASSERT_EQ(notices_.WaitFor(1), 1);
  ASSERT_TRUE(player_->Play(-1));
  EXPECT_EQ(notices_.WaitFor(2), 2);
  EXPECT_EQ(player_->Status(), PlayerStatus::kStopped);
}

TEST_F(SilentPlayerTest, CloseAndReopenSilenceTheClipThatPlayed) {
  const auto first = WriteToneMp3(dir_ / "0.mp3", 200);
  const auto second = WriteToneMp3(dir_ / "1.mp3", 300);
  ASSERT_TRUE(player_->Open(first));
  ASSERT_TRUE(player_->Play(0));
  player_->Close();
  EXPECT_EQ(player_->Status(), PlayerStatus::kNone);
  EXPECT_EQ(player_->PositionMs(), 0);

  ASSERT_TRUE(player_->Open(first));
  ASSERT_TRUE(player_->Play(0));
  ASSERT_TRUE(player_->Open(second));  // closes the first
  EXPECT_EQ(player_->Status(), PlayerStatus::kStopped);
  EXPECT_NEAR(player_->LengthMs(), 300, 1);
  // Neither interrupted clip ends.
  EXPECT_EQ(notices_.WaitFor(1, 400ms), 0);
}

// The notice may use the player at once (here it plays the next clip itself), and may
// replace itself, without a deadlock.
TEST_F(SilentPlayerTest, NoticeMayDriveThePlayer) {
  const auto first = WriteToneMp3(dir_ / "0.mp3", 200);
  const auto second = WriteToneMp3(dir_ / "1.mp3", 200);
  std::promise<void> second_ended;
  player_->SetEndOfClipNotice([&] {
    ASSERT_EQ(player_->Status(), PlayerStatus::kStopped);
    player_->Open(second);
    player_->Play(0);
    player_->SetEndOfClipNotice([&] { second_ended.set_value(); });
  });
  ASSERT_TRUE(player_->Open(first));
  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(player_->Play(0));
  ASSERT_EQ(second_ended.get_future().wait_for(5s), std::future_status::ready);
  EXPECT_GE(MsSince(start), 400 - 2 * kStepMs);
}

TEST_F(SilentPlayerTest, ClearingTheNoticeWaitsForARunningCall) {
  std::promise<void> entered;
  std::atomic<bool> finished{false};
  player_->SetEndOfClipNotice([&] {
    entered.set_value();
    std::this_thread::sleep_for(100ms);
    finished = true;
  });
  ASSERT_TRUE(player_->Open(WriteToneMp3(dir_ / "0.mp3", 200)));
  ASSERT_TRUE(player_->Play(0));
  ASSERT_EQ(entered.get_future().wait_for(5s), std::future_status::ready);
  player_->SetEndOfClipNotice(nullptr);
  EXPECT_TRUE(finished);
}

// A notice that threw used to end the program (the exception left the notice thread); the
// player now goes on and notices the next end too.
TEST_F(SilentPlayerTest, ThrowingNoticeDoesNotEndThePlayer) {
  player_->SetEndOfClipNotice([this] {
    notices_.Record();
    throw std::runtime_error("receiver");
  });
  const auto clip = WriteToneMp3(dir_ / "0.mp3", 100);
  ASSERT_TRUE(player_->Open(clip));
  ASSERT_TRUE(player_->Play(0));
  ASSERT_EQ(notices_.WaitFor(1), 1);
  ASSERT_TRUE(player_->Play(0));
  EXPECT_EQ(notices_.WaitFor(2), 2);
}

// The controller calls from the UI thread and from one more thread at the same time.
TEST_F(SilentPlayerTest, CallsFromTwoThreadsAtOnce) {
  const auto first = WriteToneMp3(dir_ / "0.mp3", 200, 22050, 1);
  const auto second = WriteToneMp3(dir_ / "1.mp3", 200, 44100, 2);
  std::atomic<bool> done{false};
  std::thread other([&] {
    while (!done) {
      player_->Play(-1);
      player_->Pause();
      player_->Status();
      player_->PositionMs();
    }
  });
  const Clock::time_point start = Clock::now();
  for (int i = 0; MsSince(start) < 300; ++i) {
    ASSERT_TRUE(player_->Open(i % 2 ? first : second));
    player_->Play(0);
    player_->Pause();
    player_->Status();
    if (i % 3 == 0) player_->Close();
  }
  done = true;
  other.join();

  // Still a working player afterwards.
  ASSERT_TRUE(player_->Open(first));
  NoticeRecorder last;
  player_->SetEndOfClipNotice([&] { last.Record(); });
  ASSERT_TRUE(player_->Play(0));
  EXPECT_EQ(last.WaitFor(1), 1);
}

TEST_F(SilentPlayerTest, DestroyingWhilePlayingCallsNoNotice) {
  ASSERT_TRUE(player_->Open(WriteToneMp3(dir_ / "0.mp3", 200)));
  ASSERT_TRUE(player_->Play(0));
  player_.reset();
  EXPECT_EQ(notices_.WaitFor(1, 300ms), 0);
}

TEST(AudioTraceTest, FollowsEveryClipWithTimestamps) {
  ScratchDir dir;
  const auto clip = WriteToneMp3(dir / "7.mp3", 200);
  std::FILE* stream = std::tmpfile();
  ASSERT_NE(stream, nullptr);
  {
    AudioOptions options;
    options.silent = true;
    options.trace = true;
    options.trace_stream = stream;
    SystemClipPlayer player(options);
    NoticeRecorder notices;
    player.SetEndOfClipNotice([&] { notices.Record(); });
    EXPECT_FALSE(player.Open(dir / "missing.mp3"));
    ASSERT_TRUE(player.Open(clip));
    ASSERT_TRUE(player.SetVolume(50));
    ASSERT_TRUE(player.Play(0));
    ASSERT_TRUE(player.Pause());
    ASSERT_TRUE(player.SeekTo(40));
    ASSERT_TRUE(player.SetSpeed(2));
    ASSERT_TRUE(player.Pause());
    ASSERT_EQ(notices.WaitFor(1), 1);
    player.Close();
  }
  std::rewind(stream);
  std::string text;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, stream)) text += buffer;
  std::fclose(stream);

  const std::string name = clip.string();
  const std::string expected[] = {
      "output: silent sink",
      "open failed " + (dir / "missing.mp3").string() + ": ",
      "open " + name + " (200 ms, 22050 Hz, 1 ch)",
      "volume 50%",
      "play " + name + " from 0 ms",
      "pause " + name,
      "seek " + name + " to 40 ms",
      "speed 2",
      "resume " + name,
      "end " + name + " after ",
      "close " + name,
  };
  std::size_t at = 0;
  for (const std::string& event : expected) {
    const std::size_t found = text.find(event, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << event << "\n" << text;
    at = found + event.size();
  }
  // The 160 ms after the seek, played at speed 2.
  std::smatch sound;
  ASSERT_TRUE(std::regex_search(text, sound, std::regex(R"(after (\d+) ms of sound)")));
  EXPECT_NEAR(std::stoi(sound[1]), 80, 15);
  const std::regex line(R"(\[lectoria-audio \d\d:\d\d:\d\d\.\d\d\d\] .+)");
  std::size_t start = 0;
  for (std::size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1) {
    EXPECT_TRUE(std::regex_match(text.substr(start, end - start), line))
        << text.substr(start, end - start);
  }
}

TEST(AudioOptionsTest, ReadFromTheEnvironmentValues) {
  struct Case {
    const char* audio;
    const char* trace;
    bool silent;
    bool traced;
  };
  const Case cases[] = {
      {nullptr, nullptr, false, false}, {"silent", "1", true, true},
      {"SILENT", "0", true, false},     {"sdl", "yes", false, true},
      {"", "off", false, false},        {"silently", "", false, false},
      {nullptr, "false", false, false}, {nullptr, "on", false, true},
  };
  for (const Case& c : cases) {
    const AudioOptions options = ParseAudioOptions(c.audio, c.trace);
    EXPECT_EQ(options.silent, c.silent) << (c.audio ? c.audio : "(unset)");
    EXPECT_EQ(options.trace, c.traced) << (c.trace ? c.trace : "(unset)");
  }
}

}  // namespace
}  // namespace lectoria
