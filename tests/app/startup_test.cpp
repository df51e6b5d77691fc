#include <gtest/gtest.h>

#include <stdexcept>
#include <thread>

#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "app_harness.h"
#include "library/library_index.h"
#include "platform/file_util.h"
#include "support/library_fixture.h"

namespace lectoria {
namespace {

using testing::AppHarness;
using testing::CrLf;
using testing::G;

class StartupTest : public ::testing::Test {
 protected:
  void WriteConfig(std::string_view key, std::string_view value) {
    std::filesystem::create_directories(h_.dir.root());
    IniFile(h_.dir.paths().ConfigIni()).Write(config_keys::kSection, key, value);
  }
  std::string ConfigValue(std::string_view key) {
    return IniFile(h_.dir.paths().ConfigIni()).Read(config_keys::kSection, key, "<missing>");
  }
  std::string IndexValue(std::string_view key) {
    return IniFile(h_.dir.paths().DataIni()).Read(index_keys::kProperties, key, "<missing>");
  }

  // A stored library of three chapters, read up to chapter 2, line 3.
  void WriteLibrary() {
    h_.dir.WriteFile("data/1.txt", CrLf({G("第一章 起"), G("第一行中文")}));
    h_.dir.WriteFile("data/2.txt",
                     CrLf({G("第二章 承"), G("第一句"), "", G("  第三句  "), G("第四句")}));
    h_.dir.WriteFile("data/3.txt", CrLf({G("第三章 转"), G("末句")}));
    testing::WriteLibraryIndex(h_.dir.paths(), G("测试之书"),
                               {G("第一章 起"), G("第二章 承"), G("第三章 转")});
    LibraryIndex index(h_.dir.paths());
    index.WriteReadingHistory(1);
    index.WriteLineNumber(3);
  }

  MainWindow& w() { return h_.app.window(); }
  AppState& s() { return h_.app.state(); }

