// What the desktop's media controls (media keys, the panel's player applet) see of the reader
// and may ask of it. The core implements it; a desktop adapter (MPRIS on D-Bus) presents it.
#pragma once

#include <cstdint>
#include <string>

namespace lectoria {

enum class MediaStatus { kStopped, kPlaying, kPaused };

/// What is being read, in UTF-8.
struct NowPlaying {
  std::string title;       // the chapter's title
  std::string album;       // the book's name
  std::string line;        // the line being heard
  std::int32_t clip = -1;  // its clip number; -1 when nothing has been read yet
  friend bool operator==(const NowPlaying&, const NowPlaying&) = default;
};

/// Every call on the UI thread.
class MediaRemote {
 public:
  virtual ~MediaRemote() = default;
  virtual MediaStatus Status() const = 0;
  virtual NowPlaying Current() const = 0;

  virtual void PlayPause() = 0;
  /// Starts or resumes reading; nothing when it is reading.
  virtual void Play() = 0;
  /// Pauses; nothing when it is not reading. Stop pauses too: the place is always kept.
  virtual void Pause() = 0;
  virtual void Next() = 0;
  virtual void Previous() = 0;
  /// Shows the window (also when hidden).
  virtual void Raise() = 0;

  /// The playback speed (1 is the recorded speed) and the volume in percent.
  virtual double Speed() const = 0;
  virtual void SetSpeed(double speed) = 0;
  virtual int Volume() const = 0;
  virtual void SetVolume(int percent) = 0;
};

}  // namespace lectoria
