#include "library/bookshelf.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <map>

#include "library/book_import.h"
#include "library/library_index.h"
#include "library/library_swap.h"
#include "library/shelf_listing.h"
#include "platform/codepage.h"
#include "platform/file_util.h"
#include "platform/scratch_dir.h"
#include "support/library_fixture.h"

namespace lectoria {
namespace {

namespace fs = std::filesystem;
using testing::Slurp;
using testing::Spit;

std::string G(const char* utf8) {
  return Utf8ToGbk(utf8);
}

// A run directory and a books directory in a scratch directory; books go onto the shelf as
// the window's import puts them there.
class ShelfTest : public ::testing::Test {
 protected:
  void SetUp() override { fs::create_directories(base_ / "books"); }

  fs::path Book(const std::string& name, const std::string& utf8Text) {
    const fs::path source = base_ / "books" / name;
    Spit(source, G(utf8Text.c_str()));
    return source;
  }
  // Imports `name` onto the shelf and makes it the book being read; its id.
  BookId Import(const std::string& name, const std::string& utf8Text,
                const SwitchOptions& options = {}) {
    const fs::path source = Book(name, utf8Text);
    const BookId id = NewBookId(paths_);
    EXPECT_TRUE(ImportBookInto(PendingBookDir(paths_, id), source).ok);
    EXPECT_TRUE(WriteBookRecord(PendingBookDir(paths_, id), id, source, fs::file_size(source)));
    EXPECT_TRUE(ShelveImportedBook(paths_, id));
    EXPECT_TRUE(SwitchToBook(paths_, id, options));
    return id;
  }
  // Title -> "row:line" of every book, "*" after the one being read.
  std::map<std::string, std::string> Positions() const {
    std::map<std::string, std::string> all;
    for (const ShelfBook& book : ListShelf(paths_))
      all[GbkToUtf8(book.title)] = std::to_string(book.chapterRow) + ":" +
                                   std::to_string(book.line) + (book.current ? "*" : "");
    return all;
  }
  std::string CurrentTitle() const { return GbkToUtf8(LibraryIndex(paths_).BookName()); }
  // Every directory name under R/shelf.
  std::vector<std::string> ShelfNames() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(ShelfDir(paths_)))
      names.push_back(e.path().filename());
    std::sort(names.begin(), names.end());
    return names;
  }

  testing::ScratchDir scratch_;
  const fs::path base_ = scratch_.path();
  const RunPaths paths_{base_ / "run"};
};

const char* const kThree = "第一章 甲\r\n一\r\n第二章 乙\r\n二\r\n第三章 丙\r\n三";

TEST_F(ShelfTest, EachBookKeepsItsPlaceAcrossSwitches) {
  for (const bool exchange : {true, false}) {
    SCOPED_TRACE(exchange ? "exchange" : "renames");
    RemoveTree(paths_.Root());
    const SwitchOptions options{exchange, {}};
    const BookId a = Import("甲书.txt", kThree, options);
    LibraryIndex(paths_).SavePosition(2, 3);
    const BookId b = Import("乙书.txt", kThree, options);
    EXPECT_EQ(CurrentTitle(), "乙书");
    LibraryIndex(paths_).SavePosition(1, 2);
    EXPECT_EQ(Positions(), (std::map<std::string, std::string>{{"甲书", "2:3"}, {"乙书", "1:2*"}}));

    ASSERT_TRUE(SwitchToBook(paths_, a, options));
    EXPECT_EQ(CurrentTitle(), "甲书");
    EXPECT_EQ(LibraryIndex(paths_).ReadingHistory(), 2);
    EXPECT_EQ(Slurp(paths_.ChapterFile(3)), G("第三章 丙\r\n三"));
    ASSERT_TRUE(SwitchToBook(paths_, b, options));
    ASSERT_TRUE(SwitchToBook(paths_, b, options));  // already being read: nothing to do
    EXPECT_EQ(Positions(), (std::map<std::string, std::string>{{"甲书", "2:3"}, {"乙书", "1:2*"}}));
    EXPECT_EQ(ShelfNames(), std::vector<std::string>{std::to_string(a)});
    EXPECT_FALSE(SwitchToBook(paths_, 99, options));
  }
}

TEST_F(ShelfTest, ALibraryWithoutAShelfBecomesTheFirstBook) {
  fs::create_directories(paths_.DataDir());
  Spit(paths_.ChapterFile(1), G("第一章 旧\r\n旧文"));
  testing::WriteLibraryIndex(paths_, G("旧书"), {G("第一章 旧")});
  LibraryIndex(paths_).SavePosition(0, 2);
  const std::string index = Slurp(paths_.DataIni());

  EXPECT_EQ(ListShelf(paths_).front().id, 1);  // listed before it is given its id
  RecoverShelf(paths_);
  ASSERT_EQ(ListShelf(paths_).size(), 1u);
  EXPECT_EQ(ListShelf(paths_).front().id, 1);
  EXPECT_EQ(Slurp(paths_.DataIni()), index);

  Import("新书.txt", kThree);
  EXPECT_EQ(Slurp(ShelfBookDir(paths_, 1) / "data.ini"), index);
  EXPECT_EQ(Positions(), (std::map<std::string, std::string>{{"旧书", "0:2"}, {"新书", "0:1*"}}));
}

