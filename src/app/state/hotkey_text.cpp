#include "app/state/hotkey_text.h"

#include <array>
#include <cctype>
#include <vector>

#include "app/ports/hotkeys.h"

namespace lectoria {
namespace {

struct Name {
  std::string_view text;
  std::uint32_t code;
};

// Windows modifier flags, in the order HotkeyText writes them.
constexpr std::array<Name, 7> kModifiers = {{
    {"Ctrl", 0x2},
    {"Control", 0x2},
    {"Alt", kModAlt},
    {"Shift", 0x4},
    {"Super", 0x8},
    {"Win", 0x8},
    {"Meta", 0x8},
}};

// Named keys with their virtual-key codes; the first name of a code is the one written.
constexpr std::array<Name, 20> kKeys = {{
    {"Space", kVkSpace}, {"Tab", 0x09},    {"Enter", 0x0D},     {"Return", 0x0D},
    {"Esc", 0x1B},       {"Escape", 0x1B}, {"Backspace", 0x08}, {"PageUp", 0x21},
    {"PageDown", 0x22},  {"End", 0x23},    {"Home", 0x24},      {"Left", 0x25},
    {"Up", 0x26},        {"Right", 0x27},  {"Down", 0x28},      {"Insert", 0x2D},
    {"Delete", 0x2E},    {"Del", 0x2E},    {"PgUp", 0x21},      {"PgDown", 0x22},
}};

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i])))
      return false;
  }
  return true;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
  return s;
}

std::optional<std::uint32_t> KeyCode(std::string_view name) {
  if (name.size() == 1) {
    const auto c = static_cast<unsigned char>(std::toupper(static_cast<unsigned char>(name[0])));
    if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return c;
    return std::nullopt;
  }
  if ((name[0] == 'F' || name[0] == 'f') && name.size() <= 3) {
    int n = 0;
    for (char c : name.substr(1)) {
      if (c < '0' || c > '9') return std::nullopt;
      n = n * 10 + (c - '0');
    }
    if (n >= 1 && n <= 24) return 0x70 + static_cast<std::uint32_t>(n - 1);
    return std::nullopt;
  }
  for (const Name& key : kKeys) {
    if (SameName(name, key.text)) return key.code;
  }
  return std::nullopt;
}

}  // namespace

std::optional<HotkeyCombo> ParseHotkey(std::string_view text) {
  std::vector<std::string_view> parts;
  for (std::size_t start = 0;;) {
    const std::size_t plus = text.find('+', start);
    parts.push_back(
        Trim(text.substr(start, plus == std::string_view::npos ? text.npos : plus - start)));
    if (plus == std::string_view::npos) break;
    start = plus + 1;
  }
  HotkeyCombo combo;
  for (std::size_t i = 0; i + 1 < parts.size(); ++i) {
    std::uint32_t flag = 0;
    for (const Name& m : kModifiers) {
      if (SameName(parts[i], m.text)) flag = m.code;
    }
    if (flag == 0 || (combo.modifiers & flag)) return std::nullopt;
    combo.modifiers |= flag;
  }
  const std::string_view last = parts.back();
  if (last.empty()) return std::nullopt;
  const std::optional<std::uint32_t> key = KeyCode(last);
  if (!key) return std::nullopt;
  combo.key = *key;
  return combo;
}

std::string HotkeyText(HotkeyCombo combo) {
  std::string text;
  std::uint32_t written = 0;
  for (const Name& m : kModifiers) {
    if ((combo.modifiers & m.code) && !(written & m.code)) {
      text += std::string(m.text) + "+";
      written |= m.code;
    }
  }
  const std::uint32_t k = combo.key;
  if ((k >= 'A' && k <= 'Z') || (k >= '0' && k <= '9')) return text + static_cast<char>(k);
  if (k >= 0x70 && k <= 0x87) return text + "F" + std::to_string(k - 0x70 + 1);
  for (const Name& key : kKeys) {
    if (key.code == k) return text + std::string(key.text);
  }
  return text + "?";
}

}  // namespace lectoria
