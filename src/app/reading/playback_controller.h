// The playback controller: plays the cached clips temp/<n>.mp3 one after another, shows the
// line being heard in 编辑框3 and keeps the reading position ("行号", "阅读历史") in the library
// index as each clip starts.
//
// The caption of 按钮1 is the controller's state:
//   "初始化.."  before the voice list has enabled the button; the controller ignores input
//   "开始"      ready or paused; pressing starts or resumes
//   "暂停"      playing (or about to play); pressing pauses
//   "等待合成"  the next clip is not synthesized yet; reading goes on as soon as it exists
//   "启动输出.." the wake-up clip plays before a clip that had to be waited for
//
// Entry points: ToggleStartPause (按钮1 and Alt+Space), AdvanceClip (按钮4 "跳过"),
// OnTimerTick (时钟1, every second), the player's end-of-clip notice, and the StartAfterWait
// thread, which starts a clip that had to be waited for (after the wake-up clip when
// WakeOutput is set) and watches it until it ends.
//
// Threads: everything runs on the UI thread except StartAfterWait and the player's notice,
// which only posts to the UI thread. The caption is read, decided on and written under one
// lock together with the player commands, so the UI thread and StartAfterWait never undo each
// other's step half-way.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <stop_token>
#include <string>
#include <string_view>
#include <thread>

#include "app/core/app.h"

namespace lectoria {

class PlaybackController {
 public:
  /// The App (and its ports) must be alive whenever the controller is used or destroyed,
  /// unless the App has been closed before: destroy the controller before the App or after
  /// App::Close().
  explicit PlaybackController(App& app);
  /// Shutdown(), then the installed hooks do nothing any more.
  ~PlaybackController();
  PlaybackController(const PlaybackController&) = delete;
  PlaybackController& operator=(const PlaybackController&) = delete;

  /// Binds the controller into the App: the hooks ToggleStartPause, AdvanceClip and
  /// OnTimerTick; StopReading runs ResetForNewBook and OnClose runs Shutdown, each before the
  /// hook that was set there earlier; and the player's end-of-clip notice. Call once, on the
  /// UI thread, before App::Start().
  void Install();

  /// The last step of every tick that was not cut short (a book is loaded and 按钮1 is
  /// enabled): the launch of the synthesis worker, which the worker sets here. Runs on the UI
  /// thread after the playback steps. Set it on the UI thread; empty: no launch step.
  void SetLaunchStep(std::function<void()> launch);

  // --- Entry points; UI thread -------------------------------------------------------------

  /// 按钮1 and Alt+Space. "开始": caption "暂停" and resume the paused or started reading, or
  /// start clip 0 (caption "等待合成" and CurrentClip -1 while 0.mp3 does not exist); it also
  /// lets synthesis try an audio cache that could not be written again. Any other
  /// caption: pause and caption "开始". Ignored while 按钮1 is disabled: the hotkey arrives
  /// before the voice list has made the button usable.
  void ToggleStartPause();

  /// 按钮4 "跳过" and the tick. When clip CurrentClip + 1 exists: it becomes current (its line
  /// shown, the queue moved on, "行号" and at a chapter's first clip "阅读历史" written, the
  /// chapter list's row moved), the previous clip is deleted and the new one plays, through
  /// StartAfterWait when it had been waited for. Otherwise the caption becomes "等待合成" and
  /// the playing clip goes on. Ignored while 按钮1 is disabled.
  void AdvanceClip();

  /// 时钟1: shows "当前缓存：" followed by SynthesizedCount - CurrentClip in 标签1; then, with a
  /// book loaded and 按钮1 enabled, advances when the clip being heard has ended and runs the
  /// launch step.
  void OnTimerTick();

  /// Stops reading for a book that replaces the one being read: ends StartAfterWait, closes
  /// the player, CurrentClip = 0, PlaybackStarted = false, and a playing caption ("暂停",
  /// "等待合成", "启动输出..") back to "开始". The audio cache, SynthesizedCount and the queue
  /// with ChapterStartClips are the importer's to reset, before it reloads the queue.
  void ResetForNewBook();

  /// Moves within the clip being heard by `deltaMs` (negative: back), playing or paused.
  void SeekBy(std::int64_t deltaMs);

  /// Saves the position with the place inside the clip being heard ("行内位置"), when a line
  /// has been entered. Runs at a pause, at Shutdown and every few seconds while playing.
  void SavePlace();

  /// Ends StartAfterWait (joined), clears the end-of-clip notice and closes the player. Later
  /// calls of the entry points and posted work do nothing. Runs in App::Close(); a second call
  /// does nothing.
  void Shutdown();

  /// True from the start of a StartAfterWait thread until its body has returned.
  bool StartAfterWaitRunning() const { return waiterRunning_.load(); }

 private:
  // Hooks and posted work reach the controller through this cell, which the destructor
  // empties, so they never call a controller that is gone.
  struct Link {
    PlaybackController* self = nullptr;
  };

  std::string Caption() const;
  void SetCaption(std::string_view caption);
  bool ButtonEnabled() const;
  /// Marks a change of what the player holds; an end notice from before it is stale.
  void NextClipSerial() { clipSerial_.fetch_add(1); }

  /// The advance step shared by the tick and the end of a clip.
  void AdvanceIfClipEnded();
  /// Posts the end of the clip that clipSerial_ named at the time of the call.
  void PostClipEnded();
  void OnClipEnded(std::uint64_t serial);
  /// Writes "行号" for `clip` and applies the chapter starts at `clip`. Caller holds mutex_.
  void EnterClip(std::int32_t clip);
  /// Opens clip `clip` and plays it from `fromMs` (-1: the player's default, the start of a
  /// fresh clip); the first clip after a load resumes at ResumePlaceMs instead. Caller holds
  /// mutex_.
  void StartClip(std::int32_t clip, std::int64_t fromMs);
  void SavePlaceLocked();
  /// Starts StartAfterWait; caller holds mutex_. Without a thread the clip plays at once.
  void LaunchStartAfterWait();
  void StartAfterWait(std::stop_token stop);
  /// Asks StartAfterWait to end and joins it. Caller must not hold mutex_.
  void StopStartAfterWait();

  App& app_;
  AppState& state_;
  MainWindow& window_;
  UiThread& ui_;
  ClipPlayer& player_;

  std::mutex mutex_;  // caption decisions and player commands
  std::jthread waiter_;
  std::atomic<bool> waiterRunning_{false};
  std::atomic<std::uint64_t> clipSerial_{0};
  std::function<void()> launch_;
  std::shared_ptr<Link> link_;
  // Ticks since the place inside the clip was last saved.
  int ticksSincePlaceSaved_ = 0;
  // Which piece of its line the clip being heard is (0: the first); only the first piece's
  // place is saved, since a restart begins at the line's first piece.
  int pieceOfLine_ = 0;
  bool installed_ = false;
  bool closed_ = false;  // UI thread
};

}  // namespace lectoria
