// The state shared between the player's callers and its audio output: the open clip, the
// position in it, and whether it plays.
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
#include <string>

#include "audio/mp3_decoder.h"
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
  PlayerStatus Status();
  std::int64_t PositionMs();
  std::int64_t LengthMs();

  // --- Output side ---

  /// Fills `bytes` bytes of output in the output format (silence when nothing plays). Called
  /// by the audio device once per buffer.
  void Render(std::uint8_t* out, std::size_t bytes);
  /// Advances a playing clip by `elapsed` of real time, at the clip's own rate (silent sink).
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

  std::size_t FillLocked(std::uint8_t* out, std::size_t bytes);
  void AbandonConversionLocked();
  bool DrainedLocked() const;
  void FinishLocked();

  const OutputFormat output_;
  std::mutex mutex_;
  std::condition_variable wake_;  // playing started, end queued, or stop requested
  std::shared_ptr<const DecodedClip> clip_;
  std::string name_;
  SDL_AudioStream* converter_ = nullptr;  // clip format -> output format; null when equal
  State state_ = State::kNone;
  std::size_t frame_ = 0;           // next source frame to hand to the output
  bool last_handed_out_ = false;    // the device holds the clip's last samples
  std::int64_t consume_carry_ = 0;  // silent sink: fraction of a frame, in ns * rate
  std::uint64_t run_ = 0;           // bumped by every open, close and play
  std::deque<ClipEnd> ends_;
};

}  // namespace lectoria
