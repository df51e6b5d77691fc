// The user-interface thread port: its queue of work, the window's one-second timer 时钟1 and
// the pumping wait.
//
// The Qt view implements it over the GUI thread's event loop; the tests' ManualUiThread
// (tests/support) implements it with a clock driven by hand.
#pragma once

#include <algorithm>
#include <cstdint>
#include <functional>
#include <stop_token>

namespace lectoria {

class UiThread {
 public:
  virtual ~UiThread() = default;

  /// Queues `task` to run on the UI thread after the work queued before it. Safe from any
  /// thread; never runs the task inside the call.
  virtual void Post(std::function<void()> task) = 0;

  /// True when the calling thread is the UI thread.
  virtual bool IsUiThread() const = 0;

  /// Starts the repeating timer: `tick` runs on the UI thread every `intervalMs`. Starting it
  /// again replaces the earlier tick and interval.
  virtual void StartTimer(std::int32_t intervalMs, std::function<void()> tick) = 0;

  /// Stops the timer; no tick runs after this returns on the UI thread.
  virtual void StopTimer() = 0;

  /// Waits `ms` milliseconds. On the UI thread the wait keeps running queued work and timer
  /// ticks; on another thread it simply waits. Returns early when the UI thread shuts down.
  virtual void WaitPumping(std::int32_t ms) = 0;

  /// WaitPumping that also returns as soon as `stop` is requested, for threads that must end
  /// promptly when the window closes. The default waits in slices of at most 20 ms and looks
  /// at `stop` between them; an implementation whose waits can be woken should override it.
  virtual void WaitPumpingUnlessStopped(std::int32_t ms, std::stop_token stop) {
    constexpr std::int32_t kSliceMs = 20;
    while (ms > 0 && !stop.stop_requested()) {
      const std::int32_t slice = std::min(ms, kSliceMs);
      WaitPumping(slice);
      ms -= slice;
    }
  }
};

}  // namespace lectoria
