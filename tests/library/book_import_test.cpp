#include "library/book_import.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <set>
#include <string>

#include "library/book_analysis.h"
#include "library/book_file.h"
#include "library/library_index.h"
#include "library/library_swap.h"
#include "platform/codepage.h"
#include "platform/ini_file.h"
#include "platform/scratch_dir.h"

namespace lectoria {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::Slurp;
using testing::Spit;

std::string G(const char* utf8) {
  return Utf8ToGbk(utf8);
}

const std::string kProps = G("属性");
const std::string kChapters = G("章节索引");

std::set<std::string> Listing(const fs::path& dir) {
  std::set<std::string> names;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(dir, ec)) names.insert(entry.path().filename());
  return names;
}

std::set<std::string> LibraryFiles(int chapters) {
  std::set<std::string> names{"data.ini"};
  for (int k = 1; k <= chapters; ++k) names.insert(std::to_string(k) + ".txt");
  return names;
}

// A run directory R (with its temp directory) and a books directory, in a scratch directory.
class ImportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_FALSE(base_.empty());
    fs::create_directories(paths_.TempDir());
    fs::create_directories(base_ / "books");
  }

  // Writes a book into the books directory (the file name is UTF-8).
  fs::path Book(const std::string& name, std::string_view bytes) {
    const fs::path source = base_ / "books" / name;
    Spit(source, bytes);
    return source;
  }
  BookImportResult Import(const std::string& name, std::string_view bytes) {
    last_ = Book(name, bytes);
    return ImportBookFile(paths_, last_);
  }
  // What the import made of the last book: its character set and title rule.
  BookAnalysis Analysis() const { return AnalyzeBook(last_, {}, 3, kMaxChapterCount); }
  std::string Chapter(int k) const { return Slurp(paths_.ChapterFile(k)); }
  std::string Index(const std::string& section, const std::string& key) const {
    return IniFile(paths_.DataIni()).Read(section, key);
  }
  // The whole library: every file name and its bytes.
  std::string Snapshot() const {
    std::string all;
    for (const std::string& name : Listing(paths_.DataDir())) {
      all += name + "\n" + Slurp(paths_.DataDir() / name) + "\n";
    }
    return all;
  }

  testing::ScratchDir scratch_;
  const fs::path base_ = scratch_.path();
  const RunPaths paths_{base_ / "run"};
  fs::path last_;
};

const char* const kBookUtf8 =
    "序言一行\r\n"
    "序言二行\r\n"
    "第1章 开始\r\n"
    "  他走进了屋子。\r\n"
    "\r\n"
    "第二章 继续\r\n"
    "她说：“好。”\r\n"
    "12\r\n"
    "最后一行\r\n";

TEST_F(ImportTest, BookWithTitlesAndAPreface) {
  const BookImportResult result = Import("我的小说.txt", G(kBookUtf8));
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.error, ImportError::kNone);
  EXPECT_EQ(result.chapterCount, 3);
  EXPECT_EQ(result.bookName, G("我的小说"));
  EXPECT_EQ(Analysis().encoding.charset, BookCharset::kGbk);
  EXPECT_EQ(Analysis().plan.rule, TitleRule::kOriginal);

  // The preface is in no file; CR LF between lines and none after the last.
  EXPECT_EQ(Chapter(1), G("第1章 开始\r\n  他走进了屋子。\r\n"));
  EXPECT_EQ(Chapter(2), G("第二章 继续\r\n她说：“好。”"));
  EXPECT_EQ(Chapter(3), G("12\r\n最后一行"));
  EXPECT_EQ(Listing(paths_.DataDir()), LibraryFiles(3));

  EXPECT_EQ(Index(kProps, G("文件名")), G("我的小说"));
  EXPECT_EQ(Index(kProps, G("章节数")), "3");
  EXPECT_EQ(Index(kProps, G("阅读历史")), "0");
  EXPECT_EQ(Index(kProps, G("行号")), "1");
  EXPECT_EQ(Index(kChapters, "1"), G("第1章 开始"));
  EXPECT_EQ(Index(kChapters, "2"), G("第二章 继续"));
  EXPECT_EQ(Index(kChapters, "3"), "12");
  EXPECT_EQ(Index(kChapters, "4"), "");
  // Nothing left beside the library.
  EXPECT_EQ(Listing(paths_.Root()), (std::set<std::string>{"data", "temp"}));
}

