#include "support/loop_ui_thread.h"

#include <algorithm>

namespace lectoria {

LoopUiThread::LoopUiThread(int speedup)
    : uiThread_(std::this_thread::get_id()), speedup_(std::max(speedup, 1)) {}

LoopUiThread::Clock::duration LoopUiThread::Scaled(std::int32_t ms) const {
  return std::chrono::microseconds(std::int64_t{std::max<std::int32_t>(ms, 0)} * 1000 / speedup_);
}

LoopUiThread::~LoopUiThread() {
  Shutdown();
}

void LoopUiThread::Post(std::function<void()> task) {
  {
    std::lock_guard lock(mutex_);
    if (shutdown_ || !task) return;
    tasks_.push_back(std::move(task));
  }
  changed_.notify_all();
}

bool LoopUiThread::IsUiThread() const {
  return std::this_thread::get_id() == uiThread_;
}

void LoopUiThread::StartTimer(std::int32_t intervalMs, std::function<void()> tick) {
  {
    std::lock_guard lock(mutex_);
    if (shutdown_) return;
    interval_ = std::max<Clock::duration>(Scaled(intervalMs), std::chrono::microseconds(100));
    nextTick_ = Clock::now() + interval_;
    tick_ = std::move(tick);
    timerRunning_ = true;
    ++timerEpoch_;
  }
  changed_.notify_all();
}

void LoopUiThread::StopTimer() {
  {
    std::lock_guard lock(mutex_);
    timerRunning_ = false;
    tick_ = nullptr;
    ++timerEpoch_;
  }
  changed_.notify_all();
}

void LoopUiThread::WaitPumping(std::int32_t ms) {
  WaitPumpingUnlessStopped(ms, std::stop_token());
}

void LoopUiThread::WaitPumpingUnlessStopped(std::int32_t ms, std::stop_token stop) {
  const Clock::time_point deadline = Clock::now() + Scaled(ms);
  if (IsUiThread()) {
    Pump(deadline, [&] { return stop.stop_requested(); });
    return;
  }
  std::unique_lock lock(mutex_);
  (void)changed_.wait_until(lock, stop, deadline, [&] { return shutdown_; });
}

bool LoopUiThread::RunUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
  return Pump(Clock::now() + timeout, done);
}

void LoopUiThread::RunFor(std::chrono::milliseconds duration) {
  Pump(Clock::now() + duration, nullptr);
}

bool LoopUiThread::Pump(Clock::time_point deadline, const std::function<bool()>& done) {
  while (true) {
    if (done && done()) return true;
    std::function<void()> work;
    {
      std::unique_lock lock(mutex_);
      const Clock::time_point now = Clock::now();
      if (shutdown_ || now >= deadline) break;
      if (!tasks_.empty()) {
        work = std::move(tasks_.front());
        tasks_.pop_front();
      } else if (timerRunning_ && now >= nextTick_) {
        work = tick_;
        // Keep the cadence; after a stall of more than an interval the missed ticks are dropped.
        nextTick_ += interval_;
        if (nextTick_ <= now) nextTick_ = now + interval_;
      } else {
        const Clock::time_point wake = timerRunning_ ? std::min(deadline, nextTick_) : deadline;
        const std::uint64_t epoch = timerEpoch_;
        changed_.wait_until(lock, wake,
                            [&] { return !tasks_.empty() || shutdown_ || timerEpoch_ != epoch; });
        continue;
      }
    }
    if (work) work();
  }
  return done && done();
}

void LoopUiThread::Shutdown() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(mutex_);
    shutdown_ = true;
    timerRunning_ = false;
    tick_ = nullptr;
    dropped.swap(tasks_);
  }
  changed_.notify_all();
}

}  // namespace lectoria
