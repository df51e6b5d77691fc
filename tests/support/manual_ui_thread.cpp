#include "support/manual_ui_thread.h"

#include <algorithm>
#include <iterator>

namespace lectoria {

ManualUiThread::ManualUiThread() : uiThread_(std::this_thread::get_id()) {}

ManualUiThread::~ManualUiThread() {
  Shutdown();
}

void ManualUiThread::Post(std::function<void()> task) {
  std::lock_guard lock(mutex_);
  if (shutdown_ || !task) return;
  tasks_.push_back(std::move(task));
}

bool ManualUiThread::IsUiThread() const {
  std::lock_guard lock(mutex_);
  return std::this_thread::get_id() == uiThread_;
}

void ManualUiThread::BindToCurrentThread() {
  std::lock_guard lock(mutex_);
  uiThread_ = std::this_thread::get_id();
}

void ManualUiThread::StartTimer(std::int32_t intervalMs, std::function<void()> tick) {
  std::lock_guard lock(mutex_);
  if (shutdown_) return;
  intervalMs_ = std::max<std::int32_t>(intervalMs, 1);
  nextTick_ = now_ + intervalMs_;
  tick_ = std::move(tick);
  timerRunning_ = true;
}

void ManualUiThread::StopTimer() {
  std::lock_guard lock(mutex_);
  timerRunning_ = false;
  tick_ = nullptr;
}

void ManualUiThread::WaitPumping(std::int32_t ms) {
  WaitPumpingUnlessStopped(ms, std::stop_token());
}

void ManualUiThread::WaitPumpingUnlessStopped(std::int32_t ms, std::stop_token stop) {
  if (IsUiThread()) {
    AdvanceBy(std::max<std::int32_t>(ms, 0));
    return;
  }
  std::unique_lock lock(mutex_);
  const std::int64_t deadline = now_ + std::max<std::int32_t>(ms, 0);
  const auto entry = waitDeadlines_.insert(deadline);
  clockMoved_.notify_all();
  // Returns at once when a stop was already requested.
  (void)clockMoved_.wait(lock, stop, [&] { return now_ >= deadline || shutdown_; });
  waitDeadlines_.erase(entry);
}

std::int64_t ManualUiThread::NowMs() const {
  std::lock_guard lock(mutex_);
  return now_;
}

std::size_t ManualUiThread::RunPending() {
  std::size_t count = 0;
  while (true) {
    std::function<void()> task;
    {
      std::lock_guard lock(mutex_);
      if (tasks_.empty()) break;
      task = std::move(tasks_.front());
      tasks_.pop_front();
    }
    task();
    ++count;
  }
  return count;
}

void ManualUiThread::AdvanceBy(std::int64_t ms) {
  std::int64_t target;
  {
    std::lock_guard lock(mutex_);
    target = now_ + std::max<std::int64_t>(ms, 0);
  }
  while (true) {
    std::function<void()> tick;
    {
      std::lock_guard lock(mutex_);
      // A tick handler may itself wait (and so advance the clock); the timer's next due time
      // is read afresh each round.
      if (shutdown_ || !timerRunning_ || nextTick_ > target) break;
      now_ = std::max(now_, nextTick_);
      nextTick_ += intervalMs_;
      tick = tick_;
    }
    clockMoved_.notify_all();
    RunPending();
    {
      std::lock_guard lock(mutex_);
      // The work just run may have stopped the timer.
      if (!timerRunning_) continue;
      ++ticksFired_;
    }
    if (tick) tick();
    RunPending();
  }
  {
    std::lock_guard lock(mutex_);
    now_ = std::max(now_, target);
  }
  clockMoved_.notify_all();
  RunPending();
}

bool ManualUiThread::TimerRunning() const {
  std::lock_guard lock(mutex_);
  return timerRunning_;
}

std::int32_t ManualUiThread::TimerIntervalMs() const {
  std::lock_guard lock(mutex_);
  return intervalMs_;
}

std::int64_t ManualUiThread::TicksFired() const {
  std::lock_guard lock(mutex_);
  return ticksFired_;
}

int ManualUiThread::BlockedLocked() const {
  if (shutdown_) return 0;
  return static_cast<int>(std::distance(waitDeadlines_.upper_bound(now_), waitDeadlines_.end()));
}

int ManualUiThread::WaitingThreads() const {
  std::lock_guard lock(mutex_);
  return BlockedLocked();
}

bool ManualUiThread::AwaitWaitingThreads(int count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  return clockMoved_.wait_for(lock, timeout, [&] {
    return BlockedLocked() >= count || shutdown_;
  }) && BlockedLocked() >= count;
}

void ManualUiThread::Shutdown() {
  std::deque<std::function<void()>> dropped;
  {
    std::lock_guard lock(mutex_);
    shutdown_ = true;
    timerRunning_ = false;
    tick_ = nullptr;
    dropped.swap(tasks_);
  }
  clockMoved_.notify_all();
  // `dropped` is destroyed here, outside the lock: a task's captures may post or wait.
}

}  // namespace lectoria
