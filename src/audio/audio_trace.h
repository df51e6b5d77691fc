// The player's trace: one time-stamped line per event (output chosen, clip opened, played,
// paused, ended, closed), so reading can be followed without speakers.
#pragma once

#include <chrono>
#include <cstdio>
#include <string_view>

namespace lectoria {

class AudioTrace {
 public:
  /// `stream` null or `enabled` false: nothing is written.
  AudioTrace(bool enabled, std::FILE* stream) : stream_(enabled ? stream : nullptr) {}

  bool enabled() const { return stream_ != nullptr; }

  /// Writes "[lectoria-audio HH:MM:SS.mmm] <text>" for the local time `when`.
  void Line(std::string_view text,
            std::chrono::system_clock::time_point when = std::chrono::system_clock::now()) const;

 private:
  std::FILE* stream_;
};

}  // namespace lectoria
