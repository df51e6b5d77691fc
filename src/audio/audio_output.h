// The two outputs the player can drive: an SDL audio device, and a silent sink that keeps
// real time without a device. Both pull from a PlaybackCore.
#pragma once

#include <SDL_audio.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "audio/playback_core.h"

namespace lectoria {

/// The default audio device, opened once and kept open for the player's lifetime. Its
/// callback renders whatever the core plays (silence when nothing does).
class SdlOutput {
 public:
  /// Initialises SDL's audio subsystem (only that one) and opens the default device, paused.
  /// Returns nothing and sets `error` when no device opens.
  static std::unique_ptr<SdlOutput> Open(std::string* error);
  ~SdlOutput();
  SdlOutput(const SdlOutput&) = delete;
  SdlOutput& operator=(const SdlOutput&) = delete;

  OutputFormat format() const { return format_; }
  /// The driver and format, for the trace.
  std::string Describe() const;
  /// Starts the device, rendering from `core`, which must outlive this output.
  void Start(PlaybackCore* core);

 private:
  SdlOutput() = default;  // Open sets the device once `this` can be its callback's argument
  static void Callback(void* self, Uint8* stream, int length);

  SDL_AudioDeviceID device_ = 0;
  OutputFormat format_;
  PlaybackCore* core_ = nullptr;  // set before the device starts, never changed afterwards
};

/// A sink without a device: a thread that plays the clip with the steady clock, rendering it
/// in the clip's own format as a device would (speed and volume applied) and dropping the
/// audio, so clips take as long as they would with sound.
class SilentOutput {
 public:
  /// Starts the thread; `core` must outlive this output.
  explicit SilentOutput(PlaybackCore& core);
  /// Stops and joins the thread.
  ~SilentOutput();
  SilentOutput(const SilentOutput&) = delete;
  SilentOutput& operator=(const SilentOutput&) = delete;

 private:
  void Run();

  PlaybackCore& core_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

}  // namespace lectoria
