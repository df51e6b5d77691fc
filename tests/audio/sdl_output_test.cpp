// The player through an SDL audio device. SDL's "dummy" driver stands in for a sound card: it
// asks for buffers at the device's pace and throws them away, so the device path (format
// conversion, end detection in the callback) runs here without speakers.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <vector>

#include "audio/system_clip_player.h"
#include "audio/test_clips.h"

namespace lectoria {
namespace {

using Clock = std::chrono::steady_clock;
using testing::NoticeRecorder;
using testing::ScratchDir;
using testing::SoundRecorder;
using testing::WriteToneMp3;

struct DeviceCase {
  int rate;
  int channels;
};

class SdlDummyDeviceTest : public ::testing::TestWithParam<DeviceCase> {};

TEST_P(SdlDummyDeviceTest, PlaysClipsToTheirEnd) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  unsetenv("LECTORIA_AUDIO");
  SystemClipPlayer player(AudioOptions{});
  if (player.silent()) GTEST_SKIP() << "SDL's dummy audio driver is not available";

  ScratchDir dir;
  const DeviceCase& c = GetParam();
  ASSERT_TRUE(player.Open(WriteToneMp3(dir / "0.mp3", 300, c.rate, c.channels)));
  NoticeRecorder notices;
  player.SetEndOfClipNotice([&] { notices.Record(); });
  const Clock::time_point start = Clock::now();
  ASSERT_TRUE(player.Play(0));
  EXPECT_EQ(player.Status(), PlayerStatus::kPlaying);
  ASSERT_EQ(notices.WaitFor(1), 1);
  EXPECT_GE(
      std::chrono::duration_cast<std::chrono::milliseconds>(notices.first_call() - start).count(),
      250);
  EXPECT_EQ(player.Status(), PlayerStatus::kStopped);

  // Pause and resume through the device as well.
  ASSERT_TRUE(player.Play(0));
  ASSERT_TRUE(player.Pause());
  EXPECT_EQ(player.Status(), PlayerStatus::kPaused);
  ASSERT_TRUE(player.Play(-1));
  EXPECT_EQ(notices.WaitFor(2), 2);
}

// Through the device the clip is stretched before SDL converts it: 600 ms at speed 2 give
// 300 ms of sound, at half the volume.
TEST_P(SdlDummyDeviceTest, PlaysStretchedClipsAtTheirVolume) {
  setenv("SDL_AUDIODRIVER", "dummy", 1);
  unsetenv("LECTORIA_AUDIO");
  SystemClipPlayer player(AudioOptions{});
  if (player.silent()) GTEST_SKIP() << "SDL's dummy audio driver is not available";

  ScratchDir dir;
  const DeviceCase& c = GetParam();
  ASSERT_TRUE(player.Open(WriteToneMp3(dir / "0.mp3", 600, c.rate, c.channels)));
  NoticeRecorder notices;
  SoundRecorder sound;
  player.SetEndOfClipNotice([&] { notices.Record(); });
  player.SetOutputTap(sound.Tap());
  ASSERT_TRUE(player.SetSpeed(2.0));
  ASSERT_TRUE(player.SetVolume(50));
  ASSERT_TRUE(player.Play(0));
  ASSERT_EQ(notices.WaitFor(1), 1);
  player.SetOutputTap(nullptr);
  EXPECT_NEAR(sound.Ms(), 300, 30);
  const std::vector<std::int16_t> samples = sound.samples();
  const auto [low, high] = std::minmax_element(samples.begin(), samples.end());
  // The tone's amplitude is half of full scale; halved again by the volume.
  EXPECT_NEAR(std::max(-*low, +*high), 32767 / 4, 32767 / 20);
}

// The device runs at 48 kHz stereo when it can: one case needs no conversion, the others are
// converted by SDL.
INSTANTIATE_TEST_SUITE_P(Formats, SdlDummyDeviceTest,
                         ::testing::Values(DeviceCase{48000, 2}, DeviceCase{22050, 1},
                                           DeviceCase{44100, 2}));

}  // namespace
}  // namespace lectoria
