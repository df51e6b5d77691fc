// The window's remembered place and size, and the text size of the chapter text 编辑框1 and
// the current line 编辑框3, kept in config.ini under [窗口].
#pragma once

#include "app/core/app.h"

namespace lectoria {

class WindowSettings {
 public:
  /// The text size steps by this much (percent) per Ctrl+plus or Ctrl+minus.
  static constexpr int kTextStep = 10;

  /// `app` must stay alive, and the settings must not be destroyed, while the App runs.
  explicit WindowSettings(App& app) : app_(app) {}
  WindowSettings(const WindowSettings&) = delete;
  WindowSettings& operator=(const WindowSettings&) = delete;

  /// Restores the window's frame (when all four values are stored and make sense) and the text
  /// size, binds the text-size commands, and stores the frame when the App closes. Call once,
  /// before App::Start().
  void Install();

  /// Sets the text size of both text boxes (held between 50 and 300 %) and stores it.
  void SetTextScale(int percent);
  int TextScale() const;
  /// Stores the window's frame as the model has it now.
  void SaveFrame();

 private:
  App& app_;
};

}  // namespace lectoria
