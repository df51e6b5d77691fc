// The playback speed and volume: chosen in 组合框_语速 and on 滑块条_音量 or with the keyboard,
// applied to the player at once (the player time-stretches, keeping the pitch, so a clip that
// is playing changes speed where it is and nothing is synthesized again), and kept in
// config.ini under [播放].
#pragma once

#include <array>

#include "app/core/app.h"

namespace lectoria {

class PlaybackTuning {
 public:
  /// The speeds offered, slowest first.
  static constexpr std::array<double, 11> kSpeeds = {0.5, 0.75, 1.0, 1.25, 1.5, 1.75,
                                                     2.0, 2.25, 2.5, 2.75, 3.0};
  /// The volume moves by this much (percent) per shortcut.
  static constexpr int kVolumeStep = 10;

  /// `app` must stay alive, and the tuning must not be destroyed, while the App runs.
  explicit PlaybackTuning(App& app) : app_(app) {}
  PlaybackTuning(const PlaybackTuning&) = delete;
  PlaybackTuning& operator=(const PlaybackTuning&) = delete;

  /// Fills 组合框_语速, reads the stored speed and volume (missing, unreadable or out-of-range
  /// values give 1 and 100),
  /// applies them to the player and the controls, and binds the controls and the shortcuts.
  /// Call once, before App::Start(). UI thread.
  void Install();

  double Speed() const { return kSpeeds[speedIndex_]; }
  int Volume() const { return volume_; }
  /// The offered speed nearest to `speed` (held to the range; not-a-number gives 1) becomes
  /// the speed: applied, shown and stored.
  void SetSpeed(double speed);
  /// Moves `steps` offered speeds faster (negative: slower), held to the range.
  void StepSpeed(int steps);
  /// `percent` held to 0-100: applied, shown and stored.
  void SetVolume(int percent);

 private:
  void ApplySpeed(std::size_t index);
  void ApplyVolume(int percent);

  App& app_;
  std::size_t speedIndex_ = 2;  // 1×
  int volume_ = 100;
};

}  // namespace lectoria
