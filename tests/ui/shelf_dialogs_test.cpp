#include <gtest/gtest.h>

#include <QProgressBar>
#include <QPushButton>

#include <QHeaderView>
#include <QTest>
#include <QTreeWidget>

#include "ui/qt_progress_dialog.h"
#include "ui/qt_shelf_view.h"
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

TEST(QtShelfViewTest, ListsTheBooksEnterReadsDeleteRemoves) {
  QtShelfView shelf;
  std::vector<std::string> log;
  ShelfActions actions;
  actions.open = [&](std::int64_t id) { log.push_back("open " + std::to_string(id)); };
  actions.remove = [&](std::int64_t id) { log.push_back("remove " + std::to_string(id)); };
  const std::vector<std::string> columns{G("书名"), G("章节"), G("已读"), G("上次阅读")};
  shelf.ShowShelf(columns,
                  {{3, {G("甲"), "12", "50%", "2024-01-02 08:00"}, false},
                   {7, {G("乙"), "3", "0%", G("正在阅读")}, true}},
                  actions);
  QDialog* dialog = shelf.Dialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(dialog->isVisible());
  EXPECT_FALSE(dialog->isModal());
  auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("BookList"));
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->headerItem()->text(3), QStringFromUtf8("上次阅读"));
  ASSERT_EQ(list->topLevelItemCount(), 2);
  EXPECT_EQ(list->topLevelItem(0)->text(1), QStringLiteral("12"));
  EXPECT_EQ(list->currentItem(), list->topLevelItem(1));  // the book being read

  QTest::keyClick(list, Qt::Key_Return);
  list->setCurrentItem(list->topLevelItem(0));
  QTest::keyClick(list, Qt::Key_Delete);
  EXPECT_EQ(log, (std::vector<std::string>{"open 7", "remove 3"}));

  // Shown again: the rows are replaced, the selection kept where its book still is.
  shelf.ShowShelf(columns, {{7, {G("乙"), "3", "0%", G("正在阅读")}, true}}, actions);
  EXPECT_EQ(list->topLevelItemCount(), 1);
  shelf.CloseShelf();
  EXPECT_FALSE(dialog->isVisible());
}

}  // namespace
}  // namespace lectoria
