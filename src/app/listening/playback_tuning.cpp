#include "app/listening/playback_tuning.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string>

#include "app/state/config_sections.h"
#include "app/window/control_names.h"
#include "platform/codepage.h"

namespace lectoria {
namespace {

using namespace config_keys;

constexpr std::size_t kNormalIndex = 2;

std::size_t NearestIndex(double speed) {
  if (std::isnan(speed)) return kNormalIndex;
  std::size_t best = 0;
  for (std::size_t i = 1; i < PlaybackTuning::kSpeeds.size(); ++i) {
    if (std::abs(PlaybackTuning::kSpeeds[i] - speed) <
        std::abs(PlaybackTuning::kSpeeds[best] - speed))
      best = i;
  }
  return best;
}

// "0.5×", "1×", "1.25×": the shortest decimal form. to_chars ignores the locale, which the
// toolkit sets from the environment (a decimal comma would not read back).
std::string SpeedText(double speed) {
  char digits[32];
  const auto end = std::to_chars(digits, digits + sizeof digits, speed).ptr;
  return std::string(digits, end);
}

}  // namespace

void PlaybackTuning::Install() {
  MainWindow& w = app_.window();
  std::vector<std::string> items;
  for (double speed : kSpeeds) items.push_back(SpeedText(speed) + Utf8ToGbk("×"));
  w.SetItems(ctl::组合框_语速, std::move(items));

  const IniFile& ini = app_.config().file();
  const std::string speedText = ini.Read(kPlaybackSection, kSpeed);
  double speed = 1.0;
  const auto [end, ec] =
      std::from_chars(speedText.data(), speedText.data() + speedText.size(), speed);
  // Anything but a speed in the offered range is a damaged value: the recorded speed.
  if (ec != std::errc() || end != speedText.data() + speedText.size() ||
      !(speed >= kSpeeds.front() && speed <= kSpeeds.back()))
    speed = 1.0;
  ApplySpeed(NearestIndex(speed));

  const std::string volumeText = ini.Read(kPlaybackSection, kVolume);
  int volume = 100;
  const auto [vend, vec] =
      std::from_chars(volumeText.data(), volumeText.data() + volumeText.size(), volume);
  if (vec != std::errc() || vend != volumeText.data() + volumeText.size() || volume < 0 ||
      volume > 100)
    volume = 100;
  ApplyVolume(volume);

  w.Bind(ctl::组合框_语速, ControlEvent::kItemSelected, [this] {
    const std::int32_t index = app_.window().SelectedIndex(ctl::组合框_语速);
    if (index >= 0) SetSpeed(kSpeeds[static_cast<std::size_t>(index) % kSpeeds.size()]);
  });
  w.Bind(ctl::滑块条_音量, ControlEvent::kValueChanged,
         [this] { SetVolume(app_.window().Value(ctl::滑块条_音量)); });
  w.Bind(Command::kFaster, [this] { StepSpeed(1); });
  w.Bind(Command::kSlower, [this] { StepSpeed(-1); });
  w.Bind(Command::kNormalSpeed, [this] { SetSpeed(1.0); });
  w.Bind(Command::kLouder, [this] { SetVolume(volume_ + kVolumeStep); });
  w.Bind(Command::kQuieter, [this] { SetVolume(volume_ - kVolumeStep); });
}

void PlaybackTuning::SetSpeed(double speed) {
  ApplySpeed(NearestIndex(speed));
  IniFile(app_.state().R.ConfigIni()).Write(kPlaybackSection, kSpeed, SpeedText(Speed()));
}

void PlaybackTuning::StepSpeed(int steps) {
  const int index =
      std::clamp(static_cast<int>(speedIndex_) + steps, 0, static_cast<int>(kSpeeds.size()) - 1);
  SetSpeed(kSpeeds[static_cast<std::size_t>(index)]);
}

void PlaybackTuning::SetVolume(int percent) {
  ApplyVolume(std::clamp(percent, 0, 100));
  IniFile(app_.state().R.ConfigIni()).WriteInt(kPlaybackSection, kVolume, volume_);
}

void PlaybackTuning::ApplySpeed(std::size_t index) {
  speedIndex_ = index;
  app_.ports().player.SetSpeed(Speed());
  app_.window().SetSelectedIndex(ctl::组合框_语速, static_cast<std::int32_t>(index));
}

void PlaybackTuning::ApplyVolume(int percent) {
  volume_ = percent;
  app_.ports().player.SetVolume(percent);
  app_.window().SetValue(ctl::滑块条_音量, percent);
}

}  // namespace lectoria
