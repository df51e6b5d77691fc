// One book import at a time on a thread of its own, reporting to the user-interface thread.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "app/ports/ui_thread.h"
#include "library/book_import.h"

namespace lectoria {

/// Runs an import's work off the UI thread: its progress and its result are handed to the UI
/// thread through UiThread::Post. Start, Cancel, Running and Abandon: UI thread only.
class ImportJob {
 public:
  using Work = std::function<BookImportResult(const ImportControl& control)>;

  explicit ImportJob(UiThread& ui) : ui_(ui) {}
  ~ImportJob() { Abandon(); }
  ImportJob(const ImportJob&) = delete;
  ImportJob& operator=(const ImportJob&) = delete;

  /// True from Start until the result has been handed over (or the job abandoned).
  bool Running() const { return running_; }

  /// Runs `work` on a new thread (on this one when no thread can be had). Each growth of its
  /// percentage reaches `onProgress`, its result `onDone`, both on the UI thread and never
  /// after Abandon; progress stops once cancelled. False when a job is running already.
  bool Start(Work work, std::function<void(int)> onProgress,
             std::function<void(BookImportResult)> onDone);

  /// Asks the running work to stop (it ends with kCancelled). A result that was already on
  /// its way is still handed over: onDone checks Cancelled().
  void Cancel();
  bool Cancelled() const;

  /// Cancels, waits for the thread and drops the job: onDone never runs. For the window's end.
  void Abandon();

 private:
  struct Shared {
    std::atomic<bool> cancel{false};
    bool abandoned = false;  // UI thread only
  };
  void Join();

  UiThread& ui_;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  bool running_ = false;
};

}  // namespace lectoria
