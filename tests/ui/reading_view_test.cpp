// The chapter text's mark on the line being read, and the context menus and clicks that read
// from here, on Qt's offscreen platform.
#include <gtest/gtest.h>

#include <QMenu>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTextBlock>
#include <QTreeWidget>

#include "app/window/control_names.h"
#include "view_harness.h"

namespace lectoria {
namespace {

using testing::ProcessEvents;
using testing::ViewHarness;

class ReadingViewTest : public ::testing::Test {
 protected:
  ReadingViewTest() {
    h_.Start();
    std::string text;
    for (int i = 1; i <= 200; ++i) text += "line " + std::to_string(i) + "\r\n";
    h_.model().SetText(ctl::编辑框1, text);
    // Every chapter has that text: choosing a row (which shows its chapter) keeps it.
    for (int k = 1; k <= 3; ++k) h_.dir.WriteFile("data/" + std::to_string(k) + ".txt", text);
    h_.model().SetRows(ctl::超级列表框1, {{"one", 1}, {"two", 2}, {"three", 3}});
    for (Command command : {Command::kReadFromChapter, Command::kReadFromLine, Command::kBrowseText,
                            Command::kShowReadingLine})
      h_.model().Bind(command, [this, command] { ran_.push_back(command); });
    ProcessEvents();
  }

  QPlainTextEdit* Text() { return h_.Widget<QPlainTextEdit>(ctl::编辑框1); }
  QRect LineRect(int line) {
    return Text()->cursorRect(QTextCursor(Text()->document()->findBlockByNumber(line)));
  }
  bool LineInView(int line) { return Text()->viewport()->rect().contains(LineRect(line)); }
  std::int32_t MarkedBlock() {
    const auto marks = Text()->extraSelections();
    return marks.size() == 1 ? marks[0].cursor.block().blockNumber() : -1;
  }

  ViewHarness h_;
  std::vector<Command> ran_;
};

TEST_F(ReadingViewTest, TheMarkFollowsReadingUntilTheUserScrollsAway) {
  h_.model().SetHighlightLine(ctl::编辑框1, 150);
  ProcessEvents();
  EXPECT_EQ(MarkedBlock(), 150);
  EXPECT_TRUE(LineInView(150));

  Text()->verticalScrollBar()->triggerAction(QAbstractSlider::SliderToMinimum);  // the user
  EXPECT_EQ(ran_, std::vector<Command>{Command::kBrowseText});
  h_.model().SetHighlightLine(ctl::编辑框1, 160);
  ProcessEvents();
  EXPECT_EQ(MarkedBlock(), 160);
  EXPECT_EQ(Text()->verticalScrollBar()->value(), 0) << "the view stays where the user is";

  h_.model().RevealHighlight(ctl::编辑框1);
  ProcessEvents();
  EXPECT_TRUE(LineInView(160));
  h_.model().SetHighlightLine(ctl::编辑框1, -1);
  ProcessEvents();
  EXPECT_EQ(Text()->extraSelections().size(), 0);
}

TEST_F(ReadingViewTest, ContextMenusAndClicksReadFromTheRowOrLinePointedAt) {
  h_.view->ShowContextMenu(ctl::编辑框1, LineRect(3).center());
  EXPECT_EQ(h_.model().PointedLine(ctl::编辑框1), 3);
  QMenu* textMenu = h_.view->ContextMenu(ctl::编辑框1);
  ASSERT_TRUE(textMenu && textMenu->isVisible());
  textMenu->actions().at(0)->trigger();
  textMenu->actions().at(1)->trigger();
  textMenu->hide();

  QTest::mouseDClick(Text()->viewport(), Qt::LeftButton, {}, LineRect(5).center());
  EXPECT_EQ(h_.model().PointedLine(ctl::编辑框1), 5);
  auto* list = h_.Widget<QTreeWidget>(ctl::超级列表框1);
  const QRect row = list->visualItemRect(list->topLevelItem(2));
  h_.view->ShowContextMenu(ctl::超级列表框1, row.center());
  EXPECT_EQ(h_.model().CurrentRow(ctl::超级列表框1), 2);
  QMenu* listMenu = h_.view->ContextMenu(ctl::超级列表框1);
  ASSERT_TRUE(listMenu && listMenu->isVisible());
  listMenu->actions().at(0)->trigger();
  listMenu->hide();

  list->setFocus();
  QTest::keyClick(list, Qt::Key_Return);
  ProcessEvents();
  EXPECT_EQ(ran_, (std::vector<Command>{Command::kReadFromLine, Command::kShowReadingLine,
                                        Command::kReadFromLine, Command::kReadFromChapter,
                                        Command::kReadFromChapter}));
}

}  // namespace
}  // namespace lectoria