TEST_F(ImportTest, IndexEntriesAreWrittenInOrder) {
  ASSERT_TRUE(Import("b.txt", G(kBookUtf8)).ok);
  const std::string ini = Slurp(paths_.DataIni());
  const std::string order[] = {
      G("文件名="), G("章节索引"), "1=", "2=", "3=", G("章节数=3"), G("阅读历史=0"), G("行号=1")};
  // Sections group their keys, so check the order within each section.
  const std::size_t name = ini.find(order[0]);
  const std::size_t count = ini.find(order[5]);
  const std::size_t history = ini.find(order[6]);
  const std::size_t line = ini.find(order[7]);
  ASSERT_NE(name, std::string::npos);
  EXPECT_LT(name, count);
  EXPECT_LT(count, history);
  EXPECT_LT(history, line);
  const std::size_t section = ini.find(order[1]);
  ASSERT_NE(section, std::string::npos);
  EXPECT_LT(ini.find(order[2], section), ini.find(order[3], section));
  EXPECT_LT(ini.find(order[3], section), ini.find(order[4], section));
}

TEST_F(ImportTest, BookWithoutTitlesIsOneChapter) {
  // Shorter than one piece of the size rule: one chapter, titled by its opening words.
  const BookImportResult result = Import("plain.txt", G("\r\n一行\r\n二行\r\n\r\n三行"));
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.chapterCount, 1);
  EXPECT_EQ(Analysis().plan.rule, TitleRule::kBySize);
  EXPECT_EQ(Chapter(1), G("一行\r\n二行\r\n\r\n三行"));
  EXPECT_EQ(Index(kChapters, "1"), G("（1）一行"));
  EXPECT_EQ(Index(kProps, G("章节数")), "1");
  EXPECT_EQ(Listing(paths_.DataDir()), LibraryFiles(1));
}

TEST_F(ImportTest, EmptyBookIsRefused) {
  ASSERT_TRUE(Import("first.txt", G(kBookUtf8)).ok);
  const std::string before = Snapshot();
  const BookImportResult result = Import("empty.txt", "");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.error, ImportError::kEmpty);
  EXPECT_EQ(result.message, ImportFailureMessage(ImportError::kEmpty));
  EXPECT_EQ(Snapshot(), before);
}

TEST_F(ImportTest, LineEndingsAndEncodingsGiveTheSameLibrary) {
  ASSERT_TRUE(Import("book.txt", G(kBookUtf8)).ok);
  const std::string reference = Snapshot();

  std::string lfOnly = G(kBookUtf8);
  for (std::size_t pos; (pos = lfOnly.find("\r\n")) != std::string::npos;) lfOnly.erase(pos, 1);
  ASSERT_TRUE(Import("book.txt", lfOnly).ok);
  EXPECT_EQ(Snapshot(), reference) << "LF-only";

  std::string noFinalLineEnd = G(kBookUtf8);
  noFinalLineEnd.resize(noFinalLineEnd.size() - 2);
  ASSERT_TRUE(Import("book.txt", noFinalLineEnd).ok);
  EXPECT_EQ(Snapshot(), reference) << "no line end after the last line";

  BookImportResult result = Import("book.txt", kBookUtf8);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(Analysis().encoding.charset, BookCharset::kUtf8);
  EXPECT_EQ(Snapshot(), reference) << "UTF-8";

  result = Import("book.txt", std::string("\xEF\xBB\xBF") + kBookUtf8);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(Analysis().encoding.charset, BookCharset::kUtf8);
  EXPECT_EQ(Snapshot(), reference) << "UTF-8 with byte-order mark";
  // The conversion needs no copy of the book in R/temp.
  EXPECT_FALSE(fs::exists(paths_.TempText()));
}

