#include <gtest/gtest.h>

#include <fstream>

#include "app/core/shelf_texts.h"
#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "app_harness.h"
#include "library/bookshelf.h"
#include "platform/codepage.h"

namespace lectoria {
namespace {

using testing::AppHarness;
using testing::G;

const char* const kThree =
    "第一章 甲\r\n一\r\n第二章 乙\r\n二一\r\n二二\r\n二三\r\n第三章 丙\r\n三";

class BookshelfWindowTest : public ::testing::Test {
 protected:
  void SetUp() override { h_.Start(); }
  void TearDown() override {
    for (const auto& p : books_) std::filesystem::remove(p);
  }

  // Writes a book outside the run directory (UTF-8 text, stored as GBK).
  std::filesystem::path WriteBook(const std::string& name, const std::string& utf8) {
    const auto path = h_.dir.root().parent_path() / (h_.dir.root().filename().string() + name);
    std::ofstream(path, std::ios::binary) << G(utf8);
    books_.push_back(path);
    return path;
  }
  void Import(const std::filesystem::path& path) {
    h_.fileDialog.QueueAnswer(path);
    w().Click(ctl::按钮2);
    ASSERT_TRUE(h_.FinishImport());
  }
  // The shown shelf's rows as "title|chapters|read" (the last-read time left out).
  std::vector<std::string> Shelf() {
    std::vector<std::string> rows;
    for (const ShelfRow& row : h_.shelf.Rows())
      rows.push_back(GbkToUtf8(row.cells[0] + "|" + row.cells[1] + "|" + row.cells[2]) +
                     (row.current ? "*" : ""));
    return rows;
  }
  BookId IdOf(const std::string& suffix) {
    for (const ShelfBook& book : ListShelf(h_.dir.paths()))
      if (GbkToUtf8(book.title).ends_with(suffix)) return book.id;
    return 0;
  }
  std::string Title() { return GbkToUtf8(w().Title()); }

  MainWindow& w() { return h_.app.window(); }
  AppState& s() { return h_.app.state(); }

  AppHarness h_;
  std::vector<std::filesystem::path> books_;
};

TEST_F(BookshelfWindowTest, ImportShelvesTheOldBookAndSwitchingRestoresEachPlace) {
  Import(WriteBook("甲.txt", kThree));
  LibraryIndex(h_.dir.paths()).SavePosition(1, 3);
  Import(WriteBook("乙.txt", "第一章 新\r\n新文"));
  EXPECT_TRUE(Title().ends_with("乙"));

  w().RunCommand(Command::kShowShelf);  // Ctrl+B
  ASSERT_TRUE(h_.shelf.IsShown());
  EXPECT_EQ(GbkToUtf8(h_.shelf.Columns()[3]), shelf_texts::kColumnLastRead);
  EXPECT_EQ(GbkToUtf8(h_.shelf.Rows()[0].cells[3]), shelf_texts::kReadingNow);
  const std::string prefix = h_.dir.root().filename().string();
  EXPECT_EQ(Shelf(), (std::vector<std::string>{prefix + "乙|1|0%*", prefix + "甲|3|33%"}));

  int stops = 0;
  h_.app.hooks().StopReading = [&] { ++stops; };
  h_.shelf.Open(IdOf("甲"));
  EXPECT_FALSE(h_.shelf.IsShown());
  EXPECT_EQ(stops, 1);
  EXPECT_TRUE(Title().ends_with("甲"));
  EXPECT_EQ(w().RowCount(ctl::超级列表框1), 3);
  EXPECT_EQ(w().CurrentRow(ctl::超级列表框1), 1);
  EXPECT_EQ(w().Text(ctl::编辑框3), G("二二"));  // chapter 2, line 3
  EXPECT_EQ(s().CurrentClip, 0);

  // After a restart the shelf is as it was left.
  w().Click(ctl::按钮_书架);
  h_.shelf.Open(IdOf("乙"));
  h_.app.Close();
  App again(h_.dir.root(), AppPorts{h_.ui, h_.hotkeys, h_.messages, h_.fileDialog, h_.player,
                                    &h_.progress, &h_.shelf, &h_.questions});
  again.Start();
  again.JoinVoiceLoader();
  EXPECT_TRUE(GbkToUtf8(again.window().Title()).ends_with("乙"));
  again.ShowShelf();
  EXPECT_EQ(Shelf(), (std::vector<std::string>{prefix + "乙|1|0%*", prefix + "甲|3|33%"}));
  h_.shelf.Open(IdOf("甲"));
  EXPECT_EQ(again.window().Text(ctl::编辑框3), G("二二"));
  again.Close();
}

TEST_F(BookshelfWindowTest, ImportingAShelvedFileAgainAsksAndKeepsItsPlace) {
  const auto path = WriteBook("甲.txt", kThree);
  Import(path);
  LibraryIndex(h_.dir.paths()).SavePosition(2, 2);
  Import(WriteBook("乙.txt", "第一章 新\r\n新文"));
  const std::size_t messages = h_.messages.Messages().size();

  h_.questions.QueueAnswer(false);
  Import(path);
  ASSERT_EQ(h_.questions.Asked().size(), 1u);
  EXPECT_TRUE(GbkToUtf8(h_.questions.Asked()[0]).ends_with(shelf_texts::kReplaceAfter));
  EXPECT_EQ(h_.messages.Messages().size(), messages);
  EXPECT_TRUE(Title().ends_with("乙"));

  h_.questions.QueueAnswer(true);
  Import(path);
  EXPECT_EQ(h_.messages.Messages().back().text, texts::kImportDone);
  EXPECT_TRUE(Title().ends_with("甲"));
  EXPECT_EQ(ListShelf(h_.dir.paths()).size(), 2u);
  EXPECT_EQ(w().CurrentRow(ctl::超级列表框1), 2);
}

TEST_F(BookshelfWindowTest, RemovingAsksFirst) {
  Import(WriteBook("甲.txt", kThree));
  Import(WriteBook("乙.txt", "第一章 新\r\n新文"));
  h_.app.ShowShelf();
  const BookId a = IdOf("甲");
  const BookId b = IdOf("乙");

  h_.questions.QueueAnswer(false);
  h_.shelf.Remove(a);
  EXPECT_EQ(ListShelf(h_.dir.paths()).size(), 2u);

  h_.questions.QueueAnswer(true);
  h_.shelf.Remove(a);
  EXPECT_TRUE(GbkToUtf8(h_.questions.Asked().back()).starts_with(shelf_texts::kRemoveBefore));
  EXPECT_EQ(h_.shelf.Rows().size(), 1u);  // the shown list follows

  h_.questions.QueueAnswer(true);
  h_.shelf.Remove(b);  // the book being read
  EXPECT_TRUE(h_.shelf.Rows().empty());
  EXPECT_FALSE(s().BookLoaded);
  EXPECT_EQ(w().Title(), texts::kDefaultTitle);
  EXPECT_EQ(w().RowCount(ctl::超级列表框1), 0);
  EXPECT_EQ(w().Text(ctl::编辑框3), "");
}

}  // namespace
}  // namespace lectoria
