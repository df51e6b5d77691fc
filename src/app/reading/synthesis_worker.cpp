#include "app/reading/synthesis_worker.h"

#include <chrono>
#include <system_error>

#include "app/core/notices.h"
#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "platform/file_util.h"

namespace lectoria {
namespace {

// While Shutdown waits on the UI thread, it lets the UI thread's queue run in slices this long.
constexpr std::int32_t kShutdownPumpMs = 50;
// What the worker asks the service to speak after a line failed ten times: "你好".
constexpr std::string_view kProbeText = "\xC4\xE3\xBA\xC3";

}  // namespace

SynthesisWorker::SynthesisWorker(App& app, const SpeechClient& client)
    : app_(app), client_(client), speech_(app.state()) {}

SynthesisWorker::~SynthesisWorker() {
  *link_ = nullptr;
  Shutdown();
}

void SynthesisWorker::Install(AppHooks& hooks) {
  hooks.OnClose = [link = link_, previous = std::move(hooks.OnClose)] {
    if (previous) previous();
    if (*link != nullptr) (*link)->Shutdown();
  };
  hooks.StopReading = [link = link_, previous = std::move(hooks.StopReading)] {
    if (previous) previous();
    if (*link != nullptr) (*link)->Reset();
  };
}

bool SynthesisWorker::LaunchIfNeeded() {
  AppState& state = app_.state();
  if (stopping_ || !state.BookLoaded || !app_.window().IsEnabled(ctl::按钮1)) return false;
  if (state.SynthesisBusy || state.AudioCacheUnwritable) return false;
  const std::int64_t ahead =
      std::int64_t{state.CurrentClip} + state.CacheSize - std::int64_t{state.SynthesizedCount};
  if (ahead <= 0) return false;  // the cache is full

  const std::int32_t clip = state.SynthesizedCount;
  const QueueSlot* slot = state.ReadingQueue.FindClip(clip);
  // Without the clip's slot there is no line for it: synthesizing the previous line under
  // this clip's number would play the wrong text.
  if (slot == nullptr) return false;
  state.PendingText.Set(slot->QueueText);
  state.PendingIsEnd = slot->QueueEnd;
  if (slot->QueueEnd) {
    state.SynthesisBusy = true;  // the book is synthesized to its end
    return false;
  }

  // The flag goes up before the thread exists, so no later tick can start a second run.
  state.SynthesisBusy = true;
  if (thread_.joinable()) thread_.join();  // a finished run; its thread is about to return
  Run run;
  {
    std::lock_guard lock(commitMutex_);
    run = Run{clip, slot->QueueText, generation_};
  }
  cancel_ = false;
  {
    std::lock_guard lock(lifeMutex_);
    alive_ = true;
  }
  try {
    thread_ = std::thread([this, run = std::move(run)] { SynthesizeNextClip(run); });
  } catch (const std::system_error&) {
    Finish();  // no thread to be had: the next tick tries again
    return false;
  }
  return true;
}

void SynthesisWorker::SynthesizeNextClip(const Run& run) {
  Report(Synthesize(run));
  Finish();
}

SynthesisWorker::Outcome SynthesisWorker::Synthesize(const Run& run) {
  AppState& state = app_.state();
  MainWindow& window = app_.window();

  std::string token = client_.FetchAuthToken(&cancel_);
  state.CurrentToken.Set(token);

  std::string voice;
  std::string style;
  for (int attempt = 0; attempt < kAttempts && !cancel_; ++attempt) {
    // The user may change the voice or the style between attempts.
    voice = window.Text(ctl::组合框_语音);
    style = window.Text(ctl::组合框_语音风格);
    const std::string audio =
        client_.SynthesizeLine(token, run.text, voice, style, speech_, &cancel_);
    if (!audio.empty()) return StoreClip(run, audio);
    if (cancel_) break;
    token = client_.FetchAuthToken(&cancel_);
    state.CurrentToken.Set(token);
    client_.LoadVoiceCatalogue(token, speech_, &cancel_);
    if (cancel_) break;
    app_.ports().ui.WaitPumping(kRetryWaitMs);
  }
  if (cancel_) return Outcome::kCancelled;

  // Ten attempts failed. Whether the line is at fault or the service is, a short text of our
  // own tells: a service that speaks it answers other lines, and this one is given up so the
  // book goes on; one that does not is away, and the line waits for its return rather than
  // the book being skipped through.
  const std::string probe =
      client_.SynthesizeLine(token, kProbeText, voice, style, speech_, &cancel_);
  if (cancel_) return Outcome::kCancelled;
  if (probe.empty()) return Outcome::kServiceUnavailable;
  // The clip is left empty: playback passes over it as over any clip that does not open,
  // after showing its line and storing its position, so everything stays in step.
  const Outcome given = StoreClip(run, {});
  return given == Outcome::kMade ? Outcome::kGivenUp : given;
}

SynthesisWorker::Outcome SynthesisWorker::StoreClip(const Run& run, std::string_view audio) {
  switch (CommitClip(run, audio)) {
    case Commit::kWritten:
      return Outcome::kMade;
    case Commit::kDiscarded:
      return Outcome::kCancelled;
    case Commit::kWriteFailed:
      break;
  }
  // Trying again will not make room on the disk: synthesis rests until the user asks again.
  app_.state().AudioCacheUnwritable = true;
  return Outcome::kCacheUnwritable;
}

void SynthesisWorker::Report(Outcome outcome) {
  MessageBoxPort& messages = app_.ports().messages;
  switch (outcome) {
    case Outcome::kMade:
      failureShown_ = false;
      return;
    case Outcome::kGivenUp:
    case Outcome::kServiceUnavailable:
      // Once until a clip is made again: a service that is away would otherwise raise the box
      // after every series.
      if (failureShown_.exchange(true)) return;
      messages.ShowMessage(texts::kSynthesisFailed, texts::kSynthesisTitle);
      return;
    case Outcome::kCacheUnwritable:
      // Once per start: no run is launched again before the user presses start.
      messages.ShowMessage(texts::kCacheUnwritable, texts::kSynthesisTitle);
      return;
    case Outcome::kCancelled:
      return;
  }
}

SynthesisWorker::Commit SynthesisWorker::CommitClip(const Run& run, std::string_view audio) {
  std::lock_guard lock(commitMutex_);
  if (run.generation != generation_ || stopping_) return Commit::kDiscarded;
  // Written under a temporary name and renamed, so playback never finds a partial clip. No
  // sync to disk: the cache does not outlive the run of the program.
  if (!WriteFileAtomically(app_.state().R.Clip(run.clip), audio, /*syncToDisk=*/false))
    return Commit::kWriteFailed;
  app_.state().SynthesizedCount = run.clip + 1;
  return Commit::kWritten;
}

void SynthesisWorker::Finish() {
  std::lock_guard lock(lifeMutex_);
  app_.state().SynthesisBusy = false;
  alive_ = false;
  ended_.notify_all();
}

void SynthesisWorker::Reset() {
  {
    std::lock_guard lock(commitMutex_);
    ++generation_;
    cancel_ = true;
  }
  AppState& state = app_.state();
  state.PendingText.Set({});
  state.PendingIsEnd = false;
  state.AudioCacheUnwritable = false;  // a new book: the cache is tried afresh
  std::lock_guard lock(lifeMutex_);
  // A run still in flight lowers the flag itself when it ends.
  if (!alive_) state.SynthesisBusy = false;
}

void SynthesisWorker::Shutdown() {
  {
    std::lock_guard lock(commitMutex_);
    stopping_ = true;
    cancel_ = true;
  }
  UiThread& ui = app_.ports().ui;
  const bool onUiThread = ui.IsUiThread();
  std::unique_lock lock(lifeMutex_);
  while (alive_) {
    if (onUiThread) {
      lock.unlock();
      ui.WaitPumping(kShutdownPumpMs);
      lock.lock();
    }
    ended_.wait_for(lock, std::chrono::milliseconds(20), [this] { return !alive_; });
  }
  lock.unlock();
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

bool SynthesisWorker::Running() const {
  std::lock_guard lock(lifeMutex_);
  return alive_;
}

}  // namespace lectoria
