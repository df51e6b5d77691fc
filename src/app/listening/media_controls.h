// The reader as the desktop's media controls see it: reading or paused, the chapter, the book
// and the line being heard, and the commands of the media keys.
#pragma once

#include "app/core/app.h"
#include "app/listening/playback_tuning.h"
#include "app/ports/media_remote.h"

namespace lectoria {

class MediaControls final : public MediaRemote {
 public:
  MediaControls(App& app, PlaybackTuning& tuning) : app_(app), tuning_(tuning) {}

  /// Reading ("暂停", "等待合成", "启动输出.."), paused ("开始" once something has played),
  /// stopped otherwise.
  MediaStatus Status() const override;
  NowPlaying Current() const override;

  /// As the start/pause button (nothing while it is disabled).
  void PlayPause() override;
  void Play() override;
  void Pause() override;
  /// As the skip button.
  void Next() override;
  /// The PreviousLine hook.
  void Previous() override;
  void Raise() override;

  double Speed() const override { return tuning_.Speed(); }
  void SetSpeed(double speed) override { tuning_.SetSpeed(speed); }
  int Volume() const override { return tuning_.Volume(); }
  void SetVolume(int percent) override { tuning_.SetVolume(percent); }

 private:
  App& app_;
  PlaybackTuning& tuning_;
};

}  // namespace lectoria
