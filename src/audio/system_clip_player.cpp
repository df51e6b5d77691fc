#include "audio/system_clip_player.h"

#include <new>

#include <strings.h>

#include <atomic>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "audio/audio_output.h"
#include "audio/audio_trace.h"
#include "audio/mp3_decoder.h"
#include "audio/playback_core.h"

namespace lectoria {
namespace {

bool IsOffValue(const char* value) {
  for (const char* off : {"", "0", "no", "off", "false"}) {
    if (strcasecmp(value, off) == 0) return true;
  }
  return false;
}

}  // namespace

AudioOptions ParseAudioOptions(const char* audio, const char* trace) {
  AudioOptions options;
  options.silent = audio != nullptr && strcasecmp(audio, "silent") == 0;
  options.trace = trace != nullptr && !IsOffValue(trace);
  return options;
}

AudioOptions AudioOptionsFromEnvironment() {
  return ParseAudioOptions(std::getenv("LECTORIA_AUDIO"), std::getenv("LECTORIA_AUDIO_TRACE"));
}

struct SystemClipPlayer::Impl {
  explicit Impl(const AudioOptions& options) : trace(options.trace, options.trace_stream) {}

  void RunNotices() {
    while (std::optional<ClipEnd> end = core->WaitForEnd(stop)) {
      // An exception leaving this thread would end the program; a notice that fails is lost,
      // and the receiver's poll of the status still sees the end.
      try {
        trace.Line("end " + end->name + " after " + std::to_string(end->sound_ms) + " ms of sound",
                   end->when);
        if (!core->IsCurrentEnd(end->run)) continue;
        std::lock_guard lock(notice_mutex);
        // A copy, so that the notice may replace itself while it runs.
        const std::function<void()> call = notice;
        if (call) call();
      } catch (...) {
      }
    }
  }

