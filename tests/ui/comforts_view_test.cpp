// The window around the form: how it grows, the text size, what a restart remembers, the tray
// menu and Qt's own texts in Chinese.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QHeaderView>
#include <QPlainTextEdit>
#include <QSlider>
#include <QTreeWidget>

#include "app/listening/comforts.h"
#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "ui/qt_text.h"
#include "ui/qt_translations.h"
#include "ui/tray_icon.h"
#include "view_harness.h"

namespace lectoria {
namespace {

using testing::G;
using testing::ProcessEvents;
using testing::ViewHarness;

// A view over an App with the comforts installed, as the program runs it.
struct ComfortableView {
  ViewHarness h;
  Comforts comforts{h.app};
  ComfortableView() { comforts.Install(); }
  ~ComfortableView() {
    h.ui.Shutdown();
    h.app.Close();  // while the comforts are there to store the window's frame
  }
};

QRect Place(ViewHarness& h, std::string_view control) {
  QWidget* w = h.Widget(control);
  return QRect(w->mapTo(h.view.get(), QPoint(0, 0)), w->size());
}

TEST(ComfortsView, FormArrangementAtItsSizeAndTheRoomOfALargerWindow) {
  ComfortableView v;
  v.h.Start();
  EXPECT_EQ(v.h.view->minimumSize(), QSize(856, 440));  // the form's controls, whole
  struct Case {
    QSize client;
    std::string_view control;
    QRect place;
  };
  const Case cases[] = {
      {{876, 470}, ctl::超级列表框1, {8, 8, 144, 416}},
      {{876, 470}, ctl::编辑框1, {160, 8, 528, 304}},
      {{876, 470}, ctl::编辑框3, {160, 320, 528, 104}},
      {{876, 470}, ctl::状态条1, {8, 425, 680, 15}},
      {{876, 470}, ctl::按钮2, {696, 348, 72, 32}},
      {{876, 470}, ctl::组合框_语速, {744, 140, 100, 22}},
      // The list takes a third of the new width, the text the rest; the column on the right
      // keeps its width and moves with the edge; the current line keeps its height.
      {{1200, 800}, ctl::超级列表框1, {8, 8, 252, 746}},
      {{1200, 800}, ctl::编辑框1, {268, 8, 744, 634}},
      {{1200, 800}, ctl::编辑框3, {268, 650, 744, 104}},
      {{1200, 800}, ctl::状态条1, {8, 755, 1004, 15}},
      {{1200, 800}, ctl::外形框2, {1012, 0, 168, 104}},
      {{1200, 800}, ctl::按钮2, {1020, 348, 72, 32}},
      {{1200, 800}, ctl::组合框_语速, {1068, 140, 100, 22}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.control) + " at " + std::to_string(c.client.width()));
    v.h.view->resize(c.client);
    ProcessEvents();
    EXPECT_EQ(Place(v.h, c.control), c.place);
  }

