// Writes the wake-up clip: a soft one-second chime, played before reading resumes after a wait
// so that an audio output that has gone to sleep is awake when the first words come.
//
//   lectoria_make_wake_clip OUTPUT.mp3
//
// The chime is one struck note made of a few sine partials, each decaying at its own rate (the
// higher ones faster, as in a bell), with a short attack and a fade to silence at the end so
// the clip neither clicks on start nor stops abruptly.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>
#include <vector>

#include "audio/tools/mp3_writer.h"

namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 1.0;
constexpr double kFundamentalHz = 784.0;  // G5
constexpr double kAttackSeconds = 0.006;
constexpr double kFadeOutSeconds = 0.12;
constexpr double kPeak = 0.35;  // soft: about -9 dBFS at the loudest point

struct Partial {
  double ratio;      // frequency relative to the fundamental
  double amplitude;  // before normalisation
  double decay;      // seconds for the partial to fall to 1/e
};

constexpr Partial kPartials[] = {
    {1.0, 1.0, 0.38},
    {2.0, 0.42, 0.22},
    {2.76, 0.22, 0.14},
    {5.40, 0.08, 0.07},
};

std::vector<double> Synthesize() {
  const int frames = static_cast<int>(kRate * kSeconds);
  std::vector<double> signal(frames);
  for (int i = 0; i < frames; ++i) {
    const double t = static_cast<double>(i) / kRate;
    double value = 0.0;
    for (const Partial& p : kPartials) {
      value += p.amplitude * std::exp(-t / p.decay) *
               std::sin(2.0 * std::numbers::pi * kFundamentalHz * p.ratio * t);
    }
    // Raised-cosine attack and fade-out.
    if (t < kAttackSeconds) value *= 0.5 - 0.5 * std::cos(std::numbers::pi * t / kAttackSeconds);
    const double left = kSeconds - t;
    if (left < kFadeOutSeconds)
      value *= 0.5 - 0.5 * std::cos(std::numbers::pi * left / kFadeOutSeconds);
    signal[i] = value;
  }
  return signal;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s OUTPUT.mp3\n", argc > 0 ? argv[0] : "lectoria_make_wake_clip");
    return 2;
  }
  const std::vector<double> signal = Synthesize();
  double peak = 0.0;
  for (double v : signal) peak = std::max(peak, std::abs(v));
  std::vector<std::int16_t> samples(signal.size());
  for (std::size_t i = 0; i < signal.size(); ++i) {
    samples[i] = static_cast<std::int16_t>(std::lround(signal[i] / peak * kPeak * 32767.0));
  }
  const std::vector<std::uint8_t> mp3 = lectoria::EncodeMp3(samples, kRate, 1, 64);
  if (mp3.empty() || !lectoria::WriteBytes(argv[1], mp3)) {
    std::fprintf(stderr, "lectoria_make_wake_clip: cannot write %s\n", argv[1]);
    return 1;
  }
  return 0;
}
