#include "speechd/resampler.h"

#include <algorithm>
#include <cmath>
#include <numbers>
#include <numeric>

namespace lectoria::speechd {

Resampler::Resampler(int inputRate, int outputRate)
    : inputRate_(std::max(inputRate, 1)), outputRate_(std::max(outputRate, 1)) {
  const int divisor = std::gcd(inputRate_, outputRate_);
  up_ = outputRate_ / divisor;
  down_ = inputRate_ / divisor;

  // Low-pass at 95% of the lower Nyquist frequency, in units of input samples.
  const double cutoff = 0.95 * std::min(1.0, static_cast<double>(outputRate_) / inputRate_);
  table_.resize(static_cast<std::size_t>(up_) * 2 * kHalfTaps);
  for (int phase = 0; phase < up_; ++phase) {
    const double fraction = static_cast<double>(phase) / up_;
    double sum = 0;
    float* taps = &table_[static_cast<std::size_t>(phase) * 2 * kHalfTaps];
    for (int k = 0; k < 2 * kHalfTaps; ++k) {
      // Distance from the output instant to input sample (floor + k - kHalfTaps + 1).
      const double t = (k - kHalfTaps + 1) - fraction;
      const double x = std::numbers::pi * cutoff * t;
      const double sinc = (std::abs(t) < 1e-9) ? 1.0 : std::sin(x) / x;
      const double w = t / kHalfTaps;  // Blackman window over [-kHalfTaps, kHalfTaps]
      const double window = (std::abs(w) >= 1.0) ? 0.0
                                                 : 0.42 + 0.5 * std::cos(std::numbers::pi * w) +
                                                       0.08 * std::cos(2 * std::numbers::pi * w);
      taps[k] = static_cast<float>(cutoff * sinc * window);
      sum += taps[k];
    }
    // Unity gain at DC for every phase, so a constant signal stays constant.
    for (int k = 0; k < 2 * kHalfTaps; ++k) taps[k] = static_cast<float>(taps[k] / sum);
  }
}

std::vector<std::int16_t> Resampler::Convert(const std::vector<std::int16_t>& input) const {
  if (input.empty()) return {};
  if (up_ == down_) return input;
  const std::int64_t inputSize = static_cast<std::int64_t>(input.size());
  const std::int64_t outputSize = inputSize * up_ / down_;
  std::vector<std::int16_t> output(static_cast<std::size_t>(outputSize));
  for (std::int64_t n = 0; n < outputSize; ++n) {
    const std::int64_t position = n * down_;
    const std::int64_t base = position / up_;
    const int phase = static_cast<int>(position % up_);
    const float* taps = &table_[static_cast<std::size_t>(phase) * 2 * kHalfTaps];
    const std::int64_t first = base - kHalfTaps + 1;
    float acc = 0;
    if (first >= 0 && first + 2 * kHalfTaps <= inputSize) {
      const std::int16_t* in = &input[static_cast<std::size_t>(first)];
      for (int k = 0; k < 2 * kHalfTaps; ++k) acc += taps[k] * in[k];
    } else {
      for (int k = 0; k < 2 * kHalfTaps; ++k) {
        const std::int64_t i = first + k;
        if (i >= 0 && i < inputSize) acc += taps[k] * input[static_cast<std::size_t>(i)];
      }
    }
    output[static_cast<std::size_t>(n)] =
        static_cast<std::int16_t>(std::clamp(std::lround(acc), -32768L, 32767L));
  }
  return output;
}

}  // namespace lectoria::speechd
