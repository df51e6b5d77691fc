#include <gtest/gtest.h>

#include <fstream>

#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "app_harness.h"
#include "library/bookshelf.h"
#include "library/library_index.h"
#include "platform/codepage.h"

namespace lectoria {
namespace {

using testing::AppHarness;
using testing::G;

class ImportBookTest : public ::testing::Test {
 protected:
  void SetUp() override { h_.Start(); }

  // Writes a book outside the run directory and returns its path.
  std::filesystem::path WriteBook(const std::string& name, const std::string& bytes) {
    const auto path = h_.dir.root().parent_path() / (h_.dir.root().filename().string() + name);
    std::ofstream(path, std::ios::binary) << bytes;
    books_.push_back(path);
    return path;
  }
  void TearDown() override {
    for (const auto& p : books_) std::filesystem::remove(p);
  }

  // Clicks 打开文件, answers the dialog with `path` and waits for the import to end.
  void Import(const std::filesystem::path& path) {
    h_.fileDialog.QueueAnswer(path);
    h_.app.window().Click(ctl::按钮2);
    ASSERT_TRUE(h_.FinishImport());
  }
  // Reading had gone on: a position saved, clips made and played, one waiting in the cache.
  void ReadSomeWay() {
    LibraryIndex(h_.dir.paths()).SavePosition(1, 3);
    s().SynthesizedCount = 7;
    s().CurrentClip = 4;
    s().PlaybackStarted = true;
    h_.dir.WriteFile("temp/5.mp3", "clip");
  }
  std::string LastMessage() const {
    const auto messages = h_.messages.Messages();
    return messages.empty() ? std::string() : messages.back().text;
  }

  MainWindow& w() { return h_.app.window(); }
  AppState& s() { return h_.app.state(); }

