// A real-time UI thread without a window system: the thread that constructs it is the UI
// thread, and it runs the queued work and the timer's ticks whenever that thread pumps
// (RunUntil, RunFor, or a WaitPumping of its own).
//
// For running the core headless in real time: the real-player tests and the benchmarks.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "app/ports/ui_thread.h"

namespace lectoria {

class LoopUiThread : public UiThread {
 public:
  using Clock = std::chrono::steady_clock;

  /// `speedup` > 1 runs the program's own clock faster: timer intervals and pumping waits are
  /// divided by it (RunUntil and RunFor keep real time). For benchmarks that must get through
  /// many ticks; the audio still plays in real time.
  explicit LoopUiThread(int speedup = 1);
  ~LoopUiThread() override;
  LoopUiThread(const LoopUiThread&) = delete;
  LoopUiThread& operator=(const LoopUiThread&) = delete;

  void Post(std::function<void()> task) override;
  bool IsUiThread() const override;
  /// The first tick falls `intervalMs` after the call. A tick that could not run on time
  /// (the thread was busy or not pumping) runs once when it can; ticks missed by more than an
  /// interval are dropped, not caught up.
  void StartTimer(std::int32_t intervalMs, std::function<void()> tick) override;
  void StopTimer() override;
  /// On the UI thread: pumps for `ms`. Elsewhere: sleeps for `ms`, or until Shutdown().
  void WaitPumping(std::int32_t ms) override;
  void WaitPumpingUnlessStopped(std::int32_t ms, std::stop_token stop) override;

  /// Pumps on the calling thread, which must be the UI thread, until `done` returns true
  /// (asked before and after each piece of work) or `timeout` has passed. Returns whether
  /// `done` became true.
  bool RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);
  /// Pumps for `duration`.
  void RunFor(std::chrono::milliseconds duration);

  /// Stops the timer, drops queued work, releases waiting threads and ignores later posts.
  void Shutdown();

 private:
  bool Pump(Clock::time_point deadline, const std::function<bool()>& done);
  Clock::duration Scaled(std::int32_t ms) const;

  mutable std::mutex mutex_;
  std::condition_variable_any changed_;
  const std::thread::id uiThread_;
  const int speedup_;
  std::deque<std::function<void()>> tasks_;
  bool timerRunning_ = false;
  Clock::duration interval_{};
  Clock::time_point nextTick_;
  std::function<void()> tick_;
  std::uint64_t timerEpoch_ = 0;  // changes with every StartTimer/StopTimer
  bool shutdown_ = false;
};

}  // namespace lectoria
