// Speed, volume and moving within a clip, on the silent sink. What was played is measured by
// its samples (through the output tap), not by the clock, so the figures hold on a busy machine.
#include <gtest/gtest.h>

#include <chrono>
#include <cmath>
#include <limits>
#include <thread>

#include "audio/mp3_decoder.h"
#include "audio/system_clip_player.h"
#include "audio/test_clips.h"

namespace lectoria {
namespace {

using namespace std::chrono_literals;
using testing::NoticeRecorder;
using testing::ScratchDir;
using testing::SoundRecorder;
using testing::WriteToneMp3;

constexpr int kRate = 22050;

class PlayerControlsTest : public ::testing::Test {
 protected:
  PlayerControlsTest() : player_(SilentOptions()) {
    player_.SetEndOfClipNotice([this] { notices_.Record(); });
    player_.SetOutputTap(sound_.Tap());
  }
  ~PlayerControlsTest() override { player_.SetOutputTap(nullptr); }

  static AudioOptions SilentOptions() {
    AudioOptions options;
    options.silent = true;
    return options;
  }

  void WaitForPosition(std::int64_t ms) {
    const auto start = std::chrono::steady_clock::now();
    while (player_.PositionMs() < ms && std::chrono::steady_clock::now() - start < 5s) {
      std::this_thread::sleep_for(1ms);
    }
    ASSERT_GE(player_.PositionMs(), ms);
  }

