// The synthesis worker: turns the next queued line into the next clip of the audio cache.
//
//   SynthesisWorker worker(app, client);
//   worker.Install(app.hooks());        // Close joins it; a book import discards its clip
//   ... each timer tick, as its last step:  worker.LaunchIfNeeded();
//
// At most one worker thread runs at a time and each run makes one clip, temp/<n>.mp3 with n =
// SynthesizedCount at the launch. A run makes up to ten attempts; after each failed one it
// fetches a new token, reloads the voice list and waits a second (WaitPumping).
//
// When all ten fail, the service is asked for a short text of the worker's own:
//   - it answers: the service works and this line is what it refuses (or answers with
//     something that is not audio). The line is given up: its clip is stored empty, which
//     playback passes over as any clip that does not open, and the next run takes the next
//     line with its own ten attempts.
//   - it does not: the service is away. SynthesizedCount stays, and the next launch tries
//     the same line again, so an outage never skips lines.
// Either way "合成失败" (title "合成语音") is shown, once until a clip is made again.
//
// A clip that cannot be written (a full disk, a read-only run directory) is not retried: the
// run shows "无法写入音频缓存…" and sets AudioCacheUnwritable, which holds back every launch
// until the user presses start again (the playback controller clears it) or imports a book.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

#include "app/core/app.h"
#include "app/reading/speech_state.h"
#include "tts/speech_service_client.h"

namespace lectoria {

class SynthesisWorker {
 public:
  /// Attempts per run and the wait after each failed one.
  static constexpr int kAttempts = 10;
  static constexpr std::int32_t kRetryWaitMs = 1000;

  /// The App and the client must outlive the worker.
  SynthesisWorker(App& app, const SpeechClient& client);
  /// Shutdown(); the hooks set by Install do nothing afterwards.
  ~SynthesisWorker();
  SynthesisWorker(const SynthesisWorker&) = delete;
  SynthesisWorker& operator=(const SynthesisWorker&) = delete;

  /// Chains Shutdown onto hooks.OnClose and Reset onto hooks.StopReading (after whatever they
  /// held already).
  void Install(AppHooks& hooks);

  /// The launch step of the timer tick (UI thread). Does nothing unless a book is loaded, 按钮1
  /// is enabled, no run is going on, the audio cache is not marked unwritable and fewer than
  /// CacheSize clips lie ahead of CurrentClip.
  /// Then it takes the queue slot of clip SynthesizedCount into PendingText and PendingIsEnd:
  /// the end of the book sets SynthesisBusy for good (until Reset) and starts nothing;
  /// otherwise SynthesisBusy is raised here, before the thread starts, and a run begins. When
  /// no slot holds that clip nothing starts. Returns true when a run was started.
  bool LaunchIfNeeded();

  /// For a book import (UI thread; does not wait): a run in flight is told to stop and its
  /// clip, should it still arrive, is discarded without touching the cache or the counters;
  /// the end-of-book state and the unwritable mark of the audio cache are cleared.
  /// SynthesisBusy stays raised until that run has ended, so
  /// a new run never overlaps it.
  void Reset();

  /// Stops for good (Close): no more launches, a run in flight stops at its next step and is
  /// joined. On the UI thread the wait keeps the UI thread's queue running, so a run that is
  /// waiting or showing its message can finish. Harmless to call twice.
  void Shutdown();

  /// True while a run's thread is alive.
  bool Running() const;

 private:
  struct Run {
    std::int32_t clip;
    std::string text;
    std::uint64_t generation;
  };
  enum class Commit { kWritten, kDiscarded, kWriteFailed };
  enum class Outcome { kMade, kGivenUp, kServiceUnavailable, kCacheUnwritable, kCancelled };

  /// Body of the worker thread: one clip, up to kAttempts attempts.
  void SynthesizeNextClip(const Run& run);
  Outcome Synthesize(const Run& run);
  Outcome StoreClip(const Run& run, std::string_view audio);
  /// The run's message, if any.
  void Report(Outcome outcome);
  Commit CommitClip(const Run& run, std::string_view audio);
  void Finish();

  App& app_;
  const SpeechClient& client_;
  AppSpeechState speech_;
  // The installed hooks reach the worker through this link, which the destructor cuts, so a
  // worker destroyed before the App leaves no dangling hook behind. UI thread only.
  std::shared_ptr<SynthesisWorker*> link_ = std::make_shared<SynthesisWorker*>(this);

  std::thread thread_;
  std::atomic<bool> cancel_{false};
  // "合成失败" has been shown since the last clip was made.
  std::atomic<bool> failureShown_{false};
  std::atomic<bool> stopping_{false};

  // Held while a finished clip is checked against the generation, written and counted, so a
  // Reset either comes before (the clip is discarded) or after (the clip is complete).
  std::mutex commitMutex_;
  std::uint64_t generation_ = 0;

  mutable std::mutex lifeMutex_;
  std::condition_variable ended_;
  bool alive_ = false;
};

}  // namespace lectoria
