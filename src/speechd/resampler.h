// Sample-rate conversion of 16-bit mono PCM by a fixed rational ratio (polyphase windowed sinc).
#pragma once

#include <cstdint>
#include <vector>

namespace lectoria::speechd {

/// Converts between two fixed rates; espeak-ng speaks at 22050 Hz and the service's audio
/// format is 24 kHz. Stateless between calls: each call converts one whole stretch.
class Resampler {
 public:
  Resampler(int inputRate, int outputRate);

  /// The converted samples of `input` (about input.size() * outputRate / inputRate of them).
  std::vector<std::int16_t> Convert(const std::vector<std::int16_t>& input) const;

  int InputRate() const { return inputRate_; }
  int OutputRate() const { return outputRate_; }

 private:
  static constexpr int kHalfTaps = 12;  // zero crossings of the sinc on each side

  int inputRate_;
  int outputRate_;
  int up_;    // outputRate / gcd
  int down_;  // inputRate / gcd
  // up_ phases of 2 * kHalfTaps coefficients each.
  std::vector<float> table_;
};

}  // namespace lectoria::speechd
