#include "ui/qt_dialogs.h"

#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QThread>
#include <algorithm>

#include "ui/qt_text.h"

namespace lectoria {
namespace {

QString QtPatterns(QString patterns) {
  QStringList list = patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts);
  for (QString& p : list) {
    p = p.trimmed();
    if (p == QLatin1String("*.*")) p = QStringLiteral("*");
  }
  list.removeAll(QString());
  return list.join(QLatin1Char(' '));
}

// Removes "(patterns)" or "（patterns）" at the end of a description when it repeats them.
QString WithoutTrailingPatterns(QString description, const QString& rawPatterns) {
  description = description.trimmed();
  for (const auto& [open, close] :
       {std::pair{QChar(u'('), QChar(u')')}, std::pair{QChar(0xFF08), QChar(0xFF09)}}) {
    if (!description.endsWith(close)) continue;
    const qsizetype at = description.lastIndexOf(open);
    if (at < 0) continue;
    const QString inside = description.mid(at + 1, description.size() - at - 2).trimmed();
    if (inside == rawPatterns.trimmed() || QtPatterns(inside) == QtPatterns(rawPatterns))
      return description.left(at).trimmed();
  }
  return description;
}

}  // namespace

QString QtFileFilter(std::string_view filterUtf8) {
  const QStringList parts = QStringFromUtf8(filterUtf8).split(QLatin1Char('|'));
  QStringList entries;
  // Pairs of description and patterns; an unpaired description at the end is dropped.
  for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
    const QString patterns = QtPatterns(parts[i + 1]);
    if (patterns.isEmpty()) continue;
    const QString description = WithoutTrailingPatterns(parts[i], parts[i + 1]);
    entries << (description.isEmpty()
                    ? patterns
                    : description + QStringLiteral(" (") + patterns + QLatin1Char(')'));
  }
  return entries.join(QStringLiteral(";;"));
}

struct QtDialogs::Request {
  bool done = false;
};

QtDialogs::QtDialogs(bool useNativeFileDialog)
    : useNativeFileDialog_(useNativeFileDialog), context_(std::make_unique<QObject>()) {}

QtDialogs::~QtDialogs() {
  Shutdown();
}

void QtDialogs::SetOwner(QWidget* owner) {
  owner_ = owner;
}

bool QtDialogs::IsGuiThread() const {
  return QThread::currentThread() == context_->thread();
}

bool QtDialogs::IsShutDown() const {
  std::lock_guard lock(mutex_);
  return shutdown_;
}

void QtDialogs::ShowMessage(std::string_view text, std::string_view title) {
  if (IsShutDown()) return;
  const QString qtext = QStringFromGbk(text);
  const QString qtitle = QStringFromGbk(title);
  if (IsGuiThread()) {
    ShowMessageHere(qtext, qtitle);
    return;
  }
  auto request = std::make_shared<Request>();
  QMetaObject::invokeMethod(
      context_.get(),
      [this, request, qtext, qtitle] {
        ShowMessageHere(qtext, qtitle);
        {
          std::lock_guard lock(mutex_);
          request->done = true;
        }
        answered_.notify_all();
      },
      Qt::QueuedConnection);
  std::unique_lock lock(mutex_);
  answered_.wait(lock, [&] { return request->done || shutdown_; });
}

void QtDialogs::ShowMessageHere(const QString& text, const QString& title) {
  if (IsShutDown()) return;
  QMessageBox box(QMessageBox::NoIcon, title, text, QMessageBox::Ok, owner_.data());
  box.setObjectName(QStringLiteral("MessageBox"));
  box.setTextFormat(Qt::PlainText);
  box.setWindowModality(Qt::ApplicationModal);
  open_.push_back(&box);
  box.exec();
  open_.erase(std::remove(open_.begin(), open_.end(), QPointer<QDialog>(&box)), open_.end());
}

bool QtDialogs::AskYesNo(std::string_view text, std::string_view title) {
  if (!IsGuiThread() || IsShutDown()) return false;
  QMessageBox box(QMessageBox::Question, QStringFromGbk(title), QStringFromGbk(text),
                  QMessageBox::Yes | QMessageBox::No, owner_.data());
  box.setObjectName(QStringLiteral("QuestionBox"));
  box.setTextFormat(Qt::PlainText);
  box.setDefaultButton(QMessageBox::No);
  box.setWindowModality(Qt::ApplicationModal);
  open_.push_back(&box);
  const int answer = box.exec();
  open_.erase(std::remove(open_.begin(), open_.end(), QPointer<QDialog>(&box)), open_.end());
  return answer == QMessageBox::Yes && !IsShutDown();
}

std::filesystem::path QtDialogs::ShowOpenDialog(std::string_view filter) {
  if (!IsGuiThread() || IsShutDown()) return {};
  QFileDialog dialog(owner_.data(), QString(), lastDirectory_, QtFileFilter(GbkToUtf8(filter)));
  dialog.setObjectName(QStringLiteral("通用对话框1"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::DontUseNativeDialog, !useNativeFileDialog_);
  dialog.setWindowModality(Qt::ApplicationModal);
  open_.push_back(&dialog);
  const int result = dialog.exec();
  open_.erase(std::remove(open_.begin(), open_.end(), QPointer<QDialog>(&dialog)), open_.end());
  const QStringList chosen = dialog.selectedFiles();
  if (result != QDialog::Accepted || chosen.isEmpty() || IsShutDown()) return {};
  lastDirectory_ = QFileInfo(chosen.front()).absolutePath();
  const QByteArray native = QFile::encodeName(chosen.front());
  return std::filesystem::path(
      std::string(native.constData(), static_cast<std::size_t>(native.size())));
}

void QtDialogs::Shutdown() {
  {
    std::lock_guard lock(mutex_);
    if (shutdown_) return;
    shutdown_ = true;
  }
  answered_.notify_all();
  if (!IsGuiThread()) return;
  // Copies: a dialog leaves the list when its exec() returns, which may happen here.
  const std::vector<QPointer<QDialog>> open = open_;
  for (const QPointer<QDialog>& dialog : open)
    if (dialog) dialog->reject();
}

std::vector<QDialog*> QtDialogs::OpenDialogs() const {
  std::vector<QDialog*> dialogs;
  for (const QPointer<QDialog>& dialog : open_)
    if (dialog) dialogs.push_back(dialog.data());
  return dialogs;
}

}  // namespace lectoria
