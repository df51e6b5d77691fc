// Helpers for the audio tests: short MP3 clips made with LAME at test time, a scratch
// directory, a recorder for the end-of-clip notice and one for the audio played.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <span>
#include <string>
#include <vector>

#include "audio/output_tap.h"

namespace lectoria::testing {

/// A fresh directory under the system's temporary directory, removed on destruction.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  const std::filesystem::path& path() const { return path_; }
  std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

 private:
  std::filesystem::path path_;
};

/// The bytes of an MP3 holding a 440 Hz tone of `ms` milliseconds.
std::vector<std::uint8_t> ToneMp3(int ms, int rate = 22050, int channels = 1);

/// Writes ToneMp3(ms, rate, channels) to `path`; returns `path`.
std::filesystem::path WriteToneMp3(const std::filesystem::path& path, int ms, int rate = 22050,
                                   int channels = 1);

/// Writes `text` to `path` as it is; returns `path`.
std::filesystem::path WriteText(const std::filesystem::path& path, const std::string& text);

/// Counts the calls of an end-of-clip notice and lets a test wait for them.
class NoticeRecorder {
 public:
  using Clock = std::chrono::steady_clock;

  /// The notice to hand to the player.
  void Record();
  /// Waits until at least `count` calls were made or `timeout` passed; returns the count.
  int WaitFor(int count, std::chrono::milliseconds timeout = std::chrono::seconds(5));
  int count();
  /// When the first call was made.
  Clock::time_point first_call();

 private:
  std::mutex mutex_;
  std::condition_variable called_;
  int count_ = 0;
  Clock::time_point first_call_;
};

/// Keeps the audio a player sends out (through its output tap).
class SoundRecorder {
 public:
  /// The tap to hand to the player.
  OutputTap Tap();
  /// Forgets what was recorded.
  void Clear();
  /// The samples so far, interleaved.
  std::vector<std::int16_t> samples();
  /// How long the audio so far lasts, in milliseconds of real time.
  double Ms();
  int channels();

 private:
  std::mutex mutex_;
  std::vector<std::int16_t> samples_;
  int rate_ = 0;
  int channels_ = 0;
};

/// The frequency of a tone in the first channel of `samples`, from its zero crossings.
double ToneFrequency(std::span<const std::int16_t> samples, int channels, int rate);

}  // namespace lectoria::testing
