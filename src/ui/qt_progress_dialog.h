// The import's progress dialog in Qt.
#pragma once

#include <QPointer>
#include <QProgressDialog>
#include <functional>

#include "app/ports/progress_dialog.h"

class QWidget;

namespace lectoria {

/// ProgressDialogPort over a QProgressDialog owned by the main window. The dialog is not
/// modal: the window keeps working (and reading goes on) while a book is imported. GUI thread.
class QtProgressDialog final : public ProgressDialogPort {
 public:
  QtProgressDialog() = default;
  ~QtProgressDialog() override;
  QtProgressDialog(const QtProgressDialog&) = delete;
  QtProgressDialog& operator=(const QtProgressDialog&) = delete;

  /// The window that owns the dialog (normally the main view); may be null.
  void SetOwner(QWidget* owner) { owner_ = owner; }

  void OpenProgress(std::string_view text, std::function<void()> onCancel) override;
  void SetProgress(int percent) override;
  void CloseProgress() override;

  /// The dialog now shown, or nullptr (for tests).
  QProgressDialog* Dialog() const { return dialog_; }

 private:
  QPointer<QWidget> owner_;
  QPointer<QProgressDialog> dialog_;
};

}  // namespace lectoria
