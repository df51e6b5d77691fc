// System-wide hotkeys: the port to the platform's hotkey service and the program's hotkey
// table (HotkeyList) with RegisterGlobalHotkey.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <vector>

#include "app/ports/window_handle.h"

namespace lectoria {

/// Modifier and key codes as the Windows hotkey API numbers them; backends translate them.
inline constexpr std::uint32_t kModAlt = 1;
inline constexpr std::uint32_t kVkSpace = 0x20;
inline constexpr std::uint32_t kVkZ = 0x5A;
/// Hotkey ids registered at start-up.
inline constexpr std::int32_t kHotkeyStartPause = 50;  // Alt+Space
inline constexpr std::int32_t kHotkeyShowHide = 108;   // Alt+Z

/// The platform's system-wide hotkeys.
class HotkeyBackend {
 public:
  virtual ~HotkeyBackend() = default;
  /// Grabs modifiers+key for `window` under `id`. False when the platform refuses (another
  /// program holds the combination, no display).
  virtual bool Register(WindowHandle window, std::int32_t id, std::uint32_t modifiers,
                        std::uint32_t key) = 0;
  virtual void Unregister(WindowHandle window, std::int32_t id) = 0;
  /// Routes the presses of `window`'s hotkeys to `receiver(id)`, which must be called on the
  /// UI thread. Called once per window, before its first hotkey can fire.
  virtual void Attach(WindowHandle window, std::function<void(std::int32_t id)> receiver) = 0;
  /// False when this desktop offers no global hotkeys at all (every registration fails).
  virtual bool Available() const { return true; }
};

/// HotkeyList: the registered hotkeys and their handlers.
class HotkeyRegistry {
 public:
  explicit HotkeyRegistry(HotkeyBackend& backend) : backend_(backend) {}

  /// Registers modifiers+key under `id` for `window`, replacing an earlier registration with
  /// the same id. Returns false, recording nothing, when the backend refuses. The first
  /// successful registration for a window attaches the hotkey receiver to it.
  bool RegisterGlobalHotkey(WindowHandle window, std::uint32_t modifiers, std::uint32_t key,
                            std::function<void()> handler, std::int32_t id);

  /// The hotkey procedure: runs the handler registered under `id`, if any. UI thread.
  void OnHotkey(std::int32_t id);

  std::size_t size() const;

 private:
  struct Entry {
    WindowHandle window;
    std::int32_t id;
    std::function<void()> handler;
  };

  HotkeyBackend& backend_;
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  std::vector<WindowHandle> attached_;
};

}  // namespace lectoria
