// The UI-thread port on Qt's event loop: posted work and the one-second timer run on the GUI
// thread, and WaitPumping there runs a local event loop.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <vector>

#include "app/ports/ui_thread.h"

class QEventLoop;
class QObject;
class QTimer;

namespace lectoria {

/// UiThread over the event loop of the thread that constructs it, which must be the thread of
/// the QCoreApplication (the GUI thread). Destroy it on that thread; work still queued then
/// is dropped.
class QtUiThread final : public UiThread {
 public:
  QtUiThread();
  ~QtUiThread() override;
  QtUiThread(const QtUiThread&) = delete;
  QtUiThread& operator=(const QtUiThread&) = delete;

  /// Safe from any thread; the task runs later from the event loop. Dropped after Shutdown().
  void Post(std::function<void()> task) override;
  bool IsUiThread() const override;
  /// From another thread the start is posted to the GUI thread.
  void StartTimer(std::int32_t intervalMs, std::function<void()> tick) override;
  void StopTimer() override;
  /// On the GUI thread: runs a local event loop for `ms` (events, posted work, timer ticks,
  /// user input). Elsewhere: sleeps. Both return early, and at once later, after Shutdown().
  void WaitPumping(std::int32_t ms) override;

  /// The end of the UI thread: stops the timer, drops queued and later work, ends every
  /// running WaitPumping (on all threads) and makes later ones return at once. Any thread;
  /// a second call does nothing.
  void Shutdown();
  bool IsShutDown() const;
  bool TimerActive() const;

 private:
  void StartTimerHere(std::int32_t intervalMs, std::function<void()> tick);
  void StopTimerHere();
  void QuitLocalLoops();

  std::unique_ptr<QObject> context_;     // receiver of posted work; lives on the GUI thread
  QTimer* timer_ = nullptr;              // child of context_
  std::function<void()> tick_;           // GUI thread only
  std::vector<QEventLoop*> localLoops_;  // running WaitPumping loops, GUI thread only

  mutable std::mutex mutex_;
  std::condition_variable shutdownSignal_;
  bool shutdown_ = false;
};

}  // namespace lectoria
