#include "audio/mp3_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "audio/test_clips.h"

namespace lectoria {
namespace {

using testing::ScratchDir;
using testing::ToneMp3;

double Rms(const DecodedClip& clip) {
  double sum = 0;
  for (std::int16_t s : clip.samples) sum += static_cast<double>(s) * s;
  return std::sqrt(sum / static_cast<double>(clip.samples.size())) / 32768.0;
}

struct ToneCase {
  int rate;
  int channels;
  int ms;
};

class DecodeToneTest : public ::testing::TestWithParam<ToneCase> {};

// The encoder's info tag lets the decoder drop the encoder delay and padding, so the clip
// comes back with the length that went in, and with the tone's loudness.
TEST_P(DecodeToneTest, GivesBackFormatLengthAndSignal) {
  const ToneCase& c = GetParam();
  std::string error;
  const std::optional<DecodedClip> clip = DecodeMp3(ToneMp3(c.ms, c.rate, c.channels), &error);
  ASSERT_TRUE(clip) << error;
  EXPECT_EQ(clip->rate, c.rate);
  EXPECT_EQ(clip->channels, c.channels);
  const std::int64_t frames_in = static_cast<std::int64_t>(c.ms) * c.rate / 1000;
  EXPECT_NEAR(static_cast<double>(clip->Frames()), static_cast<double>(frames_in), 2.0);
  EXPECT_NEAR(clip->LengthMs(), c.ms, 1);
  EXPECT_NEAR(Rms(*clip), 0.5 / std::sqrt(2.0), 0.05);  // a sine of amplitude 0.5
}

INSTANTIATE_TEST_SUITE_P(Formats, DecodeToneTest,
                         ::testing::Values(ToneCase{22050, 1, 300}, ToneCase{24000, 1, 200},
                                           ToneCase{16000, 1, 500}, ToneCase{44100, 2, 250},
                                           ToneCase{48000, 2, 100}, ToneCase{32000, 2, 400}));

TEST(DecodeMp3Test, RejectsBytesWithoutMpegAudio) {
  const std::vector<std::pair<std::string, std::vector<std::uint8_t>>> cases = {
      {"empty", {}},
      {"text",
       [] {
         const std::string text =
             "\xB5\xDA\xD2\xBB\xD5\xC2\r\n"  // 第一章
             "It was a bright cold day in April.\r\n";
         std::vector<std::uint8_t> bytes;
         for (int i = 0; i < 100; ++i) bytes.insert(bytes.end(), text.begin(), text.end());
         return bytes;
       }()},
      {"zeros", std::vector<std::uint8_t>(8192, 0)},
      {"RIFF header", {'R', 'I', 'F', 'F', 0x24, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' '}},
      {"lone sync word", {0xFF, 0xFB, 0x90, 0x64}},
  };
  for (const auto& [name, bytes] : cases) {
    std::string error;
    EXPECT_FALSE(DecodeMp3(bytes, &error)) << name;
    EXPECT_FALSE(error.empty()) << name;
  }
}

TEST(DecodeMp3Test, TruncatedClipKeepsWhatPrecedesTheCut) {
  std::vector<std::uint8_t> bytes = ToneMp3(400);
  bytes.resize(bytes.size() / 2);
  const std::optional<DecodedClip> clip = DecodeMp3(bytes);
  ASSERT_TRUE(clip);
  EXPECT_GT(clip->LengthMs(), 100);
  EXPECT_LT(clip->LengthMs(), 300);
}

TEST(DecodeMp3Test, StopsWhereTheFormatChanges) {
  std::vector<std::uint8_t> bytes = ToneMp3(300, 22050, 1);
  const std::vector<std::uint8_t> second = ToneMp3(300, 44100, 2);
  bytes.insert(bytes.end(), second.begin(), second.end());
  const std::optional<DecodedClip> clip = DecodeMp3(bytes);
  ASSERT_TRUE(clip);
  EXPECT_EQ(clip->rate, 22050);
  EXPECT_EQ(clip->channels, 1);
  EXPECT_LE(clip->LengthMs(), 400);
}

TEST(DecodeMp3FileTest, ReadsClipsAndRejectsWhatCannotBeRead) {
  ScratchDir dir;
  const auto good = testing::WriteToneMp3(dir / "0.mp3", 200);
  std::string error;
  const std::optional<DecodedClip> clip = DecodeMp3File(good, &error);
  ASSERT_TRUE(clip) << error;
  EXPECT_NEAR(clip->LengthMs(), 200, 1);

  std::filesystem::create_directory(dir / "folder.mp3");
  {
    // Larger than any clip: refused without being read (the file is sparse).
    std::ofstream(dir / "huge.mp3").put('x');
    std::filesystem::resize_file(dir / "huge.mp3", kMaxMp3FileBytes + 1);
  }
  for (const char* name : {"missing.mp3", "folder.mp3", "huge.mp3"}) {
    error.clear();
    EXPECT_FALSE(DecodeMp3File(dir / name, &error)) << name;
    EXPECT_FALSE(error.empty()) << name;
  }
}

// The clip made at build time for waking the output: about a second, soft but audible,
// starting and ending in silence so that it does not click.
TEST(WakeClipTest, IsASoftChimeOfAboutOneSecond) {
  std::string error;
  const std::optional<DecodedClip> clip = DecodeMp3File(LECTORIA_WAKE_CLIP, &error);
  ASSERT_TRUE(clip) << LECTORIA_WAKE_CLIP << ": " << error;
  EXPECT_GE(clip->LengthMs(), 900);
  EXPECT_LE(clip->LengthMs(), 1100);
  int peak = 0;
  for (std::int16_t s : clip->samples) peak = std::max(peak, std::abs(static_cast<int>(s)));
  EXPECT_GT(peak, 32768 / 5);
  EXPECT_LT(peak, 32768 / 2);
  const auto edge = static_cast<std::size_t>(clip->rate / 1000);  // the first and last 1 ms
  for (std::size_t i = 0; i < edge; ++i) {
    EXPECT_LT(std::abs(clip->samples[i]), 32768 / 20) << "start " << i;
    EXPECT_LT(std::abs(clip->samples[clip->samples.size() - 1 - i]), 32768 / 20) << "end " << i;
  }
}

}  // namespace
}  // namespace lectoria
