// The media player port: plays one MP3 clip at a time.
//
// The playback controller drives it with plain calls and polls its status once a second; an
// implementation may also report the end of a clip through the end-of-clip notice so that the
// next line starts without waiting for the poll.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>

namespace lectoria {

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
  /// played again, reopened or closed before the notice could run. It runs on a thread of the
  /// player's choosing; the receiver must hand the work to its own thread (and may find the
  /// status already changed by then). An empty function clears the notice.
  virtual void SetEndOfClipNotice(std::function<void()> notice) = 0;
};

}  // namespace lectoria
