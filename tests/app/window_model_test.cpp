#include "app/window/main_window.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/window/control_names.h"
#include "support/manual_ui_thread.h"
#include "support/run_dir_fixture.h"

namespace lectoria {
namespace {

using testing::G;

class Recorder : public WindowObserver {
 public:
  void OnTitleChanged() override { log.push_back("title"); }
  void OnWindowVisibilityChanged() override { log.push_back("visible"); }
  void OnControlChanged(std::string_view control, Change what, std::int32_t index) override {
    log.push_back(std::string(control) + ":" + std::to_string(static_cast<int>(what)) + ":" +
                  std::to_string(index));
  }
  std::vector<std::string> log;
};

std::string Entry(std::string_view control, Change what, int index = -1) {
  return std::string(control) + ":" + std::to_string(static_cast<int>(what)) + ":" +
         std::to_string(index);
}

class WindowTest : public ::testing::Test {
 protected:
  ManualUiThread ui_;
  MainWindow window_{ui_};
};

TEST_F(WindowTest, FormDefinesEveryControl) {
  EXPECT_EQ(window_.WindowGeometry(), (Rect{50, 50, 876, 470}));
  EXPECT_FALSE(window_.IsVisible());
  EXPECT_EQ(window_.Title(), "");
  EXPECT_EQ(window_.ControlNames().size(), 33u);  // the form's 24 and nine added around it

  struct Case {
    std::string_view name;
    ControlKind kind;
    std::string_view parent;
    Rect geometry;
    std::string text;
  };
  const Case cases[] = {
      {ctl::超级列表框1, ControlKind::kListView, "", {8, 8, 144, 416}, ""},
      {ctl::编辑框3, ControlKind::kEdit, "", {160, 320, 528, 104}, ""},
      {ctl::组合框_语音风格, ControlKind::kComboBox, ctl::外形框2, {8, 73, 150, 25}, ""},
      {ctl::超级链接框1,
       ControlKind::kHyperlink,
       ctl::外形框1,
       {6, 102, 144, 18},
       G("语音合成服务由微软提供")},
      {ctl::标签1, ControlKind::kLabel, ctl::外形框1, {12, 156, 144, 24}, G("当前缓存：0")},
      {ctl::选择框1, ControlKind::kCheckBox, ctl::外形框1, {120, 189, 16, 24}, ""},
      {ctl::按钮1, ControlKind::kButton, ctl::外形框1, {8, 252, 112, 32}, G("初始化..")},
      {ctl::按钮4, ControlKind::kButton, ctl::外形框1, {128, 256, 32, 24}, G("跳过")},
      {ctl::时钟1, ControlKind::kTimer, "", {}, ""},
  };
  for (const Case& c : cases) {
    const Control control = window_.Snapshot(c.name);
    EXPECT_EQ(control.name, c.name);
    EXPECT_EQ(control.kind, c.kind) << c.name;
    EXPECT_EQ(control.parent, c.parent) << c.name;
    EXPECT_EQ(control.geometry, c.geometry) << c.name;
    EXPECT_EQ(control.text, c.text) << c.name;
  }

  // Controls in a frame keep their place relative to it.
  EXPECT_EQ(window_.ClientGeometry(ctl::按钮2), (Rect{696, 348, 72, 32}));
  EXPECT_EQ(window_.ClientGeometry(ctl::组合框_语音), (Rect{696, 26, 150, 25}));

  EXPECT_FALSE(window_.IsEnabled(ctl::按钮1));
  EXPECT_TRUE(window_.IsEnabled(ctl::按钮2));
  EXPECT_EQ(window_.Snapshot(ctl::时钟1).style.intervalMs, 1000);
  EXPECT_FALSE(window_.IsControlVisible(ctl::媒体播放1));
  const ControlStyle list = window_.Snapshot(ctl::超级列表框1).style;
  ASSERT_EQ(list.columns.size(), 1u);
  EXPECT_EQ(list.columns[0].title, G("目录"));
  EXPECT_EQ(list.columns[0].width, 150);
  EXPECT_EQ(window_.Snapshot(ctl::标签3).style.font.height, -12);
  EXPECT_EQ(window_.Snapshot(ctl::标签3).style.font.charset, 134);
  EXPECT_TRUE(window_.Snapshot(ctl::标签1).style.font.family.empty());
}

TEST_F(WindowTest, ListRowsAndCurrentRow) {
  int changes = 0;
  window_.Bind(ctl::超级列表框1, ControlEvent::kCurrentRowChanged, [&] { ++changes; });
  window_.SetRows(ctl::超级列表框1, {{G("第一章"), 1}, {G("第二章"), 2}});
  window_.AppendRow(ctl::超级列表框1, G("第三章"), 3);
  EXPECT_EQ(window_.RowCount(ctl::超级列表框1), 3);
  EXPECT_EQ(window_.CurrentRow(ctl::超级列表框1), -1);
  EXPECT_EQ(window_.RowValue(ctl::超级列表框1, 2), 3);
  EXPECT_EQ(window_.RowValue(ctl::超级列表框1, 3), 0);
  EXPECT_EQ(window_.RowValue(ctl::超级列表框1, -1), 0);

  // Setting the row on the UI thread runs the handler at once; setting it again does not.
  window_.SetCurrentRow(ctl::超级列表框1, 2);
  EXPECT_EQ(changes, 1);
  window_.SetCurrentRow(ctl::超级列表框1, 2);
  EXPECT_EQ(changes, 1);
  window_.SetCurrentRow(ctl::超级列表框1, 7);  // no such row: none current
  EXPECT_EQ(window_.CurrentRow(ctl::超级列表框1), -1);
  EXPECT_EQ(changes, 2);

  // Emptying the list leaves no row current without raising the event.
  window_.SetCurrentRow(ctl::超级列表框1, 0);
  window_.ClearRows(ctl::超级列表框1);
  EXPECT_EQ(window_.CurrentRow(ctl::超级列表框1), -1);
  EXPECT_EQ(changes, 3);
  EXPECT_EQ(window_.Snapshot(ctl::超级列表框1).style.columns.size(), 1u);
}

TEST_F(WindowTest, EventsRaisedOnOtherThreadsRunOnTheUiThread) {
  std::thread::id ranOn;
  window_.Bind(ctl::超级列表框1, ControlEvent::kCurrentRowChanged,
               [&] { ranOn = std::this_thread::get_id(); });
  window_.SetRows(ctl::超级列表框1, {{"a", 1}});
  std::thread worker([&] { window_.SetCurrentRow(ctl::超级列表框1, 0); });
  worker.join();
  EXPECT_EQ(ranOn, std::thread::id());                 // queued, not yet run
  EXPECT_EQ(window_.CurrentRow(ctl::超级列表框1), 0);  // the state changed at once
  EXPECT_EQ(ui_.RunPending(), 1u);
  EXPECT_EQ(ranOn, std::this_thread::get_id());
}

TEST_F(WindowTest, ComboItemsSelectionAndText) {
  int selected = 0;
  window_.Bind(ctl::组合框_语音, ControlEvent::kItemSelected, [&] { ++selected; });
  window_.SetItems(ctl::组合框_语音, {"zh-CN-XiaoxiaoNeural", "zh-CN-YunxiNeural"});
  window_.AddItem(ctl::组合框_语音, "en-US-AriaNeural");
  EXPECT_EQ(window_.ItemCount(ctl::组合框_语音), 3);
  EXPECT_EQ(window_.SelectedIndex(ctl::组合框_语音), -1);
  EXPECT_EQ(window_.FindItemWithPrefix(ctl::组合框_语音, "ZH-cn-yun"), 1);
  EXPECT_EQ(window_.FindItemWithPrefix(ctl::组合框_语音, "fr"), -1);

  window_.SetSelectedIndex(ctl::组合框_语音, 1);  // the program's choice raises nothing
  EXPECT_EQ(window_.Text(ctl::组合框_语音), "zh-CN-YunxiNeural");
  EXPECT_EQ(selected, 0);
  window_.UserSelectItem(ctl::组合框_语音, 2);
  EXPECT_EQ(window_.Text(ctl::组合框_语音), "en-US-AriaNeural");
  EXPECT_EQ(selected, 1);
  window_.UserSelectItem(ctl::组合框_语音, 9);  // not an item: ignored
  EXPECT_EQ(selected, 1);
  window_.SetSelectedIndex(ctl::组合框_语音, 9);
  EXPECT_EQ(window_.SelectedIndex(ctl::组合框_语音), -1);
  EXPECT_EQ(window_.Text(ctl::组合框_语音), "");
  window_.ClearItems(ctl::组合框_语音);
  EXPECT_EQ(window_.ItemCount(ctl::组合框_语音), 0);
}

TEST_F(WindowTest, ClicksRespectEnabledStateAndToggleCheckBoxes) {
  int starts = 0;
  int skips = 0;
  window_.Bind(ctl::按钮1, ControlEvent::kClicked, [&] { ++starts; });
  window_.Bind(ctl::选择框1, ControlEvent::kClicked, [&] { ++skips; });

  window_.Click(ctl::按钮1);  // disabled until the voice list is loaded
  EXPECT_EQ(starts, 0);
  window_.SetEnabled(ctl::按钮1, true);
  window_.Click(ctl::按钮1);
  EXPECT_EQ(starts, 1);
  window_.SetEnabled(ctl::外形框1, false);  // a disabled frame disables what it holds
  window_.Click(ctl::按钮1);
  EXPECT_EQ(starts, 1);
  window_.SetEnabled(ctl::外形框1, true);

  EXPECT_FALSE(window_.IsChecked(ctl::选择框1));
  window_.Click(ctl::选择框1);
  EXPECT_TRUE(window_.IsChecked(ctl::选择框1));
  EXPECT_EQ(skips, 1);
  window_.Click(ctl::标签1);  // labels take no clicks
  window_.Click("no such control");
  EXPECT_EQ(window_.Text("no such control"), "");
  EXPECT_EQ(window_.CurrentRow(ctl::按钮1), -1);  // wrong kind reads neutral
}

TEST_F(WindowTest, ObserversHearEveryChangeOnce) {
  Recorder recorder;
  window_.AddObserver(&recorder);
  window_.SetTitle("Lectoria");
  window_.SetVisible(true);
  window_.SetVisible(true);  // no change, no announcement
  window_.SetText(ctl::编辑框3, "x");
  window_.SetEnabled(ctl::按钮1, true);
  window_.SetChecked(ctl::选择框2, true);
  window_.AppendRow(ctl::超级列表框1, "a", 1);
  window_.SetCurrentRow(ctl::超级列表框1, 0);
  window_.AddItem(ctl::组合框_语音风格, "b");
  window_.SetSelectedIndex(ctl::组合框_语音风格, 0);
  window_.RemoveObserver(&recorder);
  window_.SetTitle("after");
  EXPECT_EQ(recorder.log,
            (std::vector<std::string>{"title", "visible", Entry(ctl::编辑框3, Change::kText),
                                      Entry(ctl::按钮1, Change::kEnabled),
                                      Entry(ctl::选择框2, Change::kChecked),
                                      Entry(ctl::超级列表框1, Change::kRowAppended, 0),
                                      Entry(ctl::超级列表框1, Change::kCurrentRow, 0),
                                      Entry(ctl::组合框_语音风格, Change::kItemAppended, 0),
                                      Entry(ctl::组合框_语音风格, Change::kSelection, 0)}));
}

TEST_F(WindowTest, ChangesFromManyThreadsAreSafe) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&, t] {
      for (int i = 0; i < 500; ++i) {
        window_.AppendRow(ctl::超级列表框1, std::to_string(i), t);
        window_.SetText(ctl::标签1, std::to_string(i));
        (void)window_.Rows(ctl::超级列表框1);
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(window_.RowCount(ctl::超级列表框1), 2000);
}

}  // namespace
}  // namespace lectoria
