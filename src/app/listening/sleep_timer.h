// The sleep timer: reading stops after a chosen number of minutes or at the end of the
// chapter being heard. It never cuts a line: once the time is up, reading pauses when the line
// being heard has ended, before the next one starts. The remaining time shows in the status
// line; choosing "不定时" in 组合框_定时 cancels it.
//
// The time is counted by the window's one-second timer 时钟1, so it follows the same clock as
// everything else the tick drives. UI thread only.
#pragma once

#include <cstdint>

#include "app/core/app.h"

namespace lectoria {

class SleepTimer {
 public:
  /// The choices of 组合框_定时, in order.
  enum Choice : int { kOff = 0, k15, k30, k45, k60, k90, kEndOfChapter, kChoiceCount };

  /// `app` must stay alive, and the timer must not be destroyed, while the App runs (from
  /// App::Start() to App::Close()).
  explicit SleepTimer(App& app) : app_(app) {}
  SleepTimer(const SleepTimer&) = delete;
  SleepTimer& operator=(const SleepTimer&) = delete;

  /// Fills 组合框_定时 ("不定时" chosen), binds it and the shortcut that steps through it, runs
  /// OnTick after whatever the tick runs now, and answers HoldAtLineEnd. Call once, before
  /// App::Start() and after the playback controller has taken its hooks.
  void Install();

  /// Starts the timer for `choice` (kOff cancels it); the combo box shows the choice.
  void Choose(int choice);
  Choice Current() const { return choice_; }
  /// Seconds until reading stops, for the minute choices; 0 otherwise.
  std::int32_t RemainingSeconds() const { return remaining_; }

  /// One second has passed.
  void OnTick();
  /// The line being heard has ended: true when reading is to pause here.
  bool HoldAtLineEnd();

 private:
  bool Reading() const;
  void Show();

  App& app_;
  Choice choice_ = kOff;
  std::int32_t remaining_ = 0;
  bool due_ = false;         // the time is up; pause at the end of the line
  bool stopNotice_ = false;  // "已暂停" shows until reading goes on
};

}  // namespace lectoria