  ScratchDir dir_;
  NoticeRecorder notices_;
  SoundRecorder sound_;
  SystemClipPlayer player_;
};

TEST_F(PlayerControlsTest, SettingsOutsideTheirRangeAreRefused) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  const struct {
    double speed;
    bool taken;
  } speeds[] = {{2.0, true},  {0.5, true},   {3.0, true},  {0.49, false}, {3.01, false},
                {0.0, false}, {-1.0, false}, {nan, false}, {inf, false},  {1.25, true}};
  double now = 1.0;
  for (const auto& c : speeds) {
    EXPECT_EQ(player_.SetSpeed(c.speed), c.taken) << c.speed;
    if (c.taken) now = c.speed;
    EXPECT_EQ(player_.Speed(), now) << c.speed;
  }
  const struct {
    int volume;
    bool taken;
  } volumes[] = {{0, true}, {100, true}, {-1, false}, {101, false}, {37, true}};
  int volume = 100;
  for (const auto& c : volumes) {
    EXPECT_EQ(player_.SetVolume(c.volume), c.taken) << c.volume;
    if (c.taken) volume = c.volume;
    EXPECT_EQ(player_.Volume(), volume) << c.volume;
  }
}

// At speed 1 the clip's samples go out as decoded (scaled by the volume), even after the speed
// was changed and set back.
TEST_F(PlayerControlsTest, PlaysTheDecodedSamplesScaledByTheVolume) {
  const auto clip = WriteToneMp3(dir_ / "0.mp3", 200);
  const std::optional<DecodedClip> decoded = DecodeMp3File(clip);
  ASSERT_TRUE(decoded);
  const struct {
    int volume;
    bool speed_detour;
  } cases[] = {{100, false}, {100, true}, {50, false}, {0, false}};
  int ends = 0;
  for (const auto& c : cases) {
    sound_.Clear();
    ASSERT_TRUE(player_.SetVolume(c.volume));
    if (c.speed_detour) {
      ASSERT_TRUE(player_.SetSpeed(2.0));
      ASSERT_TRUE(player_.SetSpeed(1.0));
    }
    ASSERT_TRUE(player_.Open(clip));
    ASSERT_TRUE(player_.Play(0));
    ASSERT_EQ(notices_.WaitFor(++ends), ends);
    std::vector<std::int16_t> expected = decoded->samples;
    for (std::int16_t& sample : expected)
      sample = static_cast<std::int16_t>(sample * c.volume / 100);
    EXPECT_EQ(sound_.samples(), expected) << "volume " << c.volume;
  }
}

// A tone played faster or slower lasts its length divided by the speed, and its pitch stays.
TEST_F(PlayerControlsTest, SpeedChangesTheDurationButNotThePitch) {
  const struct {
    double speed;
    int clip_ms;
    int from_ms;
  } cases[] = {{2.0, 1000, 250}, {3.0, 900, 0}, {0.5, 500, 300}, {1.25, 600, 100}};
  int ends = 0;
  for (const auto& c : cases) {
    const auto clip = WriteToneMp3(dir_ / "0.mp3", c.clip_ms);
    sound_.Clear();
    ASSERT_TRUE(player_.SetSpeed(c.speed));
    ASSERT_TRUE(player_.Open(clip));
    ASSERT_TRUE(player_.Play(c.from_ms));
    ASSERT_EQ(notices_.WaitFor(++ends), ends);
    EXPECT_EQ(player_.PositionMs(), player_.LengthMs());

    const double expected_ms = (c.clip_ms - c.from_ms) / c.speed;
    EXPECT_NEAR(sound_.Ms(), expected_ms, 20 + expected_ms * 0.03) << "speed " << c.speed;
    // The middle half, away from the fades at the ends.
    const std::vector<std::int16_t> samples = sound_.samples();
    const std::span<const std::int16_t> middle(samples.data() + samples.size() / 4,
                                               samples.size() / 2);
    EXPECT_NEAR(testing::ToneFrequency(middle, 1, kRate), 440.0, 440.0 * 0.02)
        << "speed " << c.speed;
  }
}

// A change of speed takes effect within the clip that plays: what is left of the clip from
// the position at the change lasts that remainder divided by the new speed.
TEST_F(PlayerControlsTest, SpeedChangesWithinAPlayingClip) {
  const struct {
    double first;
    double second;
  } cases[] = {{1.0, 2.0}, {2.0, 1.0}, {2.0, 3.0}, {3.0, 0.5}};
  const auto clip = WriteToneMp3(dir_ / "0.mp3", 1000);
  int ends = 0;
  for (const auto& c : cases) {
    sound_.Clear();
    ASSERT_TRUE(player_.SetSpeed(c.first));
    ASSERT_TRUE(player_.Open(clip));
    ASSERT_TRUE(player_.Play(0));
    WaitForPosition(300);
    const std::int64_t changed_at = player_.PositionMs();
    const double before_ms = sound_.Ms();
    ASSERT_TRUE(player_.SetSpeed(c.second));
    ASSERT_EQ(notices_.WaitFor(++ends), ends);
    EXPECT_NEAR(sound_.Ms() - before_ms, (1000 - changed_at) / c.second, 25)
        << c.first << " to " << c.second << " at " << changed_at << " ms";
  }
  EXPECT_EQ(notices_.WaitFor(ends + 1, 100ms), ends);
}

TEST_F(PlayerControlsTest, SeekMovesWithinTheClipInClipTime) {
  EXPECT_FALSE(player_.SeekTo(0));
  EXPECT_FALSE(player_.SeekBy(10));
  ASSERT_TRUE(player_.SetSpeed(2.0));
  ASSERT_TRUE(player_.Open(WriteToneMp3(dir_ / "0.mp3", 1000)));
  ASSERT_TRUE(player_.Play(0));
  ASSERT_TRUE(player_.Pause());
  constexpr std::int64_t kEnd = -1;
  const struct {
    bool relative;
    std::int64_t ms;
    std::int64_t lands;
  } moves[] = {{false, 600, 600},
               {true, -200, 400},
               {true, -10'000, 0},
               {true, 10'000, kEnd},
               {false, -5, 0},
               {false, 250, 250},
               {true, std::numeric_limits<std::int64_t>::max(), kEnd},
               {false, std::numeric_limits<std::int64_t>::min(), 0},
               {false, 700, 700}};
  for (const auto& m : moves) {
    EXPECT_TRUE(m.relative ? player_.SeekBy(m.ms) : player_.SeekTo(m.ms));
    EXPECT_EQ(player_.PositionMs(), m.lands == kEnd ? player_.LengthMs() : m.lands) << m.ms;
    EXPECT_EQ(player_.Status(), PlayerStatus::kPaused);
  }
  // Resumed at 700 ms: 300 ms of the clip are left, played in 150 ms at speed 2.
  const double before_ms = sound_.Ms();
  ASSERT_TRUE(player_.Play(-1));
  ASSERT_EQ(notices_.WaitFor(1), 1);
  EXPECT_NEAR(sound_.Ms() - before_ms, 150, 20);

  // A playing clip moved to its end ends at once.
  ASSERT_TRUE(player_.Play(0));
  ASSERT_TRUE(player_.SeekTo(player_.LengthMs()));
  EXPECT_EQ(notices_.WaitFor(2, 200ms), 2);
  EXPECT_EQ(player_.Status(), PlayerStatus::kStopped);
}

}  // namespace
}  // namespace lectoria