  AppHarness h_;
};

TEST_F(StartupTest, FreshInstallation) {
  h_.dir.WriteFile("temp/5.mp3", "old clip");
  h_.dir.WriteFile("temp/sub/x.mp3", "old clip");
  h_.Start();

  EXPECT_TRUE(w().IsVisible());
  EXPECT_EQ(w().Title(), "Lectoria");
  EXPECT_TRUE(w().IsChecked(ctl::选择框1));
  EXPECT_FALSE(w().IsChecked(ctl::选择框2));
  EXPECT_TRUE(s().SkipNonChinese);
  EXPECT_FALSE(s().WakeOutput);
  EXPECT_EQ(s().CacheSize, 10);
  EXPECT_FALSE(s().BookLoaded);
  EXPECT_EQ(s().SynthesizedCount, 0);
  EXPECT_EQ(s().CurrentClip, 0);
  EXPECT_EQ(w().RowCount(ctl::超级列表框1), 0);
  EXPECT_EQ(w().Text(ctl::编辑框3), texts::kOpenBookFirst);
  ASSERT_EQ(s().ReadingQueue.Size(), 10);
  for (const QueueSlot& slot : s().ReadingQueue.Slots()) {
    EXPECT_EQ(slot.QueueText, "");
    EXPECT_EQ(slot.QueueClip, 0);
    EXPECT_EQ(slot.QueueLine, 0);
  }
  // temp/ is renewed: it exists and holds nothing of the earlier run.
  EXPECT_TRUE(std::filesystem::is_directory(h_.dir.root() / "temp"));
  EXPECT_TRUE(std::filesystem::is_empty(h_.dir.root() / "temp"));
  // The defaults the voice loader reads; nothing has been written.
  EXPECT_EQ(h_.app.config().Voice(), "zh-CN-XiaoxiaoNeural");
  EXPECT_EQ(h_.app.config().VoiceStyle(), 0);
  EXPECT_FALSE(std::filesystem::exists(h_.dir.root() / "config.ini"));
  // The placeholder voice loader ends with the caption "开始"; without a book the button stays
  // disabled.
  EXPECT_FALSE(w().IsEnabled(ctl::按钮1));
  EXPECT_EQ(w().Text(ctl::按钮1), texts::kCaptionStart);
  EXPECT_TRUE(h_.hotkeys.IsRegistered(kHotkeyStartPause));
  EXPECT_TRUE(h_.hotkeys.IsRegistered(kHotkeyShowHide));
}

TEST_F(StartupTest, StoredSettingsAreRead) {
  WriteConfig(config_keys::kSkipNonChinese, "1");  // only "真" is true
  WriteConfig(config_keys::kWakeOutput, G("真"));
  WriteConfig(config_keys::kCacheSize, "4");
  h_.Start();
  EXPECT_FALSE(w().IsChecked(ctl::选择框1));
  EXPECT_FALSE(s().SkipNonChinese);
  EXPECT_TRUE(w().IsChecked(ctl::选择框2));
  EXPECT_TRUE(s().WakeOutput);
  EXPECT_EQ(s().CacheSize, 4);
  EXPECT_EQ(s().ReadingQueue.Size(), 4);
}

TEST(CacheSizeSetting, BelowTwoOrUnreadableGivesTwoAndAbsurdIsCapped) {
  struct Case {
    const char* stored;  // nullptr: no key
    int expected;
  };
  const Case cases[] = {
      {nullptr, 10}, {"", 2},      {"abc", 2},     {"1", 2},       {"-5", 2},
      {"2", 2},      {" 25 ", 25}, {"1000", 1000}, {"1001", 1000}, {"99999999999", 1000}};
  for (const Case& c : cases) {
    testing::TempRunDir dir;
    if (c.stored)
      IniFile(dir.paths().ConfigIni())
          .Write(config_keys::kSection, config_keys::kCacheSize, c.stored);
    EXPECT_EQ(ConfigStore(dir.paths()).CacheSize(), c.expected) << (c.stored ? c.stored : "-");
  }
}

TEST_F(StartupTest, StoredLibraryIsRestored) {
  WriteLibrary();
  h_.Start();

  EXPECT_TRUE(s().BookLoaded);
  EXPECT_EQ(w().Title(), G("测试之书"));
  EXPECT_EQ(s().ReadingQueue.ChapterCount, 3);
  EXPECT_EQ(w().Rows(ctl::超级列表框1),
            (std::vector<ListRow>{{G("第一章 起"), 1}, {G("第二章 承"), 2}, {G("第三章 转"), 3}}));
  EXPECT_EQ(s().CurrentChapterRow, 1);
  EXPECT_EQ(w().CurrentRow(ctl::超级列表框1), 1);
  // Making the row current showed its chapter.
  EXPECT_EQ(w().Text(ctl::编辑框1), h_.dir.ReadFile("data/2.txt"));

  // The queue starts at chapter 2, line 3 (empty, skipped), and runs into chapter 3.
  const ReadingQueue& q = s().ReadingQueue;
  ASSERT_EQ(q.Size(), 10);
  EXPECT_EQ(q.Slot(1).QueueText, G("第三句"));
  EXPECT_EQ(q.Slot(1).QueueLine, 4);
  EXPECT_EQ(q.Slot(2).QueueText, G("第四句"));
  EXPECT_EQ(q.Slot(3).QueueText, G("第三章 转"));
  EXPECT_EQ(q.Slot(4).QueueText, G("末句"));
  EXPECT_TRUE(q.Slot(5).QueueEnd);
  EXPECT_EQ(q.Slot(5).QueueClip, 4);
  EXPECT_EQ(q.ChapterStartClips, (std::vector<std::int32_t>{2}));
  EXPECT_EQ(w().Text(ctl::编辑框3), G("第三句"));
  // Start-up only reads the index.
  EXPECT_EQ(IndexValue(index_keys::kReadingHistory), "1");
  EXPECT_EQ(IndexValue(index_keys::kLineNumber), "3");
}

TEST_F(StartupTest, IndexWithoutKeysStartsAnEmptyBook) {
  h_.dir.WriteFile("data/data.ini", "");
  h_.Start();
  EXPECT_TRUE(s().BookLoaded);
  EXPECT_EQ(w().Title(), "");
  EXPECT_EQ(w().RowCount(ctl::超级列表框1), 0);
  EXPECT_TRUE(s().ReadingQueue.Slot(1).QueueEnd);
  EXPECT_EQ(w().Text(ctl::编辑框3), texts::kBookEnd);  // never the queue's end marker
}

// A damaged "阅读历史" (-2000000000) once sent the queue loader through two billion chapter
// numbers at start-up. Every stored number is now checked against what it can mean.
TEST_F(StartupTest, DamagedNumbersInTheIndexGiveANeutralPosition) {
  struct Case {
    const char* history;
    const char* line;
    const char* chapters;  // "章节数"
    std::int32_t row;      // the position used, and stored when the row was replaced
    std::int32_t storedLine;
    const char* firstLine;  // slot 1
  };
  const Case cases[] = {
      {"1", "3", "3", 1, 3, "第三句"},               // sound: chapter 2 from line 3
      {"1", "5", "3", 1, 5, "第四句"},               // the chapter's last line
      {"-2000000000", "3", "3", 0, 1, "第一章 起"},  // no such chapter: the book's start
      {"3", "2", "3", 0, 1, "第一章 起"},            // one past the last chapter
      {"7", "2", "3", 0, 1, "第一章 起"},
      {"2147483647", "1", "3", 0, 1, "第一章 起"},
      {"1", "0", "3", 1, 0, "第二章 承"},  // no line 0: the chapter's start
      {"1", "-9", "3", 1, -9, "第二章 承"},
      {"1", "99999", "3", 1, 99999, "第三章 转"},  // past the end: the next chapter
      {"abc", "x", "3", 0, 0, "第一章 起"},        // no number reads as 0
      {"1", "3", "-5", 0, 1, "第一章 起"},         // no chapters listed
      {"1", "3", "2000000000", 1, 3, "第三句"},    // the list is cut at its bound
  };
  for (const Case& c : cases) {
    AppHarness h;
    h.dir.WriteFile("data/1.txt", CrLf({G("第一章 起"), G("第一行中文")}));
    h.dir.WriteFile("data/2.txt",
                    CrLf({G("第二章 承"), G("第一句"), "", G("  第三句  "), G("第四句")}));
    h.dir.WriteFile("data/3.txt", CrLf({G("第三章 转"), G("末句")}));
    IniFile index(h.dir.paths().DataIni());
    index.Write(index_keys::kProperties, index_keys::kReadingHistory, c.history);
    index.Write(index_keys::kProperties, index_keys::kLineNumber, c.line);
    index.Write(index_keys::kProperties, index_keys::kChapterCount, c.chapters);
    h.Start();
    const std::string label = std::string(c.history) + "/" + c.line + "/" + c.chapters;
    EXPECT_TRUE(h.app.state().BookLoaded) << label;
    EXPECT_EQ(h.app.state().CurrentChapterRow, c.row) << label;
    EXPECT_EQ(h.app.state().ReadingQueue.Slot(1).QueueText, G(c.firstLine)) << label;
    EXPECT_EQ(LibraryIndex(h.dir.paths()).ReadingHistory(), c.row) << label;
    EXPECT_EQ(LibraryIndex(h.dir.paths()).LineNumber(), c.storedLine) << label;
  }
}

TEST_F(StartupTest, SelectingARowShowsItsChapterOnly) {
  WriteLibrary();
  h_.Start();
  w().UserSelectRow(ctl::超级列表框1, 2);
  EXPECT_EQ(w().Text(ctl::编辑框1), h_.dir.ReadFile("data/3.txt"));
  EXPECT_EQ(IndexValue(index_keys::kReadingHistory), "1");
  EXPECT_EQ(s().CurrentChapterRow, 1);

  std::filesystem::remove(h_.dir.root() / "data/1.txt");
  w().UserSelectRow(ctl::超级列表框1, 0);
  EXPECT_EQ(w().Text(ctl::编辑框1), "");  // a missing chapter file empties the box
}

TEST_F(StartupTest, CheckBoxHandlersStoreAndApplyTheirState) {
  h_.Start();
  w().Click(ctl::选择框1);
  EXPECT_EQ(ConfigValue(config_keys::kSkipNonChinese), G("假"));
  EXPECT_FALSE(s().SkipNonChinese);
  w().Click(ctl::选择框1);
  EXPECT_EQ(ConfigValue(config_keys::kSkipNonChinese), G("真"));
  EXPECT_TRUE(s().SkipNonChinese);

  w().Click(ctl::选择框2);
  EXPECT_EQ(ConfigValue(config_keys::kWakeOutput), G("真"));
  EXPECT_TRUE(s().WakeOutput);
}

TEST_F(StartupTest, SaveVoiceSettingsStoresVoiceAndStyleIndex) {
  h_.Start();
  w().SetItems(ctl::组合框_语音, {"zh-CN-XiaoxiaoNeural", "zh-CN-YunxiNeural"});
  w().SetSelectedIndex(ctl::组合框_语音, 1);
  w().Click(ctl::按钮3);  // no style selected
  EXPECT_EQ(ConfigValue(config_keys::kVoice), "zh-CN-YunxiNeural");
  EXPECT_EQ(ConfigValue(config_keys::kVoiceStyle), "-1");

  w().SetItems(ctl::组合框_语音风格, {G("助理"), G("聊天"), G("默认")});
  w().SetSelectedIndex(ctl::组合框_语音风格, 2);
  w().Click(ctl::按钮3);
  EXPECT_EQ(ConfigValue(config_keys::kVoiceStyle), "2");
  EXPECT_EQ(h_.app.config().VoiceStyle(), 2);
}

TEST_F(StartupTest, HotkeysToggleTheWindowAndStartPause) {
  int toggles = 0;
  h_.app.hooks().ToggleStartPause = [&] { ++toggles; };
  h_.dir.WriteFile("data/data.ini", "");  // a book: 按钮1 is usable
  h_.Start();
  EXPECT_TRUE(h_.hotkeys.Press(kModAlt, kVkZ));
  EXPECT_FALSE(w().IsVisible());
  // Alt+Space acts as the start button does, also while the window is hidden.
  EXPECT_TRUE(h_.hotkeys.Press(kModAlt, kVkSpace));
  EXPECT_EQ(toggles, 1);
  w().Click(ctl::按钮1);
  EXPECT_EQ(toggles, 2);
  EXPECT_TRUE(h_.hotkeys.Press(kModAlt, kVkZ));
  EXPECT_TRUE(w().IsVisible());
}

TEST_F(StartupTest, RefusedHotkeyIsSilent) {
  h_.hotkeys.Refuse(kModAlt, kVkSpace);
  h_.Start();
  EXPECT_FALSE(h_.hotkeys.IsRegistered(kHotkeyStartPause));
  EXPECT_TRUE(h_.hotkeys.IsRegistered(kHotkeyShowHide));
  EXPECT_TRUE(h_.messages.Messages().empty());
}

TEST_F(StartupTest, EventsReachTheirHooks) {
  std::vector<std::string> log;
  AppHooks& hooks = h_.app.hooks();
  hooks.ImportBook = [&] { log.push_back("import"); };
  hooks.ToggleStartPause = [&] { log.push_back("toggle"); };
  hooks.AdvanceClip = [&] { log.push_back("advance"); };
  hooks.OnTimerTick = [&] { log.push_back("tick"); };
  hooks.FillStyleBox = [&] { log.push_back("styles"); };
  hooks.OpenUrl = [&](std::string_view url) { log.push_back(std::string(url)); };
  h_.dir.WriteFile("data/data.ini", "");  // a book: 按钮1 and 按钮4 are usable
  h_.Start();
  w().Click(ctl::按钮2);
  w().Click(ctl::按钮1);
  w().Click(ctl::按钮4);
  w().SetItems(ctl::组合框_语音, {"a", "b"});
  w().UserSelectItem(ctl::组合框_语音, 1);
  w().Click(ctl::超级链接框1);
  h_.ui.AdvanceBy(2000);
  EXPECT_EQ(log,
            (std::vector<std::string>{"import", "toggle", "advance", "styles",
                                      std::string(texts::kServiceProductUrl), "tick", "tick"}));
}

TEST_F(StartupTest, StartButtonWaitsForTheVoiceLoader) {
  std::thread::id loaderThread;
  std::atomic<bool> release{false};
  h_.app.hooks().LoadVoices = [&] {
    loaderThread = std::this_thread::get_id();
    while (!release) std::this_thread::yield();
    w().SetEnabled(ctl::按钮1, true);
    w().SetText(ctl::按钮1, texts::kCaptionStart);
  };
  int toggles = 0;
  h_.app.hooks().ToggleStartPause = [&] { ++toggles; };
  h_.app.Start();
  w().Click(ctl::按钮1);
  EXPECT_EQ(toggles, 0);
  EXPECT_EQ(w().Text(ctl::按钮1), texts::kCaptionInitializing);
  release = true;
  h_.app.JoinVoiceLoader();
  EXPECT_NE(loaderThread, std::this_thread::get_id());
  w().Click(ctl::按钮1);
  EXPECT_EQ(toggles, 1);
}

// An exception out of the voice loader's body used to end the program (std::terminate on its
// thread); had it not, the start button would have stayed disabled for good.
TEST_F(StartupTest, ExceptionInTheVoiceLoaderNeitherEndsTheProgramNorLocksTheStartButton) {
  h_.app.hooks().LoadVoices = [] { throw std::runtime_error("voice list"); };
  h_.dir.WriteFile("data/data.ini", "");  // a book: 按钮1 is usable
  h_.Start();
  EXPECT_TRUE(w().IsEnabled(ctl::按钮1));
  EXPECT_EQ(w().Text(ctl::按钮1), texts::kCaptionStart);
}

TEST_F(StartupTest, CloseCleansUpAndStopsTheTimer) {
  int ticks = 0;
  bool closed = false;
  h_.app.hooks().OnTimerTick = [&] { ++ticks; };
  h_.app.hooks().OnClose = [&] { closed = true; };
  h_.Start();
  h_.dir.WriteFile("temp/0.mp3", "clip");
  h_.ui.AdvanceBy(1000);
  h_.app.Close();
  EXPECT_TRUE(closed);
  EXPECT_EQ(h_.player.CloseCount(), 1);
  EXPECT_FALSE(std::filesystem::exists(h_.dir.root() / "temp"));
  h_.ui.AdvanceBy(5000);
  EXPECT_EQ(ticks, 1);
  h_.app.CleanUpTemp();  // a second clean-up is harmless
  h_.app.Close();
  EXPECT_EQ(h_.player.CloseCount(), 2);
}

// The clean-up used to run before the threads were stopped: a thread finishing its step as the
// window closed (StartAfterWait starting a clip, a worker storing one) undid it, and the program
// ended with the player open or a clip in temp/.
TEST_F(StartupTest, CleanUpRunsAfterTheThreadsStoppedAtClose) {
  h_.dir.WriteFile("1.mp3", "wake");
  h_.app.hooks().OnClose = [&] {
    // What a thread does in its last step before it is joined.
    WriteFileAtomically(h_.dir.paths().Clip(7), "mp3", /*syncToDisk=*/false);
    h_.player.Open(h_.dir.paths().WakeClip());
    h_.player.Play(0);
  };
  h_.Start();
  h_.app.Close();
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kNone);
  EXPECT_FALSE(std::filesystem::exists(h_.dir.root() / "temp"));
}

}  // namespace
}  // namespace lectoria
