// A headless UI thread for tests: a simulated clock that the test advances by hand.
//
// The thread that constructs it is the UI thread. Nothing runs by itself: RunPending() runs the
// queued work, AdvanceBy() moves the clock and fires each timer tick that falls due, in order.
// Other threads that call WaitPumping() block until the clock has moved past their wait.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <set>
#include <thread>

#include "app/ports/ui_thread.h"

namespace lectoria {

class ManualUiThread : public UiThread {
 public:
  ManualUiThread();
  ~ManualUiThread() override;

  void Post(std::function<void()> task) override;
  bool IsUiThread() const override;
  void StartTimer(std::int32_t intervalMs, std::function<void()> tick) override;
  void StopTimer() override;
  /// On the UI thread: AdvanceBy(ms). Elsewhere: blocks until the clock reaches now + ms.
  void WaitPumping(std::int32_t ms) override;
  /// As WaitPumping; a thread blocked here is also released when `stop` is requested.
  void WaitPumpingUnlessStopped(std::int32_t ms, std::stop_token stop) override;

  /// Milliseconds since construction on the simulated clock.
  std::int64_t NowMs() const;

  /// Runs queued work, including work queued meanwhile, until the queue is empty. Returns how
  /// many tasks ran. Call on the UI thread.
  std::size_t RunPending();

  /// Moves the clock forward by `ms`: at each tick that falls due, first the queued work runs,
  /// then the tick, then the work it queued. Call on the UI thread.
  void AdvanceBy(std::int64_t ms);

  bool TimerRunning() const;
  std::int32_t TimerIntervalMs() const;
  /// Ticks fired since construction.
  std::int64_t TicksFired() const;

  /// Threads now blocked in WaitPumping whose wait the clock has not yet run out (a thread
  /// whose time has come but that has not woken yet no longer counts).
  int WaitingThreads() const;
  /// Waits (in real time, at most `timeout`) until at least `count` threads block in
  /// WaitPumping as WaitingThreads() counts them; for tests that must know a worker has
  /// reached its (next) wait.
  bool AwaitWaitingThreads(int count, std::chrono::milliseconds timeout);

  /// Stops the timer, drops queued work, releases every waiting thread and ignores later
  /// posts: what the end of the real event loop does.
  void Shutdown();

  /// Makes the calling thread the UI thread.
  void BindToCurrentThread();

 private:
  int BlockedLocked() const;

  mutable std::mutex mutex_;
  // _any: a waiting thread is also woken by a stop request.
  std::condition_variable_any clockMoved_;
  std::thread::id uiThread_;
  std::deque<std::function<void()>> tasks_;
  std::int64_t now_ = 0;
  bool timerRunning_ = false;
  std::int32_t intervalMs_ = 0;
  std::int64_t nextTick_ = 0;
  std::function<void()> tick_;
  std::int64_t ticksFired_ = 0;
  // The clock times at which the blocked threads' waits run out.
  std::multiset<std::int64_t> waitDeadlines_;
  bool shutdown_ = false;
};

}  // namespace lectoria
