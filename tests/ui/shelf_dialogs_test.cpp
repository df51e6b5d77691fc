#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>

#include "ui/qt_progress_dialog.h"
#include "ui/qt_text.h"
#include "view_harness.h"

namespace lectoria {
namespace {

using testing::G;
using testing::ProcessEvents;

TEST(QtProgressDialogTest, ShowsTheImportAndPassesOnOneCancel) {
  QWidget owner;
  QtProgressDialog progress;
  progress.SetOwner(&owner);
  int cancels = 0;
  progress.OpenProgress(G("正在导入《书》……"), [&] { ++cancels; });
  QProgressDialog* dialog = progress.Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(dialog->isModal());  // the window stays usable during the import
  EXPECT_EQ(dialog->labelText(), QStringFromUtf8("正在导入《书》……"));
  progress.SetProgress(40);
  EXPECT_EQ(dialog->value(), 40);

  dialog->findChild<QPushButton*>()->click();
  dialog->close();
  EXPECT_EQ(cancels, 1);

  // The program's own closing reports no cancel.
  progress.OpenProgress(G("正在导入《书》……"), [&] { ++cancels; });
  progress.CloseProgress();
  ProcessEvents();
  EXPECT_EQ(progress.Dialog(), nullptr);
  EXPECT_EQ(cancels, 1);
}

}  // namespace
}  // namespace lectoria
