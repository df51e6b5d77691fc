#include "speechd/request_deadlines.h"

#include <sys/socket.h>

#include <algorithm>

namespace lectoria::speechd {

namespace {

using Clock = std::chrono::steady_clock;

}  // namespace

struct RequestDeadlines::Watch {
  int fd;
  Clock::time_point deadline;  // time_point::max(): none
};

RequestDeadlines::RequestDeadlines(std::chrono::milliseconds timeout) : timeout_(timeout) {}

RequestDeadlines::~RequestDeadlines() {
  Stop();
  for (Watch* watch : watches_) delete watch;
}

void RequestDeadlines::Start() {
  std::lock_guard lock(mutex_);
  if (watcher_.joinable()) return;
  stopping_ = false;
  watcher_ = std::thread([this] { Run(); });
}

void RequestDeadlines::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (watcher_.joinable()) watcher_.join();
}

RequestDeadlines::Watch* RequestDeadlines::Opened(int fd) {
  auto* watch = new Watch{fd, Clock::now() + timeout_};
  std::lock_guard lock(mutex_);
  watches_.insert(watch);
  return watch;
}

void RequestDeadlines::RequestArrived(Watch* watch) {
  if (watch == nullptr) return;
  std::lock_guard lock(mutex_);
  watch->deadline = Clock::time_point::max();
}

void RequestDeadlines::ReplyDone(Watch* watch) {
  if (watch == nullptr) return;
  std::lock_guard lock(mutex_);
  watch->deadline = Clock::now() + timeout_;
}

void RequestDeadlines::Closed(Watch* watch) {
  if (watch == nullptr) return;
  {
    // Once this returns the watcher cannot touch the socket, which may then be closed and its
    // number reused.
    std::lock_guard lock(mutex_);
    watches_.erase(watch);
  }
  delete watch;
}

void RequestDeadlines::Run() {
  // Checking a few times per timeout keeps the overshoot small at little cost.
  const auto period =
      std::clamp(timeout_ / 8, std::chrono::milliseconds(10), std::chrono::milliseconds(250));
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    wake_.wait_for(lock, period);
    const auto now = Clock::now();
    for (Watch* watch : watches_) {
      if (watch->deadline > now) continue;
      // Shutting down, not closing: the server still owns the socket and closes it itself
      // once it sees the connection end.
      ::shutdown(watch->fd, SHUT_RDWR);
      watch->deadline = Clock::time_point::max();
    }
  }
}

}  // namespace lectoria::speechd