  AppHarness h_;
  std::vector<std::filesystem::path> books_;
};

TEST_F(ImportBookTest, ImportFillsListPositionQueueAndTitle) {
  const std::string book = G("前言\r\n第一章 开始\r\n甲乙丙\r\nabc\r\n第二章 继续\r\n丁戊己");
  Import(WriteBook("小说.txt", book));

  EXPECT_EQ(LastMessage(), texts::kImportDone);
  EXPECT_EQ(h_.messages.Messages().back().title, texts::kNoticeTitle);
  EXPECT_EQ(h_.fileDialog.Filters().back(), texts::kBookFilter);
  EXPECT_TRUE(s().BookLoaded);
  EXPECT_EQ(w().RowCount(ctl::超级列表框1), 2);
  EXPECT_EQ(w().CurrentRow(ctl::超级列表框1), 0);
  EXPECT_EQ(s().ReadingQueue.Slot(1).QueueText, G("第一章 开始"));
  EXPECT_EQ(w().Text(ctl::编辑框3), G("第一章 开始"));
  // The chapter text of row 0 is shown.
  EXPECT_EQ(w().Text(ctl::编辑框1), G("第一章 开始\r\n甲乙丙\r\nabc"));
  EXPECT_EQ(w().Title().substr(w().Title().size() - 4), G("小说"));
}

TEST_F(ImportBookTest, CancelKeepsTheCurrentBook) {
  Import(WriteBook("a.txt", G("第一章 一\r\n正文")));
  Import({});
  EXPECT_EQ(LastMessage(), texts::kPleaseOpenFile);
  EXPECT_TRUE(std::filesystem::exists(h_.dir.paths().ChapterFile(1)));
  EXPECT_EQ(w().RowCount(ctl::超级列表框1), 1);
}

TEST_F(ImportBookTest, UnreadableFileIsReportedAndTheBookStays) {
  Import(WriteBook("a.txt", G("第一章 一\r\n正文")));
  Import(h_.dir.root() / "no-such-book.txt");
  EXPECT_NE(LastMessage(), texts::kImportDone);
  EXPECT_FALSE(LastMessage().empty());
  EXPECT_EQ(h_.messages.Messages().back().title, texts::kNoticeTitle);
  EXPECT_TRUE(std::filesystem::exists(h_.dir.paths().ChapterFile(1)));
}

TEST_F(ImportBookTest, SecondImportWhileReadingStartsTheNewBookCleanly) {
  Import(
      WriteBook("a.txt", G("第一章 一\r\n正文一\r\n第二章 二\r\n正文二\r\n第三章 三\r\n正文三")));
  ReadSomeWay();
  int stops = 0;
  h_.app.hooks().StopReading = [&] { ++stops; };

  Import(WriteBook("b.txt", G("第一章 新\r\n新正文")));

  EXPECT_EQ(stops, 1);
  EXPECT_EQ(s().SynthesizedCount, 0);
  EXPECT_EQ(s().CurrentClip, 0);
  EXPECT_FALSE(s().PlaybackStarted);
  EXPECT_FALSE(std::filesystem::exists(h_.dir.paths().Clip(5)));
  EXPECT_FALSE(std::filesystem::exists(h_.dir.paths().ChapterFile(2)));
  EXPECT_EQ(w().RowCount(ctl::超级列表框1), 1);
  EXPECT_EQ(s().ReadingQueue.Slot(1).QueueClip, 0);
  EXPECT_EQ(s().ReadingQueue.Slot(1).QueueText, G("第一章 新"));
  EXPECT_TRUE(s().ReadingQueue.ChapterStartClips.empty() ||
              s().ReadingQueue.ChapterStartClips.front() > 0);
}

TEST_F(ImportBookTest, Utf8BookIsConverted) {
  Import(WriteBook("u.txt", "\xEF\xBB\xBF" + GbkToUtf8(G("第一章 开篇\n第一行\n"))));
  EXPECT_EQ(LastMessage(), texts::kImportDone);
  EXPECT_EQ(w().Text(ctl::编辑框1), G("第一章 开篇\r\n第一行"));
}

TEST_F(ImportBookTest, ImportRunsInTheBackgroundBehindTheProgressDialog) {
  Import(WriteBook("a.txt", G("第一章 一\r\n正文")));
  std::string book;
  for (int k = 1; k <= 300; ++k) book += G("第" + std::to_string(k) + "章 题\r\n正文一行。\r\n");
  h_.fileDialog.QueueAnswer(WriteBook("长篇.txt", book));
  w().Click(ctl::按钮2);

  // Until the UI thread takes the result, the window shows the old book and a second click
  // asks for nothing.
  EXPECT_TRUE(h_.app.ImportRunning());
  EXPECT_TRUE(h_.progress.IsOpen());
  EXPECT_EQ(h_.progress.Text().rfind(G("正在导入《"), 0), 0u);
  EXPECT_TRUE(h_.progress.Text().ends_with(G("长篇》……")));
  EXPECT_EQ(w().RowCount(ctl::超级列表框1), 1);
  const std::size_t dialogs = h_.fileDialog.Filters().size();
  w().Click(ctl::按钮2);
  EXPECT_EQ(h_.fileDialog.Filters().size(), dialogs);

  ASSERT_TRUE(h_.FinishImport());
  EXPECT_FALSE(h_.progress.IsOpen());
  ASSERT_FALSE(h_.progress.Percents().empty());
  EXPECT_EQ(h_.progress.Percents().back(), 100);
  EXPECT_EQ(w().RowCount(ctl::超级列表框1), 300);
  EXPECT_EQ(LastMessage(), texts::kImportDone);
}

TEST_F(ImportBookTest, RefusedOrCancelledImportChangesNothing) {
  Import(WriteBook("a.txt", G("第一章 一\r\n正文一\r\n第二章 二\r\n正文二\r\n再一行")));
  ReadSomeWay();
  int stops = 0;
  h_.app.hooks().StopReading = [&] { ++stops; };
  const std::string before = h_.dir.ReadFile("data/data.ini");
  std::string program(
      "\x7F"
      "ELF\x02\x01\x01",
      7);
  for (int i = 0; i < 2000; ++i) program += std::string("\x48\x89\xE5\x00\x00\x01\x00\x00", 8);
  struct Case {
    const char* name;
    std::string bytes;
    bool cancel;
    ImportError error;
  };
  const Case cases[] = {
      {"empty", "", false, ImportError::kEmpty},
      {"binary", program, false, ImportError::kBinary},
      {"cancelled", G("第一章 新\r\n新正文"), true, ImportError::kCancelled},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    h_.fileDialog.QueueAnswer(WriteBook(std::string(c.name) + ".txt", c.bytes));
    w().Click(ctl::按钮2);
    if (c.cancel) h_.progress.Cancel();
    ASSERT_TRUE(h_.FinishImport());
    EXPECT_EQ(LastMessage(), ImportFailureMessage(c.error));
    EXPECT_EQ(stops, 0);
    EXPECT_EQ(h_.dir.ReadFile("data/data.ini"), before);
    EXPECT_EQ(h_.dir.ReadFile("temp/5.mp3"), "clip");
    EXPECT_EQ(s().SynthesizedCount, 7);
    EXPECT_EQ(w().RowCount(ctl::超级列表框1), 2);
    EXPECT_EQ(ListShelf(h_.dir.paths()).size(), 1u);
  }
}

TEST_F(ImportBookTest, ClosingDuringAnImportStopsItAndKeepsTheBook) {
  Import(WriteBook("a.txt", G("第一章 一\r\n正文")));
  const std::string before = h_.dir.ReadFile("data/data.ini");
  std::string book;
  for (int k = 1; k <= 2000; ++k) book += G("第" + std::to_string(k) + "章 题\r\n正文一行。\r\n");
  h_.fileDialog.QueueAnswer(WriteBook("b.txt", book));
  w().Click(ctl::按钮2);
  const std::size_t messages = h_.messages.Messages().size();

  h_.app.Close();
  h_.ui.RunPending();
  EXPECT_FALSE(h_.app.ImportRunning());
  EXPECT_FALSE(h_.progress.IsOpen());
  EXPECT_EQ(h_.messages.Messages().size(), messages);
  EXPECT_EQ(h_.dir.ReadFile("data/data.ini"), before);
  EXPECT_FALSE(std::filesystem::exists(PendingBookDir(h_.dir.paths(), 2)));
  EXPECT_EQ(ListShelf(h_.dir.paths()).size(), 1u);
}

}  // namespace
}  // namespace lectoria
