// Message boxes and the open-file dialog in Qt, owned by the main window.
#pragma once

#include <QPointer>
#include <QString>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "app/ports/dialogs.h"
#include "app/ports/shelf_view.h"

class QDialog;
class QObject;
class QWidget;

namespace lectoria {

/// The open-file dialog's filter in Qt's form. The program's filter lists description and
/// pattern pairs, each followed by "|" ("文本文档（*.txt）|*.txt|", UTF-8 here); Qt wants
/// "description (patterns)" entries joined by ";;". A description that already ends with its
/// patterns in parentheses (ASCII or full-width) loses them, ";" between patterns becomes a
/// space, and "*.*" (every file on Windows) becomes "*". An empty result means every file.
QString QtFileFilter(std::string_view filterUtf8);

/// MessageBoxPort, FileDialogPort and QuestionPort over Qt dialogs. Construct on the GUI thread.
class QtDialogs final : public MessageBoxPort, public FileDialogPort, public QuestionPort {
 public:
  /// `useNativeFileDialog` false forces Qt's own file dialog (tests drive it).
  explicit QtDialogs(bool useNativeFileDialog = true);
  ~QtDialogs() override;
  QtDialogs(const QtDialogs&) = delete;
  QtDialogs& operator=(const QtDialogs&) = delete;

  /// The window that owns the dialogs (normally the main view); may be null.
  void SetOwner(QWidget* owner);

  /// A modal box with an OK button. On the GUI thread it returns once dismissed. From another
  /// thread the box is shown on the GUI thread and the caller waits until it is dismissed or
  /// Shutdown() runs. Does nothing after Shutdown().
  void ShowMessage(std::string_view text, std::string_view title) override;

  /// GUI thread only (elsewhere, or after Shutdown(), it answers like a cancel). Returns the
  /// chosen file's path (its bytes as the file system has them: UTF-8 names on Linux), empty
  /// on cancel. The next dialog opens in the chosen file's directory.
  std::filesystem::path ShowOpenDialog(std::string_view filter) override;

  /// A modal box with the buttons 是 and 否 (Qt's Chinese texts), 否 the default. GUI thread
  /// only; elsewhere, dismissed, or after Shutdown() the answer is no.
  bool AskYesNo(std::string_view text, std::string_view title) override;

  /// The window is closing: dismisses the open dialogs, releases waiting threads and makes
  /// later calls return at once, so that no thread the program joins can wait on a box
  /// nobody will dismiss. GUI thread; a second call does nothing.
  void Shutdown();

  /// The dialogs now open, newest last (for tests).
  std::vector<QDialog*> OpenDialogs() const;

 private:
  struct Request;
  void ShowMessageHere(const QString& text, const QString& title);
  bool IsGuiThread() const;
  bool IsShutDown() const;

  bool useNativeFileDialog_;
  std::unique_ptr<QObject> context_;  // receiver of requests from other threads
  QPointer<QWidget> owner_;
  std::vector<QPointer<QDialog>> open_;  // GUI thread only
  QString lastDirectory_;

  mutable std::mutex mutex_;
  std::condition_variable answered_;
  bool shutdown_ = false;
};

}  // namespace lectoria
