#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QHeaderView>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTreeWidget>
#include <future>
#include <thread>

#include "app/state/config_store.h"
#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "library/library_index.h"
#include "platform/ini_file.h"
#include "support/library_fixture.h"
#include "ui/qt_text.h"
#include "view_harness.h"

namespace lectoria {
namespace {

using testing::CrLf;
using testing::G;
using testing::ProcessEvents;
using testing::ViewHarness;
using testing::WaitFor;

QString Q(std::string_view utf8) {
  return QStringFromUtf8(utf8);
}

QPoint Center(QWidget* w) {
  return w->rect().center();
}

class MainViewTest : public ::testing::Test {
 protected:
  std::string ConfigValue(std::string_view key) {
    return IniFile(h_.dir.paths().ConfigIni()).Read(config_keys::kSection, key, "<missing>");
  }

  // A library of three chapters, read up to chapter 2.
  void WriteLibrary() {
    h_.dir.WriteFile("data/1.txt", CrLf({G("第一章 起"), G("第一行")}));
    h_.dir.WriteFile("data/2.txt", CrLf({G("第二章 承"), G("第一句"), G("第二句")}));
    h_.dir.WriteFile("data/3.txt", CrLf({G("第三章 转"), G("末句")}));
    testing::WriteLibraryIndex(h_.dir.paths(), G("测试之书"),
                               {G("第一章 起"), G("第二章 承"), G("第三章 转")});
    LibraryIndex index(h_.dir.paths());
    index.WriteReadingHistory(1);
    index.WriteLineNumber(2);
  }

