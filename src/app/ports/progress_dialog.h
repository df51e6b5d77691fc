// Port for the progress dialog of a long task that runs off the user-interface thread.
#pragma once

#include <functional>
#include <string_view>

namespace lectoria {

/// A window-owned dialog showing a text, a percentage and a cancel button. It does not block:
/// the main window stays usable (reading goes on) while it is shown. All calls on the UI thread.
class ProgressDialogPort {
 public:
  virtual ~ProgressDialogPort() = default;
  /// Shows the dialog with `text` (GBK) at 0 %. The user's cancel (the button, Escape, closing
  /// the dialog) runs `onCancel` on the UI thread, at most once.
  virtual void OpenProgress(std::string_view text, std::function<void()> onCancel) = 0;
  /// Shows `percent` (0..100).
  virtual void SetProgress(int percent) = 0;
  /// Closes the dialog; `onCancel` no longer runs. Harmless when none is shown.
  virtual void CloseProgress() = 0;
};

}  // namespace lectoria
