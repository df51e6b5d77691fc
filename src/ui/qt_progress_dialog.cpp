#include "ui/qt_progress_dialog.h"

#include <QProgressDialog>

#include "ui/qt_text.h"

namespace lectoria {

QtProgressDialog::~QtProgressDialog() {
  CloseProgress();
}

void QtProgressDialog::OpenProgress(std::string_view text, std::function<void()> onCancel) {
  CloseProgress();
  auto* dialog = new QProgressDialog(QStringFromGbk(text), QStringLiteral("取消"), 0, 100, owner_);
  dialog->setObjectName(QStringLiteral("ImportProgress"));
  dialog->setWindowTitle(QStringLiteral("导入"));
  // Not modal: a modal QProgressDialog runs the event loop inside setValue, and the window
  // is to stay usable meanwhile anyway.
  dialog->setWindowModality(Qt::NonModal);
  dialog->setAutoClose(false);
  dialog->setAutoReset(false);
  dialog->setMinimumDuration(0);
  dialog->setValue(0);
  QObject::connect(dialog, &QProgressDialog::canceled, dialog,
                   [onCancel = std::move(onCancel)]() mutable {
                     // The button and the closing of the dialog may both report a cancel: pass on
                     // one.
                     if (auto cancel = std::move(onCancel)) cancel();
                   });
  dialog_ = dialog;
  dialog->show();
}

void QtProgressDialog::SetProgress(int percent) {
  if (dialog_) dialog_->setValue(percent);
}

void QtProgressDialog::CloseProgress() {
  if (!dialog_) return;
  QProgressDialog* dialog = dialog_;
  dialog_ = nullptr;
  // No cancel is reported for the program's own closing.
  QObject::disconnect(dialog, &QProgressDialog::canceled, nullptr, nullptr);
  dialog->hide();
  dialog->deleteLater();
}

}  // namespace lectoria