TEST_F(ImportTest, GbkBookThatLooksLikeUtf8IsUsedUnchanged) {
  const std::string gbk = G("喔第一章 开始\r\n正文\r\n");
  ASSERT_EQ(gbk.substr(0, 3), "\xE0\xB8\xB5");
  const BookImportResult result = Import("gbk.txt", gbk);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(Analysis().encoding.charset, BookCharset::kGbk);
  EXPECT_FALSE(fs::exists(paths_.TempText()));
  EXPECT_EQ(Chapter(1), G("喔第一章 开始\r\n正文"));
}

TEST_F(ImportTest, SecondImportReplacesTheFirst) {
  ASSERT_TRUE(
      Import("first.txt", G("第1章 a\r\nx\r\n第2章 b\r\n第3章 c\r\n第4章 d\r\n第5章 e")).ok);
  ASSERT_EQ(Listing(paths_.DataDir()), LibraryFiles(5));
  const BookImportResult result = Import("second.txt", G("第一章 甲\r\n正文\r\n第二章 乙"));
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(Listing(paths_.DataDir()), LibraryFiles(2));
  EXPECT_EQ(Index(kProps, G("文件名")), "second");
  EXPECT_EQ(Index(kProps, G("章节数")), "2");
  EXPECT_EQ(Index(kChapters, "3"), "");
  EXPECT_EQ(Chapter(1), G("第一章 甲\r\n正文"));
  EXPECT_EQ(Listing(paths_.Root()), (std::set<std::string>{"data", "temp"}));
}

TEST_F(ImportTest, FailuresLeaveThePreviousLibraryUntouched) {
  ASSERT_TRUE(Import("first.txt", G(kBookUtf8)).ok);
  const std::string before = Snapshot();

  EXPECT_EQ(ImportBookFile(paths_, "").error, ImportError::kUnreadable);
  EXPECT_EQ(ImportBookFile(paths_, base_ / "books" / "missing.txt").error,
            ImportError::kUnreadable);
  EXPECT_EQ(ImportBookFile(paths_, base_ / "books").error, ImportError::kUnreadable);
  // A FIFO must neither hang the import nor be taken for a book.
  const fs::path fifo = base_ / "books" / "pipe.txt";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_EQ(ImportBookFile(paths_, fifo).error, ImportError::kUnreadable);
  if (::geteuid() != 0) {  // root reads files whatever their permissions
    const fs::path locked = Book("locked.txt", G(kBookUtf8));
    fs::permissions(locked, fs::perms::none);
    EXPECT_EQ(ImportBookFile(paths_, locked).error, ImportError::kUnreadable);
  }
  // The library cannot be written: its run directory lies below a plain file.
  const RunPaths blocked(Book("plain-file", "x") / "run");
  EXPECT_EQ(ImportBookFile(blocked, Book("utf8.txt", kBookUtf8)).error, ImportError::kWriteFailed);

  EXPECT_EQ(Snapshot(), before);
  EXPECT_FALSE(fs::exists(StagingDataDir(paths_)));
  EXPECT_FALSE(ImportFailureMessage(ImportError::kUnreadable).empty());
}

TEST_F(ImportTest, InterruptedImportIsRepaired) {
  ASSERT_TRUE(Import("first.txt", G(kBookUtf8)).ok);
  const std::string before = Snapshot();

  // A crash while the new library was being built leaves a partial R/data.new.
  fs::create_directories(StagingDataDir(paths_));
  Spit(StagingDataDir(paths_) / "1.txt", "partial");
  RecoverInterruptedImport(paths_);
  EXPECT_FALSE(fs::exists(StagingDataDir(paths_)));
  EXPECT_EQ(Snapshot(), before);

  // A crash between the two renames of a swap leaves the old library in R/data.old.
  fs::create_directories(StagingDataDir(paths_));
  fs::rename(paths_.DataDir(), RetiredDataDir(paths_));
  RecoverInterruptedImport(paths_);
  EXPECT_EQ(Snapshot(), before);
  EXPECT_EQ(Listing(paths_.Root()), (std::set<std::string>{"data", "temp"}));

  // The next import cleans up by itself.
  fs::create_directories(RetiredDataDir(paths_) / "x");
  ASSERT_TRUE(Import("second.txt", G("第1章 a")).ok);
  EXPECT_EQ(Listing(paths_.Root()), (std::set<std::string>{"data", "temp"}));
}

