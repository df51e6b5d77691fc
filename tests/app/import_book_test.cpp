#include <gtest/gtest.h>

#include <fstream>

#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "app_harness.h"
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

  void Import(const std::filesystem::path& path) {
    h_.fileDialog.QueueAnswer(path);
    h_.app.window().Click(ctl::按钮2);
    h_.ui.RunPending();
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
  Import(WriteBook("a.txt", G("第一章 一\r\n正文一\r\n第二章 二\r\n正文二\r\n第三章 三\r\n正文三")));
  // Reading had gone on: clips made and played, a clip waiting in the cache.
  s().SynthesizedCount = 7;
  s().CurrentClip = 4;
  s().PlaybackStarted = true;
  h_.dir.WriteFile("temp/5.mp3", "clip");
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

}  // namespace
}  // namespace lectoria
