#include "app/reading/playback_controller.h"

#include <algorithm>
#include <system_error>

#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "platform/file_util.h"

namespace lectoria {
namespace {

// The wake-up clip sounds this many times, for about this long each, before a waited clip.
constexpr int kWakeRepeats = 3;
constexpr std::int32_t kWakeMs = 1000;
// How often StartAfterWait looks at the clip it watches.
constexpr std::int32_t kWatchMs = 100;
// While a clip plays, its place is saved every this many ticks.
constexpr int kPlaceSaveTicks = 5;

}  // namespace

PlaybackController::PlaybackController(App& app)
    : app_(app),
      state_(app.state()),
      window_(app.window()),
      ui_(app.ports().ui),
      player_(app.ports().player),
      link_(std::make_shared<Link>(Link{this})) {}

PlaybackController::~PlaybackController() {
  Shutdown();
  link_->self = nullptr;
}

void PlaybackController::Install() {
  if (installed_) return;
  installed_ = true;
  AppHooks& hooks = app_.hooks();
  const std::shared_ptr<Link> link = link_;
  hooks.ToggleStartPause = [link] {
    if (link->self) link->self->ToggleStartPause();
  };
  hooks.AdvanceClip = [link] {
    if (link->self) link->self->AdvanceClip();
  };
  hooks.OnTimerTick = [link] {
    if (link->self) link->self->OnTimerTick();
  };
  hooks.StopReading = [link, earlier = std::move(hooks.StopReading)] {
    if (link->self) link->self->ResetForNewBook();
    if (earlier) earlier();
  };
  hooks.OnClose = [link, earlier = std::move(hooks.OnClose)] {
    if (link->self) link->self->Shutdown();
    if (earlier) earlier();
  };
  // The notice runs on the player's thread: it only hands the end over to the UI thread.
  // Shutdown clears it (the player waits for a running call), so `this` outlives every call.
  player_.SetEndOfClipNotice([this] { PostClipEnded(); });
}

void PlaybackController::SetLaunchStep(std::function<void()> launch) {
  launch_ = std::move(launch);
}

std::string PlaybackController::Caption() const {
  return window_.Text(ctl::按钮1);
}

void PlaybackController::SetCaption(std::string_view caption) {
  window_.SetText(ctl::按钮1, caption);
}

bool PlaybackController::ButtonEnabled() const {
  return window_.IsEnabled(ctl::按钮1);
}

void PlaybackController::ToggleStartPause() {
  if (closed_ || !ButtonEnabled()) return;
  std::lock_guard lock(mutex_);
  const PlayerStatus status = player_.Status();
  if (Caption() != texts::kCaptionStart) {
    // Only a playing clip is paused: the player's pause resumes a clip that is already
    // paused, which would leave it sounding under the caption "开始".
    if (status == PlayerStatus::kPlaying) player_.Pause();
    SetCaption(texts::kCaptionStart);
    SavePlaceLocked();
    return;
  }
  SetCaption(texts::kCaptionPause);
  // Pressing start is the user's word that the audio cache may be tried again.
  state_.AudioCacheUnwritable = false;
  // StartAfterWait follows the caption itself.
  if (state_.StartAfterWaitActive) return;
  if (status == PlayerStatus::kPaused || state_.PlaybackStarted) {
    // Resumes the paused clip. A clip that had already ended ends again at once, and its
    // end moves reading on; with nothing open the next tick does.
    player_.Play(-1);
    return;
  }
  if (!state_.BookLoaded) return;
  const std::filesystem::path first = state_.R.Clip(0);
  if (!FileExists(first)) {
    SetCaption(texts::kCaptionWaiting);
    state_.CurrentClip = -1;
    return;
  }
  state_.CurrentClip = 0;
  EnterClip(0);
  NextClipSerial();
  StartClip(0, -1);
  state_.PlaybackStarted = true;
}

void PlaybackController::OnTimerTick() {
  if (closed_) return;
  const std::int64_t cached =
      std::int64_t{state_.SynthesizedCount.load()} - state_.CurrentClip.load();
  window_.SetText(ctl::标签1, std::string(texts::kCachePrefix) + std::to_string(cached));
  if (!state_.BookLoaded || !ButtonEnabled()) return;
  if (++ticksSincePlaceSaved_ >= kPlaceSaveTicks && player_.Status() == PlayerStatus::kPlaying) {
    std::lock_guard lock(mutex_);
    SavePlaceLocked();
  }
  AdvanceIfClipEnded();
  if (launch_) launch_();
}

void PlaybackController::AdvanceIfClipEnded() {
  const std::string caption = Caption();
  if (caption != texts::kCaptionPause && caption != texts::kCaptionWaiting) return;
  if (state_.StartAfterWaitActive) return;
  // Asked a second time for "nothing open": a clip that failed to open is passed over.
  if (player_.Status() != PlayerStatus::kStopped && player_.Status() != PlayerStatus::kNone) return;
  // The line has been heard to its end: here, and only here, reading may be held (sleep timer).
  if (const auto& hold = app_.hooks().HoldAtLineEnd; hold && hold()) {
    std::lock_guard lock(mutex_);
    SetCaption(texts::kCaptionStart);
    return;
  }
  AdvanceClip();
}

void PlaybackController::PostClipEnded() {
  const std::uint64_t serial = clipSerial_.load();
  ui_.Post([link = link_, serial] {
    if (link->self) link->self->OnClipEnded(serial);
  });
}

void PlaybackController::OnClipEnded(std::uint64_t serial) {
  // A clip started, closed or reopened since the end was seen: the tick or an earlier end
  // has already moved on, so this end must not advance a second time.
  if (closed_ || serial != clipSerial_.load()) return;
  if (!state_.BookLoaded || !ButtonEnabled()) return;
  AdvanceIfClipEnded();
}

void PlaybackController::AdvanceClip() {
  if (closed_ || !ButtonEnabled()) return;
  const std::int32_t next = state_.CurrentClip + 1;
  if (!FileExists(state_.R.Clip(next))) {
    std::lock_guard lock(mutex_);
    SetCaption(texts::kCaptionWaiting);
    return;
  }
  // The clip being left may be one that StartAfterWait watches; the advance takes over.
  StopStartAfterWait();

  std::lock_guard lock(mutex_);
  const bool waited = Caption() == texts::kCaptionWaiting;
  SetCaption(texts::kCaptionPause);
  state_.CurrentClip = next;
  ReadingQueue& queue = state_.ReadingQueue;
  if (next != 0 && queue.Size() >= 2) {
    // Slot 2 holds the clip now starting; after the advance slot 1 does.
    const QueueSlot& starting = queue.Slot(2);
    window_.SetText(ctl::编辑框3, starting.QueueEnd ? texts::kBookEnd : starting.QueueText);
    queue.LoadQueue(false);
  }
  // The position is stored before the clip opens, so it is kept even if the clip fails.
  EnterClip(next);
  NextClipSerial();
  player_.Close();
  RemoveFile(state_.R.Clip(next - 1));
  if (waited) {
    LaunchStartAfterWait();
    return;
  }
  StartClip(next, 0);
  state_.PlaybackStarted = true;
}

void PlaybackController::EnterClip(std::int32_t clip) {
  // The chapter starts up to this clip (one entry per chapter moved on to; a chapter without a
  // usable line gives a second entry for the same clip, so the row moves past it too).
  const ReadingPosition place = PositionOfClip(state_, clip);
  if (place.row < 0) return;
  const ReadingPosition left = PositionOfClip(state_, state_.EnteredClip);
  pieceOfLine_ = state_.EnteredClip >= 0 && left == place ? pieceOfLine_ + 1 : 0;
  state_.CurrentChapterRow = place.row;
  state_.EnteredClip = clip;
  // Row, line and the place inside it (the start) in one save, before the clip opens.
  app_.saveNotices().Saved(SaveNotices::Kind::kPosition,
                           app_.library().SavePosition(place.row, place.line, 0));
  ticksSincePlaceSaved_ = 0;
  app_.place().Show(place);
}

void PlaybackController::StartClip(std::int32_t clip, std::int64_t fromMs) {
  player_.Open(state_.R.Clip(clip));
  const std::int64_t resume = clip == 0 ? state_.ResumePlaceMs.exchange(0) : 0;
  if (resume > 0) {
    player_.SeekTo(resume);
    player_.Play(-1);
  } else {
    player_.Play(fromMs);
  }
}

void PlaybackController::SeekBy(std::int64_t deltaMs) {
  if (closed_) return;
  std::lock_guard lock(mutex_);
  const PlayerStatus status = player_.Status();
  if (status == PlayerStatus::kPlaying || status == PlayerStatus::kPaused) player_.SeekBy(deltaMs);
}

void PlaybackController::SavePlace() {
  if (closed_) return;
  std::lock_guard lock(mutex_);
  SavePlaceLocked();
}

void PlaybackController::SavePlaceLocked() {
  ticksSincePlaceSaved_ = 0;
  if (!state_.BookLoaded || state_.EnteredClip < 0 || state_.EnteredClip != state_.CurrentClip)
    return;
  const QueueSlot* slot = state_.ReadingQueue.FindClip(state_.CurrentClip);
  if (slot == nullptr || slot->QueueEnd) return;
  const PlayerStatus status = player_.Status();
  const bool open = status == PlayerStatus::kPlaying || status == PlayerStatus::kPaused;
  const std::int64_t ms =
      open && pieceOfLine_ == 0 ? std::max<std::int64_t>(player_.PositionMs(), 0) : 0;
  app_.saveNotices().Saved(
      SaveNotices::Kind::kPosition,
      app_.library().SavePosition(state_.CurrentChapterRow, slot->QueueLine, ms));
}

void PlaybackController::LaunchStartAfterWait() {
  // Raised before the thread exists, so no tick or end of clip can advance in between.
  state_.StartAfterWaitActive = true;
  waiterRunning_ = true;
  try {
    waiter_ = std::jthread([this](std::stop_token stop) {
      try {
        StartAfterWait(std::move(stop));
      } catch (...) {
        // An exception leaving the thread would end the program. The clip is given up to the
        // tick, which passes over one that did not open, as it does a damaged clip. It has been
        // entered already: a start pressed before that tick resumes, never enters it again.
        state_.PlaybackStarted = true;
        state_.StartAfterWaitActive = false;
        waiterRunning_ = false;
      }
    });
  } catch (const std::system_error&) {
    // No thread to be had: play the clip at once, without the wake-up.
    waiterRunning_ = false;
    state_.StartAfterWaitActive = false;
    StartClip(state_.CurrentClip, 0);
    state_.PlaybackStarted = true;
  }
}

void PlaybackController::StartAfterWait(std::stop_token stop) {
  if (state_.WakeOutput) {
    for (int i = 0; i < kWakeRepeats && !stop.stop_requested(); ++i) {
      {
        std::lock_guard lock(mutex_);
        // Paused by the user during the wake-up: the wake-up stays silent too.
        if (Caption() != texts::kCaptionStart) {
          SetCaption(texts::kCaptionWaking);
          NextClipSerial();
          player_.Open(state_.R.WakeClip());  // a missing file fails silently
          player_.Play(0);
        }
      }
      ui_.WaitPumpingUnlessStopped(kWakeMs, stop);
    }
  }
  if (!stop.stop_requested()) {
    std::lock_guard lock(mutex_);
    NextClipSerial();
    StartClip(state_.CurrentClip, 0);
    state_.PlaybackStarted = true;
    // A pause pressed during the wake-up holds: the clip waits paused at its start.
    if (Caption() == texts::kCaptionStart) {
      player_.Pause();
    } else {
      SetCaption(texts::kCaptionPause);
    }
  }
  while (!stop.stop_requested()) {
    {
      std::lock_guard lock(mutex_);
      const PlayerStatus status = player_.Status();
      // Ended, or never opened (a damaged clip): the tick's ordinary advance takes over.
      if (status == PlayerStatus::kStopped || status == PlayerStatus::kNone) {
        state_.StartAfterWaitActive = false;
        PostClipEnded();
        break;
      }
      const std::string caption = Caption();
      if (caption == texts::kCaptionStart && status == PlayerStatus::kPlaying) {
        player_.Pause();
      } else if (status == PlayerStatus::kPaused && caption == texts::kCaptionPause) {
        player_.Play(-1);
      }
    }
    ui_.WaitPumpingUnlessStopped(kWatchMs, stop);
  }
  state_.StartAfterWaitActive = false;
  waiterRunning_ = false;
}

void PlaybackController::StopStartAfterWait() {
  if (!waiter_.joinable()) return;
  waiter_.request_stop();
  waiter_.join();
  waiter_ = std::jthread();
  state_.StartAfterWaitActive = false;
}

void PlaybackController::ResetForNewBook() {
  if (closed_) return;
  StopStartAfterWait();
  std::lock_guard lock(mutex_);
  NextClipSerial();
  player_.Close();
  state_.CurrentClip = 0;
  state_.PlaybackStarted = false;
  const std::string caption = Caption();
  if (caption == texts::kCaptionPause || caption == texts::kCaptionWaiting ||
      caption == texts::kCaptionWaking)
    SetCaption(texts::kCaptionStart);
}

void PlaybackController::Shutdown() {
  if (closed_) return;
  StopStartAfterWait();
  if (installed_) player_.SetEndOfClipNotice({});
  std::lock_guard lock(mutex_);
  SavePlaceLocked();  // the place inside the line, for the next start
  closed_ = true;
  NextClipSerial();
  player_.Close();
}

}  // namespace lectoria
