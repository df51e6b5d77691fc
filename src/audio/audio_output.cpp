#include "audio/audio_output.h"

#include <SDL.h>

#include <chrono>

namespace lectoria {
namespace {

constexpr int kPreferredRate = 48000;
constexpr int kChannels = 2;
// About 21 ms at 48 kHz: short enough that a clip's end is noticed promptly, long enough
// that the callback does not run too often.
constexpr Uint16 kBufferFrames = 1024;
// How often the silent sink advances the clip.
constexpr std::chrono::milliseconds kSilentTick{5};

}  // namespace

std::unique_ptr<SdlOutput> SdlOutput::Open(std::string* error) {
  // The program handles its own signals; SDL must not install handlers for SIGINT/SIGTERM.
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
  SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "Lectoria");
  if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
    if (error) *error = SDL_GetError();
    return nullptr;
  }
  std::unique_ptr<SdlOutput> output(new SdlOutput());
  SDL_AudioSpec want{};
  want.freq = kPreferredRate;
  want.format = AUDIO_S16SYS;
  want.channels = kChannels;
  want.samples = kBufferFrames;
  want.callback = &SdlOutput::Callback;
  want.userdata = output.get();
  SDL_AudioSpec have{};
  // Only the rate may differ from the request; SDL adapts channels and sample format itself,
  // so the core always renders 16-bit stereo. The device opens paused.
  output->device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, SDL_AUDIO_ALLOW_FREQUENCY_CHANGE);
  if (output->device_ == 0) {
    if (error) *error = SDL_GetError();
    return nullptr;  // the destructor quits the subsystem again
  }
  output->format_ = OutputFormat{have.freq, kChannels};
  return output;
}

SdlOutput::~SdlOutput() {
  // Closing waits for a running callback to return, so the core is not touched afterwards.
  if (device_ != 0) SDL_CloseAudioDevice(device_);
  SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

std::string SdlOutput::Describe() const {
  const char* driver = SDL_GetCurrentAudioDriver();
  return std::string("SDL audio (") + (driver ? driver : "?") + "), " +
         std::to_string(format_.rate) + " Hz, " + std::to_string(format_.channels) + " ch";
}

void SdlOutput::Start(PlaybackCore* core) {
  SDL_LockAudioDevice(device_);
  core_ = core;
  SDL_UnlockAudioDevice(device_);
  SDL_PauseAudioDevice(device_, 0);
}

void SdlOutput::Callback(void* self, Uint8* stream, int length) {
  PlaybackCore* core = static_cast<SdlOutput*>(self)->core_;
  if (core) {
    core->Render(stream, static_cast<std::size_t>(length));
  } else {
    SDL_memset(stream, 0, static_cast<std::size_t>(length));
  }
}

SilentOutput::SilentOutput(PlaybackCore& core) : core_(core), thread_([this] { Run(); }) {}

SilentOutput::~SilentOutput() {
  stop_ = true;
  core_.WakeWaiters();
  thread_.join();
}

void SilentOutput::Run() {
  using Clock = std::chrono::steady_clock;
  while (core_.WaitUntilPlaying(stop_)) {
    Clock::time_point last = Clock::now();
    while (!stop_) {
      core_.SleepFor(kSilentTick, stop_);
      const Clock::time_point now = Clock::now();
      core_.Consume(now - last);
      last = now;
      if (core_.Status() != PlayerStatus::kPlaying) break;
    }
  }
}

}  // namespace lectoria
