// The global hotkeys registered at start-up: Alt+Space (start/pause) and Alt+Z (show/hide), or
// the combinations config.ini names under [热键]. A hotkey that cannot be had is reported once,
// in the status line and on stderr, instead of silently doing nothing.
#include <cstdio>
#include <string>
#include <vector>

#include "app/core/app.h"
#include "app/state/config_sections.h"
#include "app/state/hotkey_text.h"
#include "platform/codepage.h"

namespace lectoria {

void App::RegisterHotkeys() {
  struct Use {
    std::string_view configKey;
    HotkeyCombo standard;
    std::int32_t id;
    std::function<void()> handler;
  };
  const Use uses[] = {
      {config_keys::kStartPauseHotkey,
       {kModAlt, kVkSpace},
       kHotkeyStartPause,
       [this] { RunHook(hooks_.ToggleStartPause); }},
      {config_keys::kShowHideHotkey,
       {kModAlt, kVkZ},
       kHotkeyShowHide,
       [this] { ToggleMainWindow(); }},
  };

  std::vector<std::string> refused;
  for (const Use& use : uses) {
    HotkeyCombo combo = use.standard;
    const std::string text = config_.file().Read(config_keys::kHotkeySection, use.configKey);
    if (!text.empty()) {
      if (const std::optional<HotkeyCombo> chosen = ParseHotkey(text)) {
        combo = *chosen;
      } else {
        std::fprintf(
            stderr, "lectoria: config.ini [热键] %s=%s is not a key combination; using %s\n",
            GbkToUtf8(use.configKey).c_str(), GbkToUtf8(text).c_str(), HotkeyText(combo).c_str());
      }
    }
    if (!RegisterGlobalHotkey(window_.Handle(), combo.modifiers, combo.key, use.handler, use.id))
      refused.push_back(HotkeyText(combo));
  }
  if (refused.empty()) return;

  // The buttons keep working; the listener learns why the keys do not and what to do.
  if (!ports_.hotkeys.Available()) {
    statusLine_.Set(StatusLine::Part::kNotice, Utf8ToGbk("此桌面不支持全局热键"));
    std::fprintf(stderr, "lectoria: this desktop offers no global hotkeys (they need X11)\n");
    return;
  }
  std::string shown;
  std::string logged;
  for (const std::string& k : refused) {
    shown += (shown.empty() ? "" : "、") + k;
    logged += (logged.empty() ? "" : ", ") + k;
  }
  statusLine_.Set(
      StatusLine::Part::kNotice,
      Utf8ToGbk("热键 " + shown + " 已被其他程序占用，可在 config.ini 的 [热键] 中另设"));
  std::fprintf(stderr,
               "lectoria: the hotkey(s) %s could not be registered (another program holds them); "
               "name other combinations in config.ini under [热键] (开始暂停=, 显示隐藏=)\n",
               logged.c_str());
}

}  // namespace lectoria
