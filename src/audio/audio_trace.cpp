#include "audio/audio_trace.h"

#include <ctime>

namespace lectoria {

void AudioTrace::Line(std::string_view text, std::chrono::system_clock::time_point when) const {
  if (!stream_) return;
  using namespace std::chrono;
  const std::time_t seconds = system_clock::to_time_t(when);
  const auto millis = duration_cast<milliseconds>(when.time_since_epoch()).count() % 1000;
  std::tm local{};
  localtime_r(&seconds, &local);
  // One call per line: stdio locks the stream per call, so lines from different threads
  // never interleave.
  std::fprintf(stream_, "[lectoria-audio %02d:%02d:%02d.%03d] %.*s\n", local.tm_hour, local.tm_min,
               local.tm_sec, static_cast<int>(millis), static_cast<int>(text.size()), text.data());
  std::fflush(stream_);
}

}  // namespace lectoria
