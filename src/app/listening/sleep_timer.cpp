#include "app/listening/sleep_timer.h"

#include <algorithm>
#include <cstdio>
#include <string>

#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "platform/codepage.h"

namespace lectoria {
namespace {

constexpr std::int32_t kMinutes[SleepTimer::kChoiceCount] = {0, 15, 30, 45, 60, 90, 0};
const char* const kChoiceNames[SleepTimer::kChoiceCount] = {
    "不定时", "15 分钟", "30 分钟", "45 分钟", "60 分钟", "90 分钟", "本章结束",
};

}  // namespace

void SleepTimer::Install() {
  MainWindow& w = app_.window();
  std::vector<std::string> items;
  for (const char* name : kChoiceNames) items.push_back(Utf8ToGbk(name));
  w.SetItems(ctl::组合框_定时, std::move(items));
  w.SetSelectedIndex(ctl::组合框_定时, kOff);
  w.Bind(ctl::组合框_定时, ControlEvent::kItemSelected,
         [this] { Choose(app_.window().SelectedIndex(ctl::组合框_定时)); });
  w.Bind(Command::kCycleSleepTimer, [this] { Choose((choice_ + 1) % kChoiceCount); });

  AppHooks& hooks = app_.hooks();
  hooks.OnTimerTick = [this, earlier = std::move(hooks.OnTimerTick)] {
    if (earlier) earlier();
    OnTick();
  };
  hooks.HoldAtLineEnd = [this] { return HoldAtLineEnd(); };
}

void SleepTimer::Choose(int choice) {
  if (choice < 0 || choice >= kChoiceCount) choice = kOff;
  choice_ = static_cast<Choice>(choice);
  remaining_ = kMinutes[choice] * 60;
  due_ = false;
  stopNotice_ = false;
  app_.window().SetSelectedIndex(ctl::组合框_定时, choice);
  Show();
}

bool SleepTimer::Reading() const {
  const std::string caption = app_.window().Text(ctl::按钮1);
  return caption != texts::kCaptionStart && caption != texts::kCaptionInitializing;
}

void SleepTimer::OnTick() {
  if (stopNotice_ && Reading()) {
    stopNotice_ = false;
    Show();
  }
  if (remaining_ <= 0) return;
  if (--remaining_ > 0) {
    Show();
    return;
  }
  // The time is up. A paused reading has nothing left to stop.
  if (Reading()) {
    due_ = true;
    Show();
  } else {
    Choose(kOff);
  }
}

bool SleepTimer::HoldAtLineEnd() {
  bool hold = due_;
  if (choice_ == kEndOfChapter) {
    // The next clip opens a chapter: the chapter being heard has just been read to its end.
    const std::int32_t clip = app_.state().CurrentClip;
    const std::vector<std::int32_t>& starts = app_.state().ReadingQueue.ChapterStartClips;
    hold = clip >= 0 && std::find(starts.begin(), starts.end(), clip + 1) != starts.end();
  }
  if (!hold) return false;
  Choose(kOff);
  stopNotice_ = true;
  Show();
  return true;
}

void SleepTimer::Show() {
  std::string text;
  if (stopNotice_) {
    text = "定时已到，已暂停";
  } else if (due_) {
    text = "定时已到：读完这一行后暂停";
  } else if (choice_ == kEndOfChapter) {
    text = "定时：读完本章后暂停";
  } else if (remaining_ > 0) {
    char clock[32];
    std::snprintf(clock, sizeof clock, "%d:%02d", remaining_ / 60, remaining_ % 60);
    text = std::string("定时：还剩 ") + clock;
  }
  app_.statusLine().Set(StatusLine::Part::kSleepTimer, Utf8ToGbk(text));
}

}  // namespace lectoria