TEST_F(ShelfTest, RemovingABook) {
  const BookId a = Import("甲书.txt", kThree);
  const BookId b = Import("乙书.txt", kThree);
  ASSERT_TRUE(RemoveBook(paths_, a));
  EXPECT_EQ(Positions(), (std::map<std::string, std::string>{{"乙书", "0:1*"}}));
  ASSERT_TRUE(RemoveBook(paths_, b));  // the one being read
  EXPECT_FALSE(fs::exists(paths_.DataDir()));
  EXPECT_TRUE(ListShelf(paths_).empty());
  EXPECT_TRUE(ShelfNames().empty());
  EXPECT_FALSE(RemoveBook(paths_, b));
}

TEST_F(ShelfTest, AKillDuringASwitchLeavesTheOldOrTheNewShelf) {
  using Shelf = std::map<std::string, std::string>;
  const Shelf before{{"甲书", "2:3"}, {"乙书", "0:1*"}};
  const Shelf after{{"甲书", "2:3*"}, {"乙书", "0:1"}};
  for (const bool exchange : {true, false}) {
    for (int step = 1; step <= 3; ++step) {
      SCOPED_TRACE(std::string(exchange ? "exchange" : "renames") + ", killed after step " +
                   std::to_string(step));
      RemoveTree(paths_.Root());
      const BookId a = Import("甲书.txt", kThree);
      LibraryIndex(paths_).SavePosition(2, 3);
      Import("乙书.txt", kThree);
      const std::string indexA = Slurp(ShelfBookDir(paths_, a) / "data.ini");

      const pid_t child = ::fork();
      if (child == 0) {
        SwitchToBook(paths_, a, SwitchOptions{exchange, [step](int s) {
                                                if (s == step) ::_exit(0);
                                              }});
        ::_exit(0);
      }
      int status = 0;
      ASSERT_EQ(::waitpid(child, &status, 0), child);

      RecoverShelf(paths_);
      const Shelf now = Positions();
      EXPECT_TRUE(now == before || now == after);
      EXPECT_EQ(ShelfNames().size(), 1u);
      const ShelfBook* bookA = nullptr;
      const std::vector<ShelfBook> books = ListShelf(paths_);
      for (const ShelfBook& book : books)
        if (GbkToUtf8(book.title) == "甲书") bookA = &book;
      ASSERT_NE(bookA, nullptr);
      EXPECT_EQ(bookA->id, a);
      EXPECT_EQ(Slurp(bookA->dir / "data.ini"), indexA);
    }
  }
}

TEST_F(ShelfTest, RecoveryRemovesHalfMadeImportsAndRemovals) {
  const BookId a = Import("甲书.txt", kThree);
  fs::create_directories(PendingBookDir(paths_, 7));
  fs::create_directories(ShelfDir(paths_) / "8.gone");
  fs::create_directories(ShelfDir(paths_) / "notes");
  EXPECT_EQ(NewBookId(paths_), 9);
  RecoverShelf(paths_);
  EXPECT_EQ(ShelfNames(), std::vector<std::string>{"notes"});
  EXPECT_EQ(ListShelf(paths_).front().id, a);

  // A data directory without an index is no book to keep.
  const BookId b = Import("乙书.txt", kThree);
  fs::remove(paths_.DataIni());
  ASSERT_TRUE(SwitchToBook(paths_, a));
  EXPECT_EQ(ShelfNames(), std::vector<std::string>{"notes"});
  EXPECT_FALSE(SwitchToBook(paths_, b));
}

TEST_F(ShelfTest, TheSameFileIsKnownByItsPathAndSize) {
  Import("甲书.txt", kThree);
  const BookId b = Import("乙书.txt", kThree);
  const std::vector<ShelfBook> books = ListShelf(paths_);
  EXPECT_EQ(FindBookFrom(books, base_ / "books" / "." / "乙书.txt"), b);
  EXPECT_EQ(FindBookFrom(books, base_ / "books" / "丙书.txt"), 0);  // missing
  Spit(base_ / "books" / "乙书.txt", G("第一章 改过的书"));
  EXPECT_EQ(FindBookFrom(books, base_ / "books" / "乙书.txt"), 0);

  // A book imported again keeps its place when that chapter is still there.
  LibraryIndex(paths_).SavePosition(2, 2);
  const BookId again = NewBookId(paths_);
  ASSERT_TRUE(ImportBookInto(PendingBookDir(paths_, again), Book("丙书.txt", kThree)).ok);
  CarryReadingPosition(paths_.DataDir(), PendingBookDir(paths_, again));
  EXPECT_EQ(LibraryIndex(PendingBookDir(paths_, again) / "data.ini").ReadingHistory(), 2);
}

TEST_F(ShelfTest, ListBooksPrintsOneLinePerBook) {
  Import("甲书.txt", kThree);
  LibraryIndex(paths_).SavePosition(1, 2);
  Import("乙书.txt", "第一章 一\r\n正文");
  char* text = nullptr;
  std::size_t size = 0;
  std::FILE* out = ::open_memstream(&text, &size);
  ASSERT_EQ(ListBooks(paths_, out), 0);
  std::fclose(out);
  EXPECT_EQ(std::string(text, size), "2\t乙书\t1\t1:1\t*\n1\t甲书\t3\t2:2\n");
  std::free(text);
}

}  // namespace
}  // namespace lectoria
