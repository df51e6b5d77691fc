// The media player port: plays one MP3 clip at a time.
//
// The playback controller drives it with plain calls and polls its status once a second; an
// implementation may also report the end of a clip through the end-of-clip notice so that the
// next line starts without waiting for the poll.
//
// Positions and lengths are in the clip's own time at every speed: 10 000 ms is ten seconds of
// the recorded audio, which plays in five seconds at speed 2. A position saved at one speed
// therefore means the same place at another.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

namespace lectoria {

/// The range of playback speeds; 1 is the speed the clip was recorded at.
inline constexpr double kMinPlaybackSpeed = 0.5;
inline constexpr double kMaxPlaybackSpeed = 3.0;
/// The loudest volume, in percent; 0 is silent.
inline constexpr int kMaxVolume = 100;

/// Player states as the controller reads them.
enum class PlayerStatus : int {
  kNone = 0,  // nothing open, or an error
  kPlaying = 1,
  kStopped = 2,  // open, at the end of the clip or never started
  kPaused = 3,
};

class ClipPlayer {
 public:
  virtual ~ClipPlayer() = default;

  /// Closes what was open, then opens `path`. A file that cannot be read or is not MP3 fails
  /// and leaves nothing open (status kNone). Returns true on success.
  virtual bool Open(const std::filesystem::path& path) = 0;

  /// fromMs = -1: play from the current position (resumes a pause); otherwise from that
  /// position in milliseconds (0 is the start).
  virtual bool Play(std::int64_t fromMs = -1) = 0;

  /// Pauses; a pause that directly follows another pause (no play between) resumes instead.
  /// Pause and resume alternate, so a third pause in a row pauses again.
  virtual bool Pause() = 0;

  /// The state right now. A playing clip reports kPlaying until its last samples have been
  /// played, and kStopped from then on.
  virtual PlayerStatus Status() = 0;

  /// Stops and closes the open clip (if any); the status becomes kNone.
  virtual void Close() = 0;

  /// Called once each time an open clip has played its last sample, but not when the clip was
  /// played again, moved, reopened or closed before the notice could run. It runs on a thread
  /// of the player's choosing; the receiver must hand the work to its own thread (and may find
  /// the status already changed by then). An empty function clears the notice.
  virtual void SetEndOfClipNotice(std::function<void()> notice) = 0;

  // The settings and moves below have neutral defaults, so a player without them keeps
  // working: it plays at speed 1 and full volume and refuses everything else.

  /// Sets the playback speed, from kMinPlaybackSpeed to kMaxPlaybackSpeed, with the pitch
  /// kept. It applies at once, also to a clip that is playing, and to every clip opened later.
  /// Other values (and not-a-number) fail and change nothing.
  virtual bool SetSpeed(double speed) { return speed == 1.0; }
  virtual double Speed() { return 1.0; }

  /// Sets the volume in percent, 0 to kMaxVolume; at once and for later clips. Other values
  /// fail and change nothing.
  virtual bool SetVolume(int percent) { return percent == kMaxVolume; }
  virtual int Volume() { return kMaxVolume; }

  /// Moves the open clip to `ms` (clip time), held to between its start and its end. A playing
  /// clip plays on from there (moved to its end, it ends at once, with its notice); a paused or
  /// stopped one stays so, and Play(-1) later starts there. A pending end-of-clip notice of
  /// the clip is dropped. Fails when nothing is open.
  virtual bool SeekTo(std::int64_t ms) { return false; }
  /// SeekTo(the current position + deltaMs): negative moves back.
  virtual bool SeekBy(std::int64_t deltaMs) { return false; }

  /// Position and length of the open clip in milliseconds of clip time (0 when nothing is
  /// open). The position is what has gone to the sound device: audio the player still holds
  /// (while stretching or converting) is not counted; the device's own buffer (some tens of
  /// milliseconds) is.
  virtual std::int64_t PositionMs() { return 0; }
  virtual std::int64_t LengthMs() { return 0; }
};

}  // namespace lectoria
