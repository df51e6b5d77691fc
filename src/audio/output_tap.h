// A way to watch the audio the player sends out, for meters and for tests that check what
// was played.
#pragma once

#include <cstdint>
#include <functional>
#include <span>

namespace lectoria {

/// Receives each piece of the clip's audio as it goes out, after speed and volume: 16-bit
/// interleaved samples at `rate` with `channels`. Silence between clips is not passed on.
using OutputTap =
    std::function<void(std::span<const std::int16_t> samples, int rate, int channels)>;

}  // namespace lectoria
