// System-wide hotkeys on X11: key grabs on the root window of the X display.
//
// The backend keeps its own connection to the X server. A grab made from that connection
// sends the key's presses to it, wherever the focus is; a QSocketNotifier on the connection
// reads them on the GUI thread and hands each hotkey to the receiver attached for its window.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "app/ports/hotkeys.h"

namespace lectoria {

class X11HotkeyBackend final : public HotkeyBackend {
 public:
  /// Connects to the X display `display` ("" means $DISPLAY). std::nullopt makes a backend
  /// without a connection, for window systems that are not X11 (Wayland, offscreen): every
  /// registration then fails. Construct and use on the GUI thread.
  explicit X11HotkeyBackend(std::optional<std::string> display);
  /// Releases the grabs and closes the connection.
  ~X11HotkeyBackend() override;
  X11HotkeyBackend(const X11HotkeyBackend&) = delete;
  X11HotkeyBackend& operator=(const X11HotkeyBackend&) = delete;

  /// True while the connection to the X server works.
  bool Connected() const;

  /// Grabs the key with the given Windows modifier flags (Alt 1, Ctrl 2, Shift 4, Win 8;
  /// "no repeat" 0x4000 is ignored) and virtual-key code (letters, digits, space, F1-F24, a few
  /// others), in every combination with Caps Lock and Num Lock, so that the locks do not hide
  /// the hotkey. False when there is no connection, the key is unknown or has no key code,
  /// another of our ids holds the same combination, or another client holds it (BadAccess);
  /// nothing is kept grabbed then.
  bool Register(WindowHandle window, std::int32_t id, std::uint32_t modifiers,
                std::uint32_t key) override;
  void Unregister(WindowHandle window, std::int32_t id) override;
  void Attach(WindowHandle window, std::function<void(std::int32_t id)> receiver) override;
  bool Available() const override { return Connected(); }

  /// Reads the events waiting on the connection and delivers the hotkey presses among them.
  /// The socket notifier calls it; GUI thread.
  void ProcessEvents();

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

/// True when an X display can be opened: `display` names it, or nullptr for $DISPLAY.
bool X11DisplayReachable(const char* display);

}  // namespace lectoria
