// The process-wide state of the reader, under the names the rest of the program uses.
//
// Values that cross threads are atomics, or texts and lists replaced whole under a lock
// (Shared<T>). The reading queue and its loader state belong to the UI thread.
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "platform/run_dir.h"
#include "reader/reading_queue.h"

namespace lectoria {

/// A value that one thread replaces whole and others read whole.
template <typename T>
class Shared {
 public:
  Shared() = default;
  explicit Shared(T value) : value_(std::move(value)) {}
  T Get() const {
    std::lock_guard lock(mutex_);
    return value_;
  }
  void Set(T value) {
    std::lock_guard lock(mutex_);
    value_ = std::move(value);
  }

 private:
  mutable std::mutex mutex_;
  T value_{};
};

/// The bounds start-up applies to "缓存数": the queue's slots 1 and 2 are always read, and an
/// absurd value must not make start-up allocate or scan without bound.
inline constexpr std::int32_t kMinCacheSize = 2;
inline constexpr std::int32_t kMaxCacheSize = 1000;

struct AppState {
  explicit AppState(const std::filesystem::path& runDir)
      : R(runDir), ReadingQueue(R, SkipNonChinese) {}
  AppState(const AppState&) = delete;
  AppState& operator=(const AppState&) = delete;

  /// The run directory and its fixed paths (config.ini, data/, temp/<n>.mp3, ...).
  const RunPaths R;

  // Settings (start-up, check-box handlers).
  std::atomic<bool> SkipNonChinese{true};   // line filter switch, state of 选择框1
  std::atomic<bool> WakeOutput{false};      // wake-up clip switch, state of 选择框2
  std::atomic<std::int32_t> CacheSize{10};  // queue slots; clips synthesized ahead

  // Book and playback.
  std::atomic<bool> BookLoaded{false};
  std::atomic<std::int32_t> CurrentClip{0};  // clip playing or last played; -1 waiting for 0
  std::atomic<bool> PlaybackStarted{false};
  std::atomic<bool> StartAfterWaitActive{false};
  /// 0-based chapter row being heard ("阅读历史").
  std::atomic<std::int32_t> CurrentChapterRow{0};
  /// The clip whose line and chapter start were last applied to the position (-1: none since
  /// the queue was loaded). UI thread.
  std::int32_t EnteredClip = -1;
  /// Where in its clip the first line after a load resumes, in ms ("行内位置"); taken by the
  /// first start of clip 0.
  std::atomic<std::int64_t> ResumePlaceMs{0};

  // Synthesis.
  std::atomic<std::int32_t> SynthesizedCount{0};  // next clip number to synthesize
  std::atomic<bool> SynthesisBusy{false};
  /// Set when a clip could not be stored in the audio cache (a full disk, a read-only run
  /// directory): no synthesis is launched until the user presses start or imports a book.
  std::atomic<bool> AudioCacheUnwritable{false};
  Shared<std::string> PendingText;  // the line the next worker synthesizes (timer -> worker)
  /// Set with PendingText: the queue slot it came from is the end marker. The end of the book
  /// is decided by this flag, never by the text "stop".
  std::atomic<bool> PendingIsEnd{false};

  // Speech service.
  Shared<std::string> CurrentToken;
  Shared<std::string> VoiceListJson;
  Shared<std::vector<std::string>> StyleLabels;
  Shared<std::string> ServiceStyleName;

  /// ReadingQueue with the loader state FillChapter, FillLine, ChapterCount and
  /// ChapterStartClips. UI thread only.
  lectoria::ReadingQueue ReadingQueue;
};

}  // namespace lectoria
