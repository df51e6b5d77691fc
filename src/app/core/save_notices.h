// Tells the user when the settings or the reading position could not be saved.
#pragma once

#include <array>
#include <atomic>

#include "app/ports/dialogs.h"
#include "app/ports/ui_thread.h"

namespace lectoria {

/// Takes the result of every save of config.ini and of the position in data.ini. The first
/// failure of a kind shows a message box; later failures of that kind stay silent until a
/// save of the same kind has succeeded again, so a full disk does not raise a box per clip.
/// Safe from any thread; the box is posted to the UI thread, never shown inside the call
/// (callers may hold locks).
class SaveNotices {
 public:
  enum class Kind { kSettings, kPosition };

  /// Both ports must outlive every task this object posts (AppPorts does).
  SaveNotices(UiThread& ui, MessageBoxPort& messages) : ui_(ui), messages_(messages) {}

  /// Records one save's result and returns it.
  bool Saved(Kind kind, bool ok);

 private:
  UiThread& ui_;
  MessageBoxPort& messages_;
  std::array<std::atomic<bool>, 2> failing_{};
};

}  // namespace lectoria
