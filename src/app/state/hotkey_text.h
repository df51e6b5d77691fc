// Hotkeys written as text, as config.ini names them: "Alt+Space", "Ctrl+Alt+P", "Super+F9".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lectoria {

/// A key combination in the hotkey port's codes (Windows modifier flags and virtual keys).
struct HotkeyCombo {
  std::uint32_t modifiers = 0;
  std::uint32_t key = 0;
  friend bool operator==(const HotkeyCombo&, const HotkeyCombo&) = default;
};

/// Reads "Mod+Mod+Key": modifiers Alt, Ctrl (Control), Shift, Super (Win, Meta); keys A-Z,
/// 0-9, F1-F24, Space, Tab, Enter, Esc, Backspace, Insert, Delete, Home, End, PageUp,
/// PageDown and the arrows Left, Up, Right, Down. Names ignore case and blanks around "+".
/// Anything else, a repeated modifier or a missing key gives nothing.
std::optional<HotkeyCombo> ParseHotkey(std::string_view text);

/// The combination written as ParseHotkey reads it ("Ctrl+Alt+P").
std::string HotkeyText(HotkeyCombo combo);

}  // namespace lectoria