  ViewHarness h_;
};

TEST_F(MainViewTest, EveryControlIsAWidgetNamedAfterItAtItsGeometry) {
  int widgets = 0;
  for (const std::string& name : h_.model().ControlNames()) {
    SCOPED_TRACE(name);
    const Control c = h_.model().Snapshot(name);
    QWidget* w = h_.Widget(name);
    const bool component = c.kind == ControlKind::kTimer || c.kind == ControlKind::kMediaPlayer ||
                           c.kind == ControlKind::kFileDialog;
    if (component) {
      EXPECT_EQ(w, nullptr) << "invisible components have no widget";
      continue;
    }
    ASSERT_NE(w, nullptr);
    ++widgets;
    EXPECT_EQ(w, h_.view->ControlWidget(name));
    // Relative to the parent: the frame for the controls inside one, else the window.
    EXPECT_EQ(w->geometry(),
              QRect(c.geometry.left, c.geometry.top, c.geometry.width, c.geometry.height));
    const QWidget* expectedParent = c.parent.empty() ? h_.view.get() : h_.Widget(c.parent);
    EXPECT_EQ(w->parentWidget(), expectedParent);
    const Rect client = h_.model().ClientGeometry(name);
    EXPECT_EQ(w->mapTo(h_.view.get(), QPoint(0, 0)), QPoint(client.left, client.top));
  }
  EXPECT_EQ(widgets, 30);  // the form's 21 and nine added around it
}

TEST_F(MainViewTest, ButtonInsideFrameSitsAtItsClientPosition) {
  QWidget* button = h_.Widget(ctl::按钮2);
  ASSERT_NE(button, nullptr);
  EXPECT_EQ(button->mapTo(h_.view.get(), QPoint(0, 0)), QPoint(696, 348));
  EXPECT_EQ(button->size(), QSize(72, 32));
  EXPECT_EQ(h_.Widget(ctl::选择框1)->mapTo(h_.view.get(), QPoint(0, 0)), QPoint(808, 325));
  EXPECT_EQ(h_.Widget(ctl::组合框_语音风格)->mapTo(h_.view.get(), QPoint(0, 0)), QPoint(696, 73));
}

TEST_F(MainViewTest, WindowHasTheOuterSizeAndFitsAWindowManagersFrame) {
  h_.Start();
  // No window manager offscreen: the frame is the client area.
  EXPECT_EQ(h_.view->frameGeometry(), QRect(50, 50, 876, 470));
  struct Case {
    QSize margins;
    QSize client;
  };
  const Case cases[] = {
      {{0, 0}, {876, 470}},
      {{16, 39}, {860, 440}},  // a tall title bar: the frame 外形框1 (to y 440) stays whole
      {{8, 24}, {868, 446}},
      {{40, 200}, {856, 440}},  // never smaller than the controls
  };
  for (const Case& c : cases) EXPECT_EQ(h_.view->ClientSizeFor(c.margins), c.client);
}

TEST_F(MainViewTest, ControlsShowTheirInitialTexts) {
  struct Case {
    std::string_view control;
    const char* text;
  };
  const Case cases[] = {
      {ctl::标签2, "语音"},
      {ctl::标签3, "语音风格"},
      {ctl::超级链接框1, "语音合成服务由微软提供"},
      {ctl::标签1, "当前缓存：0"},
      {ctl::标签6, "需要等待开启输出："},
      {ctl::标签5, "跳过无中文行："},
      {ctl::按钮2, "打开文件"},
      {ctl::按钮3, "保存配置"},
      {ctl::按钮1, "初始化.."},
      {ctl::按钮4, "跳过"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    QWidget* w = h_.Widget(c.control);
    ASSERT_NE(w, nullptr);
    if (auto* label = qobject_cast<QLabel*>(w)) {
      EXPECT_EQ(label->text(), Q(c.text));
    } else {
      EXPECT_EQ(qobject_cast<QPushButton*>(w)->text(), Q(c.text));
    }
  }
  EXPECT_FALSE(h_.Widget<QLabel>(ctl::标签7)->text().isEmpty());
  EXPECT_FALSE(h_.Widget<QLabel>(ctl::标签4)->text().isEmpty());
  EXPECT_TRUE(h_.Widget<QLabel>(ctl::标签7)->wordWrap());
  EXPECT_TRUE(h_.Widget<QPlainTextEdit>(ctl::编辑框1)->toPlainText().isEmpty());
  EXPECT_EQ(h_.Widget<QPlainTextEdit>(ctl::编辑框3)->verticalScrollBarPolicy(),
            Qt::ScrollBarAlwaysOn);
  EXPECT_EQ(h_.Widget<QComboBox>(ctl::组合框_语音)->count(), 0);

  EXPECT_FALSE(h_.view->isVisible()) << "start-up shows the window";
  EXPECT_TRUE(h_.view->windowTitle().isEmpty());
  h_.Start();
  EXPECT_TRUE(h_.view->isVisible());
  EXPECT_EQ(h_.view->windowTitle(), "Lectoria");
}

TEST_F(MainViewTest, FontsAreTheFormsOrTheDefault) {
  const std::string_view yahei[] = {ctl::标签2, ctl::标签3, ctl::组合框_语音, ctl::组合框_语音风格,
                                    ctl::超级链接框1};
  const bool cjkInstalled = !QFontDatabase::families(QFontDatabase::SimplifiedChinese).isEmpty();
  for (std::string_view name : yahei) {
    SCOPED_TRACE(name);
    const QFont font = h_.Widget(name)->font();
    ASSERT_FALSE(font.families().isEmpty());
    EXPECT_EQ(font.families().front(), Q("微软雅黑"));
    EXPECT_EQ(font.pixelSize(), 12);
    EXPECT_EQ(font.weight(), QFont::Normal);
    // Without the Windows font an installed Chinese font is used.
    if (cjkInstalled) {
      const QString resolved = QFontInfo(font).family();
      EXPECT_TRUE(
          QFontDatabase::writingSystems(resolved).contains(QFontDatabase::SimplifiedChinese))
          << resolved.toStdString();
    }
  }
  EXPECT_TRUE(h_.Widget(ctl::超级链接框1)->font().underline());
  const QFont base = QApplication::font();
  for (std::string_view name : {ctl::标签1, ctl::按钮1, ctl::编辑框1, ctl::超级列表框1}) {
    SCOPED_TRACE(name);
    const QFont font = h_.Widget(name)->font();
    EXPECT_EQ(font.families(), QApplication::font(h_.Widget(name)).families());
    EXPECT_EQ(font.pointSizeF(), QApplication::font(h_.Widget(name)).pointSizeF());
    EXPECT_NE(font.families().value(0), Q("微软雅黑"));
  }
}

TEST_F(MainViewTest, ChapterListKeepsItsSingleColumn) {
  auto* list = h_.Widget<QTreeWidget>(ctl::超级列表框1);
  ASSERT_NE(list, nullptr);
  auto checkColumn = [&] {
    EXPECT_EQ(list->columnCount(), 1);
    EXPECT_EQ(list->headerItem()->text(0), Q("目录"));
    EXPECT_EQ(list->header()->sectionSize(0), 150);
    EXPECT_FALSE(list->isHeaderHidden());
  };
  checkColumn();
  EXPECT_EQ(list->topLevelItemCount(), 0);

  h_.model().SetRows(ctl::超级列表框1, {{G("第一章"), 1}, {G("第二章"), 2}});
  h_.model().AppendRow(ctl::超级列表框1, G("第三章"), 3);
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(list->topLevelItem(2)->text(0), Q("第三章"));
  checkColumn();
  h_.model().SetCurrentRow(ctl::超级列表框1, 1);
  EXPECT_EQ(list->currentItem(), list->topLevelItem(1));
  h_.model().ClearRows(ctl::超级列表框1);
  EXPECT_EQ(list->topLevelItemCount(), 0);
  EXPECT_EQ(list->currentItem(), nullptr);
  checkColumn();
}

TEST_F(MainViewTest, StartButtonWaitsForTheVoiceLoader) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  int toggles = 0;
  h_.app.hooks().ToggleStartPause = [&] { ++toggles; };
  h_.app.hooks().LoadVoices = [this, released] {
    released.wait();
    h_.model().SetEnabled(ctl::按钮1, true);
    h_.model().SetText(ctl::按钮1, texts::kCaptionStart);
  };
  h_.app.Start();
  ProcessEvents();
  auto* button = h_.Widget<QPushButton>(ctl::按钮1);
  EXPECT_FALSE(button->isEnabled());
  EXPECT_EQ(button->text(), Q("初始化.."));
  QTest::mouseClick(button, Qt::LeftButton, {}, Center(button));
  EXPECT_EQ(toggles, 0);

  release.set_value();
  // The loader's changes come from its thread and reach the button on the GUI thread.
  EXPECT_TRUE(WaitFor([&] { return button->isEnabled() && button->text() == Q("开始"); }));
  QTest::mouseClick(button, Qt::LeftButton, {}, Center(button));
  EXPECT_EQ(toggles, 1);
}

TEST_F(MainViewTest, ClicksRunTheBoundOperations) {
  int imports = 0, skips = 0, toggles = 0;
  std::string opened;
  h_.app.hooks().ImportBook = [&] { ++imports; };
  h_.app.hooks().AdvanceClip = [&] { ++skips; };
  h_.app.hooks().ToggleStartPause = [&] { ++toggles; };
  h_.app.hooks().OpenUrl = [&](std::string_view url) { opened = url; };
  h_.dir.WriteFile("data/data.ini", "");  // a book: 按钮1 and 按钮4 are usable
  h_.Start();

  for (std::string_view name : {ctl::按钮2, ctl::按钮4, ctl::按钮1, ctl::按钮4})
    QTest::mouseClick(h_.Widget(name), Qt::LeftButton, {}, Center(h_.Widget(name)));
  EXPECT_EQ(imports, 1);
  EXPECT_EQ(skips, 2);
  EXPECT_EQ(toggles, 1);

  QWidget* link = h_.Widget(ctl::超级链接框1);
  QTest::mouseClick(link, Qt::LeftButton, {}, Center(link));
  EXPECT_EQ(opened, texts::kServiceProductUrl);
  opened.clear();
  QTest::mouseClick(link, Qt::RightButton, {}, Center(link));
  EXPECT_TRUE(opened.empty());

  // 保存配置 stores the shown voice and the style's index (-1: none selected).
  h_.model().SetItems(ctl::组合框_语音, {"zh-CN-YunxiNeural", "zh-CN-XiaoyiNeural"});
  h_.model().SetSelectedIndex(ctl::组合框_语音, 1);
  QTest::mouseClick(h_.Widget(ctl::按钮3), Qt::LeftButton, {}, Center(h_.Widget(ctl::按钮3)));
  EXPECT_EQ(ConfigValue(config_keys::kVoice), "zh-CN-XiaoyiNeural");
  EXPECT_EQ(ConfigValue(config_keys::kVoiceStyle), "-1");
}

TEST_F(MainViewTest, DisabledButtonIgnoresClicks) {
  int skips = 0;
  h_.app.hooks().AdvanceClip = [&] { ++skips; };
  h_.Start();
  h_.model().SetEnabled(ctl::按钮4, false);
  QWidget* skip = h_.Widget(ctl::按钮4);
  EXPECT_FALSE(skip->isEnabled());
  QTest::mouseClick(skip, Qt::LeftButton, {}, Center(skip));
  EXPECT_EQ(skips, 0);
}

TEST_F(MainViewTest, CheckBoxesWriteTheirSettings) {
  h_.Start();
  auto* skip = h_.Widget<QCheckBox>(ctl::选择框1);
  auto* wake = h_.Widget<QCheckBox>(ctl::选择框2);
  EXPECT_TRUE(skip->isChecked());
  EXPECT_FALSE(wake->isChecked());
  EXPECT_TRUE(skip->text().isEmpty());

  QTest::mouseClick(skip, Qt::LeftButton, {}, Center(skip));
  EXPECT_FALSE(skip->isChecked());
  EXPECT_FALSE(h_.model().IsChecked(ctl::选择框1));
  EXPECT_EQ(ConfigValue(config_keys::kSkipNonChinese), G("假"));
  EXPECT_FALSE(h_.app.state().SkipNonChinese);
  QTest::mouseClick(skip, Qt::LeftButton, {}, Center(skip));
  EXPECT_EQ(ConfigValue(config_keys::kSkipNonChinese), G("真"));
  EXPECT_TRUE(h_.app.state().SkipNonChinese);

  QTest::mouseClick(wake, Qt::LeftButton, {}, Center(wake));
  EXPECT_TRUE(wake->isChecked());
  EXPECT_EQ(ConfigValue(config_keys::kWakeOutput), G("真"));
  EXPECT_TRUE(h_.app.state().WakeOutput);
}

TEST_F(MainViewTest, StoredSettingsReachTheCheckBoxes) {
  IniFile(h_.dir.paths().ConfigIni())
      .Write(config_keys::kSection, config_keys::kSkipNonChinese, "1");
  IniFile(h_.dir.paths().ConfigIni())
      .Write(config_keys::kSection, config_keys::kWakeOutput, G("真"));
  h_.Start();
  EXPECT_FALSE(h_.Widget<QCheckBox>(ctl::选择框1)->isChecked());
  EXPECT_TRUE(h_.Widget<QCheckBox>(ctl::选择框2)->isChecked());
}

TEST_F(MainViewTest, ComboBoxChoiceRunsFillStyleBoxButTheProgramsDoesNot) {
  int fills = 0;
  h_.app.hooks().FillStyleBox = [&] { ++fills; };
  h_.Start();
  h_.model().SetItems(ctl::组合框_语音, {G("晓晓"), G("云希"), G("晓伊")});
  auto* combo = h_.Widget<QComboBox>(ctl::组合框_语音);
  ASSERT_EQ(combo->count(), 3);
  EXPECT_EQ(combo->currentIndex(), -1);

  h_.model().SetSelectedIndex(ctl::组合框_语音, 0);
  EXPECT_EQ(combo->currentIndex(), 0);
  EXPECT_EQ(fills, 0);

  combo->setFocus();
  QTest::keyClick(combo, Qt::Key_Down);  // the user picks the next voice
  EXPECT_EQ(h_.model().SelectedIndex(ctl::组合框_语音), 1);
  EXPECT_EQ(h_.model().Text(ctl::组合框_语音), G("云希"));
  EXPECT_EQ(fills, 1);

  h_.model().AddItem(ctl::组合框_语音, G("云健"));
  EXPECT_EQ(combo->count(), 4);
  EXPECT_EQ(combo->itemText(3), Q("云健"));
  h_.model().ClearItems(ctl::组合框_语音);
  EXPECT_EQ(combo->count(), 0);
}

TEST_F(MainViewTest, RestoredBookAndChosenChapter) {
  WriteLibrary();
  h_.Start();
  EXPECT_EQ(h_.view->windowTitle(), Q("测试之书"));
  auto* list = h_.Widget<QTreeWidget>(ctl::超级列表框1);
  ASSERT_EQ(list->topLevelItemCount(), 3);
  EXPECT_EQ(list->topLevelItem(0)->text(0), Q("第一章 起"));
  EXPECT_EQ(list->currentItem(), list->topLevelItem(1));
  auto* text = h_.Widget<QPlainTextEdit>(ctl::编辑框1);
  EXPECT_EQ(text->toPlainText(), Q("第二章 承\n第一句\n第二句"));
  EXPECT_EQ(h_.Widget<QPlainTextEdit>(ctl::编辑框3)->toPlainText(), Q("第一句"));  // 行号 2

  // The user clicks chapter 3.
  const QRect row = list->visualItemRect(list->topLevelItem(2));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, row.center());
  EXPECT_EQ(h_.model().CurrentRow(ctl::超级列表框1), 2);
  EXPECT_EQ(text->toPlainText(), Q("第三章 转\n末句"));
  // Keys move through the list too.
  QTest::keyClick(list, Qt::Key_Up);
  EXPECT_EQ(h_.model().CurrentRow(ctl::超级列表框1), 1);
  EXPECT_EQ(text->toPlainText(), Q("第二章 承\n第一句\n第二句"));
}

TEST_F(MainViewTest, AltZHidesAndShowsTheWindow) {
  h_.Start();
  ASSERT_TRUE(h_.hotkeys.IsRegistered(kHotkeyShowHide));
  ASSERT_TRUE(h_.view->isVisible());
  ASSERT_TRUE(h_.hotkeys.Press(kModAlt, kVkZ));
  EXPECT_FALSE(h_.view->isVisible());
  EXPECT_FALSE(h_.model().IsVisible());
  ASSERT_TRUE(h_.hotkeys.Press(kModAlt, kVkZ));
  EXPECT_TRUE(h_.view->isVisible());

  int toggles = 0;
  h_.app.hooks().ToggleStartPause = [&] { ++toggles; };
  ASSERT_TRUE(h_.hotkeys.Press(kModAlt, kVkZ));
  ASSERT_TRUE(h_.hotkeys.Press(kModAlt, kVkSpace));  // works while hidden
  EXPECT_EQ(toggles, 1);
}

TEST_F(MainViewTest, ChangesFromAnotherThreadArriveOnTheGuiThread) {
  h_.Start();
  std::thread worker([this] {
    h_.model().SetText(ctl::编辑框3, G("第一行\r\n第二行"));
    h_.model().SetText(ctl::标签1, G("当前缓存：7"));
    h_.model().SetItems(ctl::组合框_语音风格, {G("默认"), G("欢快")});
    h_.model().SetSelectedIndex(ctl::组合框_语音风格, 1);
    for (int i = 1; i <= 50; ++i) h_.model().AppendRow(ctl::超级列表框1, G("章"), i);
    h_.model().SetEnabled(ctl::按钮4, false);
    h_.model().SetTitle(G("另一本书"));
  });
  worker.join();
  ProcessEvents();
  EXPECT_EQ(h_.Widget<QPlainTextEdit>(ctl::编辑框3)->toPlainText(), Q("第一行\n第二行"));
  EXPECT_EQ(h_.Widget<QLabel>(ctl::标签1)->text(), Q("当前缓存：7"));
  EXPECT_EQ(h_.Widget<QComboBox>(ctl::组合框_语音风格)->currentText(), Q("欢快"));
  EXPECT_EQ(h_.Widget<QTreeWidget>(ctl::超级列表框1)->topLevelItemCount(), 50);
  EXPECT_FALSE(h_.Widget(ctl::按钮4)->isEnabled());
  EXPECT_EQ(h_.view->windowTitle(), Q("另一本书"));
}

TEST_F(MainViewTest, TextBoxesAreReadOnlyAndTheProgramTextReachesThemWithLf) {
  h_.Start();
  h_.model().SetText(ctl::编辑框3, "ab\r\nc");
  ProcessEvents();
  for (std::string_view name : {ctl::编辑框1, ctl::编辑框3}) {
    auto* edit = h_.Widget<QPlainTextEdit>(name);
    EXPECT_TRUE(edit->isReadOnly());
    const std::string before = h_.model().Text(name);
    edit->setFocus();
    QTest::keyClicks(edit, "xy");
    EXPECT_EQ(h_.model().Text(name), before);
  }
  EXPECT_EQ(h_.Widget<QPlainTextEdit>(ctl::编辑框3)->toPlainText(), Q("ab\nc"));
}

TEST_F(MainViewTest, TextsAreShownAsWrittenNotAsMarkup) {
  h_.Start();
  h_.model().SetText(ctl::标签1, "<b>bold</b>&amp;");
  auto* label = h_.Widget<QLabel>(ctl::标签1);
  EXPECT_EQ(label->text(), "<b>bold</b>&amp;");
  EXPECT_EQ(label->textFormat(), Qt::PlainText);
}

TEST_F(MainViewTest, ClosingTheWindowRunsTheEnd) {
  int closes = 0;
  h_.view->SetOnCloseRequested([&] { ++closes; });
  h_.Start();
  h_.view->close();
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(h_.view->isVisible());
}

}  // namespace
}  // namespace lectoria
