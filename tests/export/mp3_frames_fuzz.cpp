// Feeds arbitrary bytes to the frame walker: clips come from a speech service, which may be any
// server the user names, so damaged or hostile replies must be walked safely.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "export/mp3_frames.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const auto clip = lectoria::WalkMp3Frames(bytes);
  if (!clip) return 0;
  // Joining copies whole frames of the input and nothing else.
  lectoria::Mp3Format format;
  std::string stream;
  if (!lectoria::AppendMp3Frames(*clip, format, stream) || stream.size() > size) __builtin_trap();
  lectoria::WalkMp3Frames(stream);
  return 0;
}
