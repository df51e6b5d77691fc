// What long evenings of listening ask for around the form's controls: speed and volume, the
// sleep timer, the remembered window and text size, and the desktop's media controls.
#pragma once

#include "app/core/app.h"
#include "app/listening/media_controls.h"
#include "app/listening/playback_tuning.h"
#include "app/listening/sleep_timer.h"
#include "app/listening/window_settings.h"

namespace lectoria {

class Comforts {
 public:
  /// Destroy only after App::Close() (or before App::Start()).
  explicit Comforts(App& app)
      : tuning_(app), sleepTimer_(app), windowSettings_(app), media_(app, tuning_) {}

  /// Installs each part (see theirs). Call once, on the UI thread, before App::Start() and
  /// after the playback controller's Install.
  void Install() {
    windowSettings_.Install();
    tuning_.Install();
    sleepTimer_.Install();
  }

  PlaybackTuning& tuning() { return tuning_; }
  SleepTimer& sleepTimer() { return sleepTimer_; }
  WindowSettings& windowSettings() { return windowSettings_; }
  MediaControls& media() { return media_; }

 private:
  PlaybackTuning tuning_;
  SleepTimer sleepTimer_;
  WindowSettings windowSettings_;
  MediaControls media_;
};

}  // namespace lectoria