  // A long chapter title: the widened column shows more of it, the tooltip all of it.
  auto* list = v.h.Widget<QTreeWidget>(ctl::超级列表框1);
  const std::string title = "第一百二十三章 夜雨中的旧书店与那封没有署名的信";
  v.h.model().SetRows(ctl::超级列表框1, {{G(title), 1}});
  ProcessEvents();
  EXPECT_EQ(list->topLevelItem(0)->toolTip(0), QStringFromUtf8(title));
  EXPECT_GE(list->header()->sectionSize(0), list->viewport()->width());
}

TEST(ComfortsView, ShortcutsChangeTheTextSizeSpeedAndVolume) {
  ComfortableView v;
  v.h.Start();
  v.h.view->activateWindow();
  ASSERT_TRUE(QTest::qWaitForWindowActive(v.h.view.get()));
  auto* text = v.h.Widget<QPlainTextEdit>(ctl::编辑框1);
  auto* line = v.h.Widget<QPlainTextEdit>(ctl::编辑框3);
  const double base = text->font().pointSizeF();
  text->setFocus();
  struct Case {
    int key;
    int percent;
    double speed;
    int volume;
  };
  const Case cases[] = {
      {Qt::Key_Equal, 110, 1.0, 100},         {Qt::Key_Plus, 120, 1.0, 100},
      {Qt::Key_Minus, 110, 1.0, 100},         {Qt::Key_0, 100, 1.0, 100},
      {Qt::Key_BracketRight, 100, 1.25, 100}, {Qt::Key_BracketLeft, 100, 1.0, 100},
      {Qt::Key_BracketLeft, 100, 0.75, 100},  {Qt::Key_Backslash, 100, 1.0, 100},
      {Qt::Key_Down, 100, 1.0, 90},           {Qt::Key_Up, 100, 1.0, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(QKeySequence(c.key).toString().toStdString());
    QTest::keyClick(text, static_cast<Qt::Key>(c.key), Qt::ControlModifier);
    ProcessEvents();
    EXPECT_EQ(v.h.model().TextScale(ctl::编辑框1), c.percent);
    EXPECT_NEAR(text->font().pointSizeF(), base * c.percent / 100, 0.01);
    EXPECT_EQ(line->font(), text->font());
    EXPECT_EQ(v.comforts.tuning().Speed(), c.speed);
    EXPECT_EQ(v.h.player.Speed(), c.speed);  // applied to the player at once
    EXPECT_EQ(v.h.Widget<QSlider>(ctl::滑块条_音量)->value(), c.volume);
    EXPECT_EQ(v.h.player.Volume(), c.volume);
  }
  QTest::keyClick(text, Qt::Key_T, Qt::ControlModifier);
  ProcessEvents();
  EXPECT_EQ(v.h.Widget<QComboBox>(ctl::组合框_定时)->currentIndex(), SleepTimer::k15);
}

TEST(ComfortsView, ARestartRemembersTheWindowTextSizeSpeedAndVolume) {
  std::string config;
  QRect frame;
  {
    ComfortableView first;
    first.h.Start();
    first.h.view->move(120, 90);
    first.h.view->resize(1100, 700);
    first.h.model().RunCommand(Command::kTextLarger);
    first.h.Widget<QComboBox>(ctl::组合框_语速)->activated(4);  // as the user's pick
    first.h.Widget<QSlider>(ctl::滑块条_音量)->setValue(35);
    ProcessEvents();
    frame = first.h.view->frameGeometry();
    first.h.ui.Shutdown();
    first.h.app.Close();
    config = first.h.dir.ReadFile("config.ini");
  }
  ViewHarness h;
  h.dir.WriteFile("config.ini", config);
  Comforts comforts(h.app);
  comforts.Install();
  h.Start();
  EXPECT_EQ(frame.topLeft(), QPoint(120, 90));
  EXPECT_EQ(h.view->frameGeometry(), frame);
  EXPECT_EQ(h.view->size(), QSize(1100, 700));
  EXPECT_EQ(h.model().TextScale(ctl::编辑框3), 110);
  EXPECT_EQ(h.Widget<QComboBox>(ctl::组合框_语速)->currentText(), QStringLiteral("1.5×"));
  EXPECT_EQ(h.Widget<QSlider>(ctl::滑块条_音量)->value(), 35);
  EXPECT_EQ(h.player.Speed(), 1.5);
  EXPECT_EQ(h.player.Volume(), 35);
  h.ui.Shutdown();
  h.app.Close();
}

TEST(ComfortsView, TrayMenuStartsSkipsShowsAndQuits) {
  ViewHarness h;
  int skips = 0;
  int quits = 0;
  h.app.hooks().AdvanceClip = [&] { ++skips; };
  h.app.hooks().ToggleStartPause = [&] { h.model().SetText(ctl::按钮1, texts::kCaptionPause); };
  TrayIcon tray(h.model(), [&] { ++quits; });
  const QList<QAction*> items = tray.menu()->actions();
  ASSERT_EQ(items.size(), 5);  // start/pause, skip, show/hide, a separator, quit
  EXPECT_FALSE(items[0]->isEnabled()) << "as 按钮1 before the voice list";
  h.dir.WriteFile("data/data.ini", "");  // a book: 按钮1 and 按钮4 are usable
  h.Start();
  EXPECT_EQ(items[0]->text(), QStringLiteral("开始"));
  items[0]->trigger();
  items[1]->trigger();
  ProcessEvents();
  EXPECT_EQ(items[0]->text(), QStringLiteral("暂停"));
  EXPECT_EQ(skips, 1);
  EXPECT_EQ(items[2]->text(), QStringLiteral("隐藏窗口"));
  items[2]->trigger();
  ProcessEvents();
  EXPECT_FALSE(h.view->isVisible());
  EXPECT_EQ(items[2]->text(), QStringLiteral("显示窗口"));
  items[2]->trigger();
  items[4]->trigger();
  ProcessEvents();
  EXPECT_TRUE(h.view->isVisible());
  EXPECT_EQ(quits, 1);
}

TEST(ComfortsView, QtsOwnTextsAreChinese) {
  const std::unique_ptr<QTranslator> chinese = InstallQtChineseTranslations();
  ASSERT_NE(chinese, nullptr) << "qtbase_zh_CN.qm (qt6-translations-l10n) is missing";
  EXPECT_TRUE(QCoreApplication::translate("QWidgetTextControl", "&Copy").contains("复制"));
  EXPECT_TRUE(QCoreApplication::translate("QFileDialog", "File &name:").contains("文件名"));
  QCoreApplication::removeTranslator(chinese.get());
}

}  // namespace
}  // namespace lectoria
