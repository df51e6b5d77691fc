// The state shared between the player's callers and its audio output: the open clip, the
// position in it, whether it plays, and how (speed and volume).
//
// The clip's frames reach the output through up to three stages: a time-stretcher while the
// speed is not 1 (at 1 the frames pass untouched), SDL's converter when the device's format
// differs from the clip's, and the volume's gain (none at full volume).
//
// The application calls the control side from its threads; the output pulls samples from the
// output side on its own thread (SDL's audio callback, or the silent sink's clock thread). One
// mutex guards everything; no critical section blocks or calls out, so the audio callback never
// waits long. A clip ends on the output thread, at the moment its last samples have been
// played; the end is queued for the player's notice thread, which tells the application.
#pragma once

#include <SDL_audio.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "audio/mp3_decoder.h"
#include "audio/output_tap.h"
#include "audio/time_stretcher.h"
#include "platform/clip_player.h"

namespace lectoria {

/// The format the output takes. rate 0 means no device: the silent sink consumes each clip at
/// its own rate, so no conversion is needed.
struct OutputFormat {
  int rate = 0;
  int channels = 0;
};

/// A clip that played to its end. `run` identifies the play that ended (see IsCurrentEnd).
struct ClipEnd {
  std::uint64_t run = 0;
  std::string name;
  std::chrono::system_clock::time_point when;
  std::int64_t sound_ms = 0;  // output of the clip's audio since it was opened or last played
                              // from a position, in real time
};

enum class PauseResult { kNothing, kPaused, kResumed };

class PlaybackCore {
 public:
  explicit PlaybackCore(OutputFormat output);
  ~PlaybackCore();
  PlaybackCore(const PlaybackCore&) = delete;
  PlaybackCore& operator=(const PlaybackCore&) = delete;

  // --- Control side (any thread) ---

  /// Replaces the open clip (if any) by `clip`, stopped at its start. False when the converter
  /// to the output format cannot be made; nothing is open then.
  bool Install(std::shared_ptr<const DecodedClip> clip, std::string name);
  /// Closes the open clip; returns its name, empty when nothing was open.
  std::string Close();
  /// fromMs -1 plays on from the current position; otherwise from that position (0 to the
  /// clip's length). False when nothing is open or the position is out of range.
  bool Play(std::int64_t fromMs, std::string* name = nullptr);
  /// Pauses a playing clip, resumes a paused one; does nothing otherwise.
  PauseResult Pause(std::string* name = nullptr);
  /// Moves to `ms` (relative: the current position + `ms`), held within the clip; the state
  /// stays. False when nothing is open. `landed` receives the new position.
  bool Seek(std::int64_t ms, bool relative, std::string* name = nullptr,
            std::int64_t* landed = nullptr);
  /// Speed 1 passes the clip untouched; any other is the time-stretcher's. The caller checks
  /// the range.
  void SetSpeed(double speed);
  double Speed();
  /// Gain in percent, 0 to 100 (checked by the caller).
  void SetVolume(int percent);
  int Volume();
  PlayerStatus Status();
  std::int64_t PositionMs();
  std::int64_t LengthMs();
  /// Replaces the tap (empty: none). Waits for a running call of the old one to return. The
  /// tap runs on the output thread and must not call the core.
  void SetOutputTap(OutputTap tap);

  // --- Output side ---

  /// Fills `bytes` bytes of output in the output format (silence when nothing plays). Called
  /// by the audio device once per buffer.
  void Render(std::uint8_t* out, std::size_t bytes);
  /// Plays `elapsed` of real time of a playing clip, in the clip's own format, without a
  /// device (silent sink): the audio is rendered and passed to the tap only.
  void Consume(std::chrono::nanoseconds elapsed);
  /// Blocks until a clip plays (true) or `stop` is set and WakeWaiters called (false).
  bool WaitUntilPlaying(const std::atomic<bool>& stop);
  /// Sleeps for `duration`, or until `stop` is set and WakeWaiters called.
  void SleepFor(std::chrono::nanoseconds duration, const std::atomic<bool>& stop);

  // --- End notices ---

  /// Blocks until a clip end is queued (returns it) or `stop` is set (returns nothing).
  std::optional<ClipEnd> WaitForEnd(const std::atomic<bool>& stop);
  /// True while the play that produced an end is still the latest event: the clip was not
  /// played, reopened or closed since it ended.
  bool IsCurrentEnd(std::uint64_t run);

  /// Wakes every waiter so that it sees its stop flag.
  void WakeWaiters();

 private:
  enum class State { kNone, kStopped, kPlaying, kPaused };

  std::size_t FillLocked(std::int16_t* out, std::size_t samples);
  std::size_t PullLocked(std::int16_t* out, std::size_t frames);
  void MoveToLocked(std::size_t frame);
  void UseSpeedLocked(double speed);
  std::int64_t PositionMsLocked() const;
  void AbandonConversionLocked();
  bool SourceDrainedLocked() const;
  bool DrainedLocked() const;
  void FinishLocked();
  void Deliver(std::span<std::int16_t> samples, int volume, int rate, int channels);

  const OutputFormat output_;
  std::mutex mutex_;
  std::condition_variable wake_;  // playing started, end queued, or stop requested
  std::shared_ptr<const DecodedClip> clip_;
  std::string name_;
  SDL_AudioStream* converter_ = nullptr;      // clip format -> output format; null when equal
  std::unique_ptr<TimeStretcher> stretcher_;  // for the open clip's format
  State state_ = State::kNone;
  double speed_ = 1.0;
  int volume_ = 100;
  bool stretching_ = false;         // the clip's frames go through the stretcher
  bool stretcher_flushed_ = false;  // the stretcher has been given the clip's last frame
  std::size_t frame_ = 0;           // next source frame to hand on
  bool last_handed_out_ = false;    // the device holds the clip's last samples
  std::int64_t consume_carry_ = 0;  // silent sink: fraction of a frame, in ns * rate
  std::uint64_t sound_frames_ = 0;  // output frames of the clip since opened or played from
  std::uint64_t run_ = 0;           // bumped by every open, close, play and seek
  std::deque<ClipEnd> ends_;
  std::vector<std::int16_t> chunk_;        // clip frames on their way to the converter
  std::vector<std::int16_t> sink_buffer_;  // silent sink: the audio of one step

  std::mutex tap_mutex_;  // held while the tap runs
  OutputTap tap_;
  std::atomic<bool> has_tap_{false};
};

}  // namespace lectoria
