// The program's media player: decodes MP3 clips with libmpg123 and plays them through SDL2
// audio, or through a silent sink that keeps real time when no audio device opens.
//
// Environment:
//   LECTORIA_AUDIO=silent    use the silent sink even when an audio device is available
//   LECTORIA_AUDIO_TRACE=1   print a time-stamped line to stderr for the output chosen, for
//                            every clip opened, played, paused, resumed, moved, ended (with
//                            the real time of sound it gave) and closed, and for every change
//                            of speed or volume, so reading can be followed without speakers
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>

#include "audio/output_tap.h"
#include "platform/clip_player.h"

namespace lectoria {

/// How the player is set up; normally read from the environment.
struct AudioOptions {
  bool silent = false;               // skip the audio device; play through the silent sink
  bool trace = false;                // write the trace lines
  std::FILE* trace_stream = stderr;  // where they go
};

/// Interprets the values of LECTORIA_AUDIO and LECTORIA_AUDIO_TRACE (null when unset).
/// "silent" (any case) selects the silent sink; the trace is on for any value other than
/// empty, "0", "no", "off" or "false".
AudioOptions ParseAudioOptions(const char* audio, const char* trace);

/// ParseAudioOptions applied to the process environment.
AudioOptions AudioOptionsFromEnvironment();

/// ClipPlayer over libmpg123 and SDL2. Every operation may be called from any thread.
///
/// A clip is decoded completely when opened. The audio device is opened once, at
/// construction, and kept open (silent between clips); clips whose format differs from the
/// device's are converted by SDL. The status turns from playing to stopped only once the
/// clip's last samples have been played: with a device, when the device asks for the buffer
/// after the one holding them; with the silent sink, when the steady clock has run for the
/// clip's length. The end-of-clip notice then runs once, on the player's own notice thread,
/// unless the clip was played, moved, reopened or closed again in the meantime.
///
/// At a speed other than 1 the clip is time-stretched (pitch kept) on its way to the output;
/// at 1 its samples reach the output untouched, as they do at full volume. The silent sink
/// renders the audio as a device would and plays it at real time, so a clip lasts its length
/// divided by the speed there too.
class SystemClipPlayer final : public ClipPlayer {
 public:
  explicit SystemClipPlayer(const AudioOptions& options);
  /// Stops the output and joins the player's threads; no notice runs after it returns. Must
  /// not be called from within the end-of-clip notice.
  ~SystemClipPlayer() override;
  SystemClipPlayer(const SystemClipPlayer&) = delete;
  SystemClipPlayer& operator=(const SystemClipPlayer&) = delete;

  bool Open(const std::filesystem::path& path) override;
  /// Besides -1 (play on) and 0 (the start), any position up to the clip's length is taken;
  /// other values fail and change nothing. Playing on from the end of a clip that has ended
  /// plays nothing and ends at once, with its notice.
  bool Play(std::int64_t fromMs = -1) override;
  /// Pauses a playing clip and resumes a paused one, so a pause right after a pause resumes.
  /// A clip that is stopped or not open is left as it is (returns false).
  bool Pause() override;
  PlayerStatus Status() override;
  void Close() override;
  /// Replacing or clearing the notice from another thread waits for a running call of the old
  /// one to return, so a receiver may free its state after clearing it.
  void SetEndOfClipNotice(std::function<void()> notice) override;

  bool SetSpeed(double speed) override;
  double Speed() override;
  bool SetVolume(int percent) override;
  int Volume() override;
  bool SeekTo(std::int64_t ms) override;
  bool SeekBy(std::int64_t deltaMs) override;
  std::int64_t PositionMs() override;
  std::int64_t LengthMs() override;

  /// True when the silent sink plays (chosen, or no audio device opened).
  bool silent() const;
  /// Lets `tap` watch the audio as it goes out, after speed and volume: in the device's
  /// format, or in the clip's own on the silent sink. It runs on the output thread, must not
  /// call the player, and is waited for when replaced. Empty: no tap.
  void SetOutputTap(OutputTap tap);

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

/// The player the program uses, set up from the environment.
std::unique_ptr<ClipPlayer> CreateSystemClipPlayer();

}  // namespace lectoria
