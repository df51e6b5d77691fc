// Feeds arbitrary bytes to the clip decoder: clips come from a web service and from the temp
// directory, so damaged or hostile files must fail cleanly.
#include <cstddef>
#include <cstdint>
#include <span>

#include "audio/mp3_decoder.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto clip = lectoria::DecodeMp3(std::span<const std::uint8_t>(data, size));
  if (clip) {
    // Whole frames only, in a format the player can take.
    if (clip->samples.size() % static_cast<std::size_t>(clip->channels) != 0) __builtin_trap();
    if (clip->rate <= 0 || clip->channels < 1 || clip->channels > 2) __builtin_trap();
  }
  return 0;
}
