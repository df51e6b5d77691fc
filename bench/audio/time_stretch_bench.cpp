// How much of one core the player's time-stretching takes while it plays speech faster or
// slower: the processor time to stretch N seconds of 24 kHz mono speech-like audio, divided by
// the real time that audio plays for at that speed.
//
// Usage: time_stretch_bench [seconds of audio, default 120]
#include <time.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <random>
#include <vector>

#include "audio/time_stretcher.h"

namespace {

constexpr int kRate = 24000;                // what the speech services deliver
constexpr std::size_t kChunkFrames = 1024;  // as the player hands frames on
constexpr double kGoalPercent = 5.0;        // at speed 2

// Voiced syllables (a gliding pitch with many harmonics under a syllable envelope), hissing
// consonants and short pauses: enough like speech to make the stretcher search as it would.
std::vector<std::int16_t> SpeechLike(double seconds) {
  std::mt19937 random(7);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  const auto frames = static_cast<std::size_t>(seconds * kRate);
  std::vector<std::int16_t> samples(frames);
  double phase = 0.0;
  std::size_t i = 0;
  while (i < frames) {
    const double syllable = 0.12 + 0.2 * unit(random);
    const auto length = std::min(frames - i, static_cast<std::size_t>(syllable * kRate));
    const double kind = unit(random);
    const double pitch_from = 100 + 150 * unit(random);
    const double pitch_to = pitch_from * (0.8 + 0.4 * unit(random));
    for (std::size_t k = 0; k < length; ++k, ++i) {
      const double t = static_cast<double>(k) / static_cast<double>(length);
      const double envelope = std::sin(std::numbers::pi * t);
      double value = 0.0;
      if (kind < 0.7) {
        const double pitch = pitch_from + (pitch_to - pitch_from) * t;
        phase += 2 * std::numbers::pi * pitch / kRate;
        for (int h = 1; h <= 20; ++h) {
          // Harmonics near 700 Hz and 1200 Hz stand out, as formants do.
          const double f = h * pitch;
          const double formants =
              1.0 / (1 + std::pow((f - 700) / 300, 2)) + 0.6 / (1 + std::pow((f - 1200) / 400, 2));
          value += (0.2 + formants) / h * std::sin(h * phase);
        }
        value *= 0.25;
      } else if (kind < 0.85) {
        value = 0.15 * (2 * unit(random) - 1);
      }
      samples[i] = static_cast<std::int16_t>(std::lround(12000 * envelope * value));
    }
  }
  return samples;
}

double ThreadCpuSeconds() {
  timespec now{};
  clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
  return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

// Processor time to stretch all of `samples` at `speed`; `out_frames` receives the output size.
double StretchSeconds(const std::vector<std::int16_t>& samples, double speed,
                      std::size_t* out_frames) {
  lectoria::TimeStretcher stretcher(kRate, 1);
  stretcher.SetSpeed(speed);
  std::vector<std::int16_t> out(kChunkFrames);
  std::size_t produced = 0;
  const double start = ThreadCpuSeconds();
  for (std::size_t at = 0; at < samples.size(); at += kChunkFrames) {
    stretcher.Put(samples.data() + at, std::min(kChunkFrames, samples.size() - at));
    while (std::size_t got = stretcher.Receive(out.data(), out.size())) produced += got;
  }
  stretcher.Flush();
  while (std::size_t got = stretcher.Receive(out.data(), out.size())) produced += got;
  const double spent = ThreadCpuSeconds() - start;
  *out_frames = produced;
  return spent;
}

}  // namespace

int main(int argc, char** argv) {
  const double seconds = argc > 1 ? std::atof(argv[1]) : 120.0;
  if (!(seconds > 0)) {
    std::fprintf(stderr, "usage: time_stretch_bench [seconds of audio]\n");
    return 2;
  }
  const std::vector<std::int16_t> speech = SpeechLike(seconds);
  std::printf("time-stretching %.0f s of 24 kHz mono speech-like audio\n", seconds);
  std::printf("%6s %10s %12s %14s\n", "speed", "cpu (s)", "output (s)", "% of one core");
  double at_two = 0.0;
  for (double speed : {0.5, 0.75, 1.25, 1.5, 1.75, 2.0, 2.5, 3.0}) {
    std::size_t frames = 0;
    const double cpu = StretchSeconds(speech, speed, &frames);
    // While playing, this much audio takes its length divided by the speed.
    const double percent = 100.0 * cpu / (seconds / speed);
    if (speed == 2.0) at_two = percent;
    std::printf("%6.2f %10.3f %12.2f %13.2f%%\n", speed, cpu, static_cast<double>(frames) / kRate,
                percent);
  }
  std::printf("goal: under %.0f%% of one core at speed 2: %.2f%% (%s)\n", kGoalPercent, at_two,
              at_two < kGoalPercent ? "met" : "NOT met");
  return at_two < kGoalPercent ? 0 : 1;
}
