// Ports for the modal dialogs: message boxes and the open-file dialog.
#pragma once

#include <filesystem>
#include <string_view>

namespace lectoria {

/// Modal message boxes owned by the main window, with an OK button only.
class MessageBoxPort {
 public:
  virtual ~MessageBoxPort() = default;
  /// Shows `text` under `title` (both GBK) and returns when the user has dismissed it. Callable
  /// from any thread; the calling thread waits.
  virtual void ShowMessage(std::string_view text, std::string_view title) = 0;
};

/// The open-file dialog 通用对话框1.
class FileDialogPort {
 public:
  virtual ~FileDialogPort() = default;
  /// Lets the user choose an existing file. `filter` (GBK) lists description and pattern
  /// pairs, each followed by "|" (texts::kBookFilter). Returns the chosen path, or an empty
  /// path when the user cancels. UI thread.
  virtual std::filesystem::path ShowOpenDialog(std::string_view filter) = 0;
};

}  // namespace lectoria
