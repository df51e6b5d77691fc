// The audio path: resampling, synthesis and MP3 encoding.
#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "speechd/mp3_encoder.h"
#include "speechd/resampler.h"
#include "speechd/speech_synthesizer.h"
#include "speechd/voice_catalogue.h"
#include "speechd_test_support.h"

namespace lectoria::speechd {
namespace {

std::vector<std::int16_t> Sine(double frequency, int rate, double seconds,
                               double amplitude = 10000) {
  std::vector<std::int16_t> samples(static_cast<std::size_t>(rate * seconds));
  for (std::size_t i = 0; i < samples.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(
        std::lround(amplitude * std::sin(2 * std::numbers::pi * frequency * i / rate)));
  }
  return samples;
}

int ZeroCrossings(const std::vector<std::int16_t>& samples) {
  int crossings = 0;
  for (std::size_t i = 1; i < samples.size(); ++i) {
    if ((samples[i - 1] < 0) != (samples[i] < 0)) ++crossings;
  }
  return crossings;
}

TEST(SpeechdResamplerTest, KeepsDurationPitchAndLevel) {
  const Resampler resampler(22050, 24000);
  const auto input = Sine(1000, 22050, 1.0);
  const auto output = resampler.Convert(input);
  EXPECT_EQ(output.size(), 24000u);
  // One second of 1 kHz crosses zero about 2000 times at either rate.
  EXPECT_NEAR(ZeroCrossings(output), ZeroCrossings(input), 4);
  int peak = 0;
  for (std::size_t i = 100; i + 100 < output.size(); ++i)
    peak = std::max(peak, std::abs(int{output[i]}));
  EXPECT_NEAR(peak, 10000, 300);
}

TEST(SpeechdResamplerTest, FullScaleInputDoesNotWrapAround) {
  // A slow full-scale square wave: the filter's ringing overshoots at each edge and must be
  // clipped, never wrapped to the opposite sign.
  std::vector<std::int16_t> square(22050);
  for (std::size_t i = 0; i < square.size(); ++i) square[i] = (i / 441) % 2 ? 32767 : -32768;
  const auto output = Resampler(22050, 24000).Convert(square);
  for (std::size_t n = 0; n < output.size(); ++n) {
    const double x = static_cast<double>(n) * 22050 / 24000;
    const double intoPlateau = std::fmod(x, 441.0);
    if (intoPlateau < 20 || intoPlateau > 421) continue;  // near an edge
    const bool high = (static_cast<std::size_t>(x) / 441) % 2;
    EXPECT_EQ(output[n] > 0, high) << n;
    EXPECT_GT(std::abs(int{output[n]}), 30000) << n;
  }
  EXPECT_TRUE(Resampler(22050, 24000).Convert({}).empty());
}

TEST(SpeechdMp3EncoderTest, WritesConstantBitrateFramesWithoutVbrHeader) {
  const std::string mp3 = EncodeMp3(Sine(440, kServiceSampleRate, 2.0));
  ASSERT_GT(mp3.size(), 4u);
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(mp3[i]); };
  // Frame sync, MPEG-2, Layer III; bitrate index 14 (160 kbit/s); 24 kHz; mono.
  EXPECT_EQ(byte(0), 0xFF);
  EXPECT_EQ(byte(1) & 0xFE, 0xF2);
  EXPECT_EQ(byte(2) >> 4, 14);
  EXPECT_EQ((byte(2) >> 2) & 3, 1);
  EXPECT_EQ(byte(3) >> 6, 3);
  EXPECT_EQ(mp3.find("Xing"), std::string::npos);
  EXPECT_EQ(mp3.find("Info"), std::string::npos);
  EXPECT_NE(mp3.substr(0, 3), "ID3");
  // 160 kbit/s is 20000 bytes a second.
  EXPECT_NEAR(static_cast<double>(mp3.size()), 2.0 * 20000, 2000);

  const auto decoded = testing::DecodeMp3(mp3);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.rate, 24000);
  EXPECT_EQ(decoded.channels, 1);
  EXPECT_NEAR(decoded.Seconds(), 2.0, 0.1);
}

TEST(SpeechdMp3EncoderTest, EmptyInputGivesAPlayableStream) {
  const std::string mp3 = EncodeMp3({});
  EXPECT_FALSE(mp3.empty());
}

TEST(SpeechdSynthesizerTest, SpeaksMandarinAtTheServiceRate) {
  ASSERT_TRUE(SynthesizerAvailable());
  std::vector<std::int16_t> pcm;
  // 十个汉字的一句话。 (ten characters)
  const std::string text =
      "\xE4\xBB\x8A\xE5\xA4\xA9\xE5\xA4\xA9\xE6\xB0\x94\xE5\xBE\x88\xE5\xA5\xBD"
      "\xE6\x88\x91\xE4\xBB\xAC\xE5\x87\xBA\xE5\x8E\xBB";  // 今天天气很好我们出去
  ASSERT_EQ(Synthesize(SettingsFor(DefaultVoice(), ""), text, pcm), SynthesisResult::kOk);
  const double seconds = static_cast<double>(pcm.size()) / kServiceSampleRate;
  EXPECT_GT(seconds, 1.0);
  EXPECT_LT(seconds, 8.0);
}

TEST(SpeechdSynthesizerTest, LengthLimitAndCancellationStopTheEngine) {
  std::vector<std::int16_t> pcm;
  const std::string text(400, 'a');
  EXPECT_EQ(Synthesize(SettingsFor(DefaultVoice(), ""), text, pcm, nullptr, 0.5),
            SynthesisResult::kTooLong);
  EXPECT_EQ(Synthesize(SettingsFor(DefaultVoice(), ""), "hello", pcm, [] { return true; }),
            SynthesisResult::kCancelled);
  // The engine still works afterwards.
  pcm.clear();
  EXPECT_EQ(Synthesize(SettingsFor(DefaultVoice(), ""), "hello", pcm), SynthesisResult::kOk);
  EXPECT_FALSE(pcm.empty());
}

TEST(SpeechdSynthesizerTest, UnknownEspeakVoiceIsReported) {
  SpeechSettings settings;
  settings.espeakVoice = "no-such-language+f2";
  std::vector<std::int16_t> pcm;
  EXPECT_EQ(Synthesize(settings, "hello", pcm), SynthesisResult::kUnavailable);
}

}  // namespace
}  // namespace lectoria::speechd
