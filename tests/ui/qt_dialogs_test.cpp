#include "ui/qt_dialogs.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <fstream>
#include <functional>
#include <thread>

#include "app/window/texts.h"
#include "support/run_dir_fixture.h"
#include "ui/open_url.h"
#include "ui/qt_text.h"
#include "view_harness.h"

namespace lectoria {
namespace {

using testing::G;
using testing::TempRunDir;
using testing::ViewHarness;
using testing::WaitFor;

QString Q(std::string_view utf8) {
  return QStringFromUtf8(utf8);
}

TEST(QtFileFilterTest, RendersTheProgramsFilterForQt) {
  struct Case {
    const char* filter;
    const char* qt;
  };
  const Case cases[] = {
      {"文本文档（*.txt）|*.txt|", "文本文档 (*.txt)"},
      {"Text (*.txt)|*.txt|All files|*.*|", "Text (*.txt);;All files (*)"},
      {"Books|*.txt;*.text|", "Books (*.txt *.text)"},
      {"Books (*.txt;*.text)|*.txt;*.text", "Books (*.txt *.text)"},
      {"Other (*.md)|*.txt|", "Other (*.md) (*.txt)"},
      {"|*.txt|", "*.txt"},
      {"Nothing||", ""},
      {"Unpaired", ""},
      {"", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(QtFileFilter(c.filter), Q(c.qt)) << c.filter;
}

TEST(OpenUrlTest, OnlyWebAddressesAreOpened) {
  for (const char* url : {"", "not a url", "file:///etc/passwd", "javascript:alert(1)", "https://",
                          "ftp://example.com/", "/usr/bin/xterm"})
    EXPECT_FALSE(OpenUrlInBrowser(url)) << url;
}

// Runs `act` on the first dialog that `dialogs` shows, from within its modal loop.
void WhenShown(QtDialogs& dialogs, std::function<void(QDialog*)> act) {
  auto* poll = new QTimer();
  QObject::connect(poll, &QTimer::timeout, [poll, &dialogs, act] {
    const std::vector<QDialog*> open = dialogs.OpenDialogs();
    if (open.empty()) return;
    poll->stop();
    poll->deleteLater();
    act(open.back());
  });
  poll->start(5);
}

void PressOk(QDialog* dialog) {
  auto* box = qobject_cast<QMessageBox*>(dialog);
  ASSERT_NE(box, nullptr);
  QAbstractButton* ok = box->button(QMessageBox::Ok);
  ASSERT_NE(ok, nullptr);
  ok->click();
}

TEST(QtDialogsTest, MessageBoxIsModalOwnedByTheWindowAndWaitsForOk) {
  ViewHarness h;
  QtDialogs dialogs;
  dialogs.SetOwner(h.view.get());
  bool inspected = false;
  WhenShown(dialogs, [&](QDialog* dialog) {
    auto* box = qobject_cast<QMessageBox*>(dialog);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->text(), Q("导入完毕！"));
    EXPECT_EQ(box->windowTitle(), Q("提示消息"));
    EXPECT_EQ(box->parentWidget(), h.view.get());
    EXPECT_TRUE(box->isModal());
    EXPECT_EQ(box->textFormat(), Qt::PlainText);
    inspected = true;
    PressOk(dialog);
  });
  dialogs.ShowMessage(texts::kImportDone, texts::kNoticeTitle);
  EXPECT_TRUE(inspected);
  EXPECT_TRUE(dialogs.OpenDialogs().empty());
}

TEST(QtDialogsTest, QuestionAnswersYesOnlyForYes) {
  QtDialogs dialogs;
  struct Case {
    QMessageBox::StandardButton press;
    bool answer;
  };
  for (const Case c : {Case{QMessageBox::Yes, true}, Case{QMessageBox::No, false}}) {
    WhenShown(dialogs, [&](QDialog* dialog) {
      auto* box = qobject_cast<QMessageBox*>(dialog);
      ASSERT_NE(box, nullptr);
      EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(QMessageBox::No));
      box->button(c.press)->click();
    });
    EXPECT_EQ(dialogs.AskYesNo(G("移除吗？"), texts::kNoticeTitle), c.answer);
  }
  dialogs.Shutdown();
  EXPECT_FALSE(dialogs.AskYesNo(G("移除吗？"), texts::kNoticeTitle));
}

TEST(QtDialogsTest, MessageFromAWorkerShowsOnTheGuiThreadAndHoldsTheWorker) {
  QtDialogs dialogs;
  std::atomic<bool> returned{false};
  bool heldWhileShown = false;
  WhenShown(dialogs, [&](QDialog* dialog) {
    EXPECT_EQ(QThread::currentThread(), qApp->thread());
    EXPECT_EQ(qobject_cast<QMessageBox*>(dialog)->text(), Q("合成失败"));
    EXPECT_EQ(dialog->windowTitle(), Q("合成语音"));
    QTest::qWait(20);
    heldWhileShown = !returned;
    PressOk(dialog);
  });
  std::thread worker([&] {
    dialogs.ShowMessage(texts::kSynthesisFailed, texts::kSynthesisTitle);
    returned = true;
  });
  EXPECT_TRUE(WaitFor([&] { return returned.load(); }));
  worker.join();
  EXPECT_TRUE(heldWhileShown);
}

TEST(QtDialogsTest, ShutdownDismissesTheBoxAndReleasesTheWorker) {
  QtDialogs dialogs;
  std::atomic<bool> returned{false};
  WhenShown(dialogs, [&](QDialog*) { dialogs.Shutdown(); });
  std::thread worker([&] {
    dialogs.ShowMessage(texts::kSynthesisFailed, texts::kSynthesisTitle);
    returned = true;
  });
  EXPECT_TRUE(WaitFor([&] { return returned.load(); }));
  worker.join();
  EXPECT_TRUE(dialogs.OpenDialogs().empty());
  // Later messages do not show: nobody is left to dismiss them.
  dialogs.ShowMessage(texts::kImportDone, texts::kNoticeTitle);
  std::thread([&] { dialogs.ShowMessage(texts::kImportDone, texts::kNoticeTitle); }).join();
}

TEST(QtDialogsTest, OpenDialogOffersTheFilterAndReturnsTheChosenFile) {
  TempRunDir dir;
  dir.WriteFile("书.txt", G("第一章"));
  const std::filesystem::path book = dir.root() / "书.txt";
  QtDialogs dialogs(/*useNativeFileDialog=*/false);
  WhenShown(dialogs, [&](QDialog* dialog) {
    auto* files = qobject_cast<QFileDialog*>(dialog);
    ASSERT_NE(files, nullptr);
    EXPECT_EQ(files->nameFilters(), QStringList{Q("文本文档 (*.txt)")});
    EXPECT_EQ(files->fileMode(), QFileDialog::ExistingFile);
    EXPECT_EQ(files->objectName(), Q("通用对话框1"));
    files->selectFile(QString::fromStdString(book.string()));
    dialog->accept();  // QFileDialog::accept, public through QDialog
  });
  EXPECT_EQ(dialogs.ShowOpenDialog(texts::kBookFilter), book);

  WhenShown(dialogs, [&](QDialog* dialog) {
    // The next dialog starts in the book's directory.
    EXPECT_EQ(qobject_cast<QFileDialog*>(dialog)->directory().absolutePath(),
              QString::fromStdString(dir.root().string()));
    dialog->reject();
  });
  EXPECT_TRUE(dialogs.ShowOpenDialog(texts::kBookFilter).empty());

  std::filesystem::path fromWorker("unset");
  std::thread([&] { fromWorker = dialogs.ShowOpenDialog(texts::kBookFilter); }).join();
  EXPECT_TRUE(fromWorker.empty()) << "only the GUI thread opens the dialog";
}

}  // namespace
}  // namespace lectoria
