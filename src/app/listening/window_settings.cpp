#include "app/listening/window_settings.h"

#include <cstdlib>
#include <optional>

#include "app/state/config_sections.h"
#include "app/window/control_names.h"

namespace lectoria {
namespace {

using namespace config_keys;

// Beyond these the stored frame is a damaged or foreign value, not a window anybody had.
constexpr int kMaxCoordinate = 100000;
constexpr int kMinWidth = 200;
constexpr int kMinHeight = 150;

// A stored whole number; nothing when the key is missing or holds anything else.
std::optional<int> StoredInt(const IniFile& ini, std::string_view key) {
  const std::string text = ini.Read(kWindowSection, key);
  if (text.empty()) return std::nullopt;
  char* end = nullptr;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (*end != '\0' || value < -kMaxCoordinate || value > kMaxCoordinate) return std::nullopt;
  return static_cast<int>(value);
}

}  // namespace

void WindowSettings::Install() {
  const IniFile& ini = app_.config().file();
  const std::optional<int> left = StoredInt(ini, kWindowLeft);
  const std::optional<int> top = StoredInt(ini, kWindowTop);
  const std::optional<int> width = StoredInt(ini, kWindowWidth);
  const std::optional<int> height = StoredInt(ini, kWindowHeight);
  if (left && top && width && height && *width >= kMinWidth && *height >= kMinHeight)
    app_.window().SetWindowGeometry(Rect{*left, *top, *width, *height});
  // The view keeps a restored frame that lies off every screen in sight.

  const std::optional<int> scale = StoredInt(ini, kTextSize);
  if (scale && *scale >= kMinTextScale && *scale <= kMaxTextScale) {
    app_.window().SetTextScale(ctl::编辑框1, *scale);
    app_.window().SetTextScale(ctl::编辑框3, *scale);
  }

  MainWindow& w = app_.window();
  w.Bind(Command::kTextLarger, [this] { SetTextScale(TextScale() + kTextStep); });
  w.Bind(Command::kTextSmaller, [this] { SetTextScale(TextScale() - kTextStep); });
  w.Bind(Command::kTextDefaultSize, [this] { SetTextScale(100); });

  AppHooks& hooks = app_.hooks();
  hooks.OnClose = [this, earlier = std::move(hooks.OnClose)] {
    if (earlier) earlier();
    SaveFrame();
  };
}

int WindowSettings::TextScale() const {
  return app_.window().TextScale(ctl::编辑框1);
}

void WindowSettings::SetTextScale(int percent) {
  app_.window().SetTextScale(ctl::编辑框1, percent);
  app_.window().SetTextScale(ctl::编辑框3, percent);
  IniFile(app_.state().R.ConfigIni()).WriteInt(kWindowSection, kTextSize, TextScale());
}

void WindowSettings::SaveFrame() {
  const Rect frame = app_.window().WindowGeometry();
  IniFile ini(app_.state().R.ConfigIni());
  ini.WriteMany({
      {std::string(kWindowSection), std::string(kWindowLeft), std::to_string(frame.left)},
      {std::string(kWindowSection), std::string(kWindowTop), std::to_string(frame.top)},
      {std::string(kWindowSection), std::string(kWindowWidth), std::to_string(frame.width)},
      {std::string(kWindowSection), std::string(kWindowHeight), std::to_string(frame.height)},
  });
}

}  // namespace lectoria
