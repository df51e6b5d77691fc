#include "ui/qt_ui_thread.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QObject>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <chrono>

namespace lectoria {

QtUiThread::QtUiThread() : context_(std::make_unique<QObject>()) {
  timer_ = new QTimer(context_.get());
  timer_->setTimerType(Qt::PreciseTimer);
  QObject::connect(timer_, &QTimer::timeout, context_.get(), [this] {
    // A copy: the tick may stop or replace the timer while it runs.
    std::function<void()> tick = tick_;
    if (tick && !IsShutDown()) tick();
  });
}

QtUiThread::~QtUiThread() {
  Shutdown();
  // Deleting the context also discards the work still queued for it.
  context_.reset();
}

void QtUiThread::Post(std::function<void()> task) {
  if (!task || IsShutDown()) return;
  QMetaObject::invokeMethod(
      context_.get(),
      [this, task = std::move(task)] {
        if (!IsShutDown()) task();
      },
      Qt::QueuedConnection);
}

bool QtUiThread::IsUiThread() const {
  return QThread::currentThread() == context_->thread();
}

void QtUiThread::StartTimer(std::int32_t intervalMs, std::function<void()> tick) {
  if (IsShutDown()) return;
  if (IsUiThread()) {
    StartTimerHere(intervalMs, std::move(tick));
    return;
  }
  QMetaObject::invokeMethod(
      context_.get(),
      [this, intervalMs, tick = std::move(tick)] {
        if (!IsShutDown()) StartTimerHere(intervalMs, tick);
      },
      Qt::QueuedConnection);
}

void QtUiThread::StartTimerHere(std::int32_t intervalMs, std::function<void()> tick) {
  tick_ = std::move(tick);
  timer_->start(std::max<std::int32_t>(intervalMs, 1));
}

void QtUiThread::StopTimer() {
  if (IsUiThread()) {
    StopTimerHere();
    return;
  }
  // Not dropped after a shutdown: stopping is always wanted.
  QMetaObject::invokeMethod(
      context_.get(), [this] { StopTimerHere(); }, Qt::QueuedConnection);
}

void QtUiThread::StopTimerHere() {
  timer_->stop();
  tick_ = nullptr;
}

bool QtUiThread::TimerActive() const {
  return timer_->isActive();
}

void QtUiThread::WaitPumping(std::int32_t ms) {
  ms = std::max<std::int32_t>(ms, 0);
  if (IsShutDown()) return;
  if (!IsUiThread()) {
    std::unique_lock lock(mutex_);
    shutdownSignal_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return shutdown_; });
    return;
  }
  if (ms == 0) {
    QCoreApplication::processEvents();
    return;
  }
  QEventLoop loop;
  QTimer deadline;
  deadline.setSingleShot(true);
  deadline.setTimerType(Qt::PreciseTimer);
  QObject::connect(&deadline, &QTimer::timeout, &loop, &QEventLoop::quit);
  deadline.start(ms);
  localLoops_.push_back(&loop);
  loop.exec();
  localLoops_.erase(std::remove(localLoops_.begin(), localLoops_.end(), &loop), localLoops_.end());
}

void QtUiThread::QuitLocalLoops() {
  for (QEventLoop* loop : localLoops_) loop->quit();
}

void QtUiThread::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    if (shutdown_) return;
    shutdown_ = true;
  }
  shutdownSignal_.notify_all();
  if (IsUiThread()) {
    StopTimerHere();
    QuitLocalLoops();
  } else {
    QMetaObject::invokeMethod(
        context_.get(),
        [this] {
          StopTimerHere();
          QuitLocalLoops();
        },
        Qt::QueuedConnection);
  }
}

bool QtUiThread::IsShutDown() const {
  std::lock_guard lock(mutex_);
  return shutdown_;
}

}  // namespace lectoria
