#include "library/library_index.h"

#include <gtest/gtest.h>

#include "library/chapter_file.h"
#include "library/chapter_list.h"
#include "support/run_dir_fixture.h"

namespace lectoria {
namespace {

using testing::G;
using testing::TempRunDir;

TEST(LibraryIndex, MissingFileReadsAsNoBook) {
  TempRunDir dir;
  LibraryIndex index(dir.paths());
  EXPECT_FALSE(index.Exists());
  EXPECT_EQ(index.BookName(), "");
  EXPECT_EQ(index.ChapterCount(), 0);
  EXPECT_EQ(index.ChapterTitle(1), "");
  EXPECT_EQ(index.ReadingHistory(), 0);
  EXPECT_EQ(index.LineNumber(), 0);
  EXPECT_TRUE(ReadChapterRows(index).empty());
}

TEST(LibraryIndex, WritesTheKeysTheReadersExpect) {
  TempRunDir dir;
  std::filesystem::create_directories(dir.root() / "data");
  LibraryIndex index(dir.paths());
  index.WriteBookName(G("三体"));
  index.WriteChapterTitle(1, G("第一章 科学边界"));
  index.WriteChapterTitle(2, G("第二章 a=b"));  // only the first "=" separates key and value
  index.WriteChapterCount(2);
  index.WriteReadingHistory(0);
  index.WriteLineNumber(1);
  ASSERT_TRUE(index.Exists());

  // The stored keys, read back through a fresh INI file object.
  IniFile ini(dir.paths().DataIni());
  using namespace index_keys;
  EXPECT_EQ(ini.Read(kProperties, kBookName), G("三体"));
  EXPECT_EQ(ini.Read(kProperties, kChapterCount), "2");
  EXPECT_EQ(ini.Read(kProperties, kReadingHistory), "0");
  EXPECT_EQ(ini.Read(kProperties, kLineNumber), "1");
  EXPECT_EQ(ini.Read(kChapterIndex, "2"), G("第二章 a=b"));

  index.WriteReadingHistory(2);
  index.WriteLineNumber(17);
  EXPECT_EQ(index.ReadingHistory(), 2);
  EXPECT_EQ(index.LineNumber(), 17);

  const std::vector<ChapterRow> rows = ReadChapterRows(index);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].title, G("第一章 科学边界"));
  EXPECT_EQ(rows[1].number, 2);
}

TEST(ChapterRows, MissingTitlesAndDamagedCounts) {
  TempRunDir dir;
  std::filesystem::create_directories(dir.root() / "data");
  LibraryIndex index(dir.paths());
  index.WriteChapterTitle(1, G("第一章"));
  index.WriteChapterTitle(3, G("第三章"));
  index.WriteChapterCount(3);
  const std::vector<ChapterRow> rows = ReadChapterRows(index);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[1].title, "");  // no key 2: an empty title, still chapter 2
  EXPECT_EQ(rows[1].number, 2);

  struct Case {
    std::string stored;
    std::size_t rows;
  };
  const Case cases[] = {{"-4", 0}, {"abc", 0}, {"0", 0}, {" 2x", 2}, {"99999999999", 100000}};
  for (const Case& c : cases) {
    IniFile(dir.paths().DataIni())
        .Write(index_keys::kProperties, index_keys::kChapterCount, c.stored);
    EXPECT_EQ(ReadChapterRows(index).size(), c.rows) << c.stored;
  }
}

TEST(ReadChapterText, StopsAtNulAndEndOfFileByte) {
  TempRunDir dir;
  dir.WriteFile("a.txt", std::string("ab\0cd", 5));
  dir.WriteFile("b.txt",
                "ab\x1A"
                "cd");
  EXPECT_EQ(ReadChapterText(dir.root() / "a.txt"), "ab");
  EXPECT_EQ(ReadChapterText(dir.root() / "b.txt"), "ab");
  EXPECT_EQ(ReadChapterText(dir.root() / "missing.txt"), "");
}

}  // namespace
}  // namespace lectoria