  AudioTrace trace;
  std::unique_ptr<SdlOutput> device;
  std::unique_ptr<PlaybackCore> core;
  std::unique_ptr<SilentOutput> silent_output;
  std::mutex notice_mutex;  // held while the notice runs
  std::function<void()> notice;
  std::atomic<bool> stop{false};
  std::thread notifier;
};

SystemClipPlayer::SystemClipPlayer(const AudioOptions& options)
    : impl_(std::make_unique<Impl>(options)) {
  Impl& impl = *impl_;
  std::string error;
  if (!options.silent) impl.device = SdlOutput::Open(&error);
  if (impl.device) {
    impl.core = std::make_unique<PlaybackCore>(impl.device->format());
    impl.device->Start(impl.core.get());
    impl.trace.Line("output: " + impl.device->Describe());
  } else {
    impl.core = std::make_unique<PlaybackCore>(OutputFormat{});
    impl.silent_output = std::make_unique<SilentOutput>(*impl.core);
    if (options.silent) {
      impl.trace.Line("output: silent sink (LECTORIA_AUDIO=silent)");
    } else {
      // Worth saying even without the trace: the reader goes on, but nothing will be heard.
      std::fprintf(stderr, "lectoria: no audio device (%s); clips play silently\n", error.c_str());
      impl.trace.Line("output: silent sink (no audio device: " + error + ")");
    }
  }
  impl.notifier = std::thread([&impl] { impl.RunNotices(); });
}

SystemClipPlayer::~SystemClipPlayer() {
  Impl& impl = *impl_;
  // The outputs stop first, so no clip ends while the rest is taken down.
  impl.device.reset();
  impl.silent_output.reset();
  impl.stop = true;
  impl.core->WakeWaiters();
  impl.notifier.join();
}

bool SystemClipPlayer::Open(const std::filesystem::path& path) {
  Impl& impl = *impl_;
  Close();
  const std::string name = path.string();
  std::string error;
  std::optional<DecodedClip> clip;
  try {
    clip = DecodeMp3File(path, &error);
  } catch (const std::bad_alloc&) {
    // A clip near the size cap on a machine short of memory: it fails to open like a
    // damaged one, and reading goes on with the next.
    clip.reset();
    error = "not enough memory to decode it";
  }
  if (!clip) {
    impl.trace.Line("open failed " + name + ": " + error);
    return false;
  }
  auto shared = std::make_shared<const DecodedClip>(std::move(*clip));
  if (!impl.core->Install(shared, name)) {
    impl.trace.Line("open failed " + name + ": the clip cannot be converted for the device");
    return false;
  }
  impl.trace.Line("open " + name + " (" + std::to_string(shared->LengthMs()) + " ms, " +
                  std::to_string(shared->rate) + " Hz, " + std::to_string(shared->channels) +
                  " ch)");
  return true;
}

bool SystemClipPlayer::Play(std::int64_t fromMs) {
  Impl& impl = *impl_;
  std::string name;
  if (!impl.core->Play(fromMs, &name)) {
    impl.trace.Line("play refused (from " + std::to_string(fromMs) + " ms)");
    return false;
  }
  impl.trace.Line(fromMs < 0 ? "play " + name
                             : "play " + name + " from " + std::to_string(fromMs) + " ms");
  return true;
}

bool SystemClipPlayer::Pause() {
  Impl& impl = *impl_;
  std::string name;
  switch (impl.core->Pause(&name)) {
    case PauseResult::kPaused:
      impl.trace.Line("pause " + name);
      return true;
    case PauseResult::kResumed:
      impl.trace.Line("resume " + name);
      return true;
    default:
      return false;
  }
}

PlayerStatus SystemClipPlayer::Status() {
  return impl_->core->Status();
}

void SystemClipPlayer::Close() {
  const std::string name = impl_->core->Close();
  if (!name.empty()) impl_->trace.Line("close " + name);
}

void SystemClipPlayer::SetEndOfClipNotice(std::function<void()> notice) {
  Impl& impl = *impl_;
  if (std::this_thread::get_id() == impl.notifier.get_id()) {
    // Called from within the notice: the lock is already held by this thread.
    impl.notice = std::move(notice);
    return;
  }
  std::lock_guard lock(impl.notice_mutex);
  impl.notice = std::move(notice);
}

bool SystemClipPlayer::SetSpeed(double speed) {
  // Written so that not-a-number fails too.
  if (!(speed >= kMinPlaybackSpeed && speed <= kMaxPlaybackSpeed)) return false;
  impl_->core->SetSpeed(speed);
  char text[32];
  std::snprintf(text, sizeof text, "speed %g", speed);
  impl_->trace.Line(text);
  return true;
}

double SystemClipPlayer::Speed() {
  return impl_->core->Speed();
}

bool SystemClipPlayer::SetVolume(int percent) {
  if (percent < 0 || percent > kMaxVolume) return false;
  impl_->core->SetVolume(percent);
  impl_->trace.Line("volume " + std::to_string(percent) + "%");
  return true;
}

int SystemClipPlayer::Volume() {
  return impl_->core->Volume();
}

bool SystemClipPlayer::SeekTo(std::int64_t ms) {
  std::string name;
  std::int64_t landed = 0;
  if (!impl_->core->Seek(ms, false, &name, &landed)) return false;
  impl_->trace.Line("seek " + name + " to " + std::to_string(landed) + " ms");
  return true;
}

bool SystemClipPlayer::SeekBy(std::int64_t deltaMs) {
  std::string name;
  std::int64_t landed = 0;
  if (!impl_->core->Seek(deltaMs, true, &name, &landed)) return false;
  impl_->trace.Line("seek " + name + " by " + std::to_string(deltaMs) + " ms to " +
                    std::to_string(landed) + " ms");
  return true;
}

bool SystemClipPlayer::silent() const {
  return impl_->silent_output != nullptr;
}

void SystemClipPlayer::SetOutputTap(OutputTap tap) {
  impl_->core->SetOutputTap(std::move(tap));
}

std::int64_t SystemClipPlayer::PositionMs() {
  return impl_->core->PositionMs();
}

std::int64_t SystemClipPlayer::LengthMs() {
  return impl_->core->LengthMs();
}

std::unique_ptr<ClipPlayer> CreateSystemClipPlayer() {
  return std::make_unique<SystemClipPlayer>(AudioOptionsFromEnvironment());
}

}  // namespace lectoria