TEST_F(ImportTest, FirstImportCreatesTheLibrary) {
  fs::remove_all(paths_.TempDir());
  ASSERT_TRUE(Import("u.txt", kBookUtf8).ok);  // also creates R/temp for the GBK copy
  EXPECT_EQ(Listing(paths_.DataDir()), LibraryFiles(3));
}

TEST_F(ImportTest, LineEndRules) {
  // A GBK lead byte takes the next byte along, even a LF. NUL and 0x1A bytes are dropped and
  // cost no line.
  const std::string di1 = G("第1章");
  ASSERT_TRUE(Import("ends.txt", di1 + "\r\nx\xB5\ny\r\na\x00"
                                       "b\x1A"
                                       "c\r\nlast"s)
                  .ok);
  EXPECT_EQ(Chapter(1), di1 + "\r\nx\xB5\ny\r\nabc\r\nlast");
  // A CR inside a title is kept in the chapter file but not written into the index line.
  ASSERT_TRUE(Import("cr.txt", di1 + "\rab\r\ntext").ok);
  EXPECT_EQ(Chapter(1), di1 + "\rab\r\ntext");
  EXPECT_EQ(Index(kChapters, "1"), di1 + " ab");
}

TEST_F(ImportTest, LargeChaptersAndBlockBoundaries) {
  // A book without titles larger than the write-out threshold, with a GBK character split
  // across the reader's block boundary.
  std::string book(kBookBlockBytes - 1, 'a');
  book += G("中文\r\n");
  const std::string line = G("这是一行很长的正文，用来填满缓冲区。");
  while (book.size() < 3 * kBookBlockBytes) book += line + "\r\n";
  auto joined = [&](std::int64_t chapters) {
    std::string all;
    for (int k = 1; k <= chapters; ++k) all += (k > 1 ? "\r\n" : "") + Chapter(k);
    return all;
  };
  BookImportResult result = Import("big.txt", book);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(Analysis().plan.rule, TitleRule::kBySize);
  std::string expected = book;
  expected.resize(expected.size() - 2);
  EXPECT_EQ(joined(result.chapterCount), expected);

  // One title after 3 MB of text is no plausible division either: the book is cut by size.
  const std::string title = G("第一章 开始");
  result = Import("preface.txt", book + title + "\r\nbody");
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(Analysis().plan.rule, TitleRule::kBySize);
  EXPECT_EQ(joined(result.chapterCount), book + title + "\r\nbody");
}

TEST_F(ImportTest, LargeUtf8BookConvertsLikeTheWhole) {
  // No ASCII byte at all: the conversion cuts its blocks between characters.
  std::string utf8;
  while (utf8.size() < 2 * kBookBlockBytes + 7) utf8 += "第一章开始正文，";
  utf8 +=
      "\xF0\x9F\x98\x80"
      "\xE4\xB8";  // no GBK form, and a cut sequence at the end
  const BookImportResult result = Import("big-utf8.txt", utf8);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(Analysis().encoding.charset, BookCharset::kUtf8);
  EXPECT_EQ(Chapter(1), Utf8ToGbk(utf8));
}

TEST(FileTitle, NameWithoutExtension) {
  EXPECT_EQ(FileTitle("/home/user/书/我的小说.txt"), Utf8ToGbk("我的小说"));
  EXPECT_EQ(FileTitle("/books/a.b.txt"), "a.b");
  EXPECT_EQ(FileTitle("/books/noext"), "noext");
  EXPECT_EQ(FileTitle("/books.d/noext"), "noext");
  EXPECT_EQ(FileTitle("/books/.hidden"), "");
  EXPECT_EQ(FileTitle("/books/dir/"), "");
  EXPECT_EQ(FileTitle("relative.txt"), "relative");
  EXPECT_EQ(FileTitle(""), "");
}

}  // namespace
}  // namespace lectoria
