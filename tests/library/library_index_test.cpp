#include "library/library_index.h"

#include <gtest/gtest.h>

#include "library/chapter_file.h"
#include "library/chapter_list.h"
#include "support/library_fixture.h"
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
  // Only the first "=" separates key and value.
  testing::WriteLibraryIndex(dir.paths(), G("三体"), {G("第一章 科学边界"), G("第二章 a=b")});
  LibraryIndex index(dir.paths());
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
  const std::string titles(index_keys::kChapterIndex);
  IniFile(dir.paths().DataIni())
      .WriteMany(
          {{titles, "1", G("第一章")},
           {titles, "3", G("第三章")},
           {std::string(index_keys::kProperties), std::string(index_keys::kChapterCount), "3"}});
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

// A save of the position rewrites only its values in a file laid out for it, and lays out any
// other file (e.g. one the original program wrote) for the next save; readers see the same
// values either way.
TEST(LibraryIndex, PositionSavesInPlaceOnceLaidOut) {
  const std::string props = "[" + G("属性") + "]\r\n";
  const std::string history = G("阅读历史="), line = G("行号=");
  const std::string titles = "[" + G("章节索引") + "]\r\n1=" + G("第一章") + "\r\n";
  struct Case {
    const char* name;
    std::string file;
    bool inPlace;       // the first save already rewrites in place
    bool laterInPlace;  // the saves after it do
  };
  const Case cases[] = {
      {"import's layout",
       props + G("文件名=书\r\n章节数=1\r\n") + history + PositionValue(0) + "\r\n" + line +
           PositionValue(1) + "\r\n" + titles,
       true, true},
      {"original program's layout",
       props + G("文件名=书\r\n章节数=1\r\n") + history + "0\r\n" + line + "1\r\n" + titles, false,
       true},
      {"titles first",
       titles + props + history + PositionValue(0) + "\r\n" + line + PositionValue(1) + "\r\n",
       false, false},
  };
  for (const Case& c : cases) {
    TempRunDir dir;
    dir.WriteFile("data/data.ini", c.file);
    LibraryIndex index(dir.paths());
    // A hard link still names the old file after a whole save (a new file renamed in), and
    // the rewritten one after a save in place.
    const auto probe = dir.root() / "data" / "probe";
    auto linkProbe = [&] {
      std::filesystem::remove(probe);
      std::filesystem::create_hard_link(dir.paths().DataIni(), probe);
    };
    auto probeSees = [&](const std::string& value) {
      return IniFile(probe).Read(G("属性"), G("行号")) == value;
    };
    linkProbe();
    ASSERT_TRUE(index.SavePosition(3, 42)) << c.name;
    EXPECT_EQ(probeSees("42"), c.inPlace) << c.name;
    EXPECT_EQ(index.ReadingHistory(), 3) << c.name;
    EXPECT_EQ(index.LineNumber(), 42) << c.name;
    EXPECT_EQ(index.ChapterTitle(1), G("第一章")) << c.name;

    ASSERT_TRUE(index.WriteLineNumber(-7)) << c.name;
    linkProbe();
    ASSERT_TRUE(index.SavePosition(2147483647, 5)) << c.name;
    EXPECT_EQ(probeSees("5"), c.laterInPlace) << c.name;
    EXPECT_EQ(index.ReadingHistory(), 2147483647) << c.name;
    EXPECT_EQ(index.LineNumber(), 5) << c.name;
  }
}

// "行内位置" goes with the position in one save; an index without it (from before it was kept,
// or from the original program) reads 0 and keeps saving the start of a line in place.
TEST(LibraryIndex, PlaceInLineIsSavedWithThePosition) {
  TempRunDir dir;
  const std::string laidOut = "[" + G("属性") + "]\r\n" + G("阅读历史=") + PositionValue(0) +
                              "\r\n" + G("行号=") + PositionValue(1) + "\r\n";
  dir.WriteFile("data/data.ini", laidOut);
  LibraryIndex index(dir.paths());
  EXPECT_EQ(index.PlaceInLine(), 0);
  ASSERT_TRUE(index.SavePosition(2, 7));
  EXPECT_EQ(index.file().Read(G("属性"), G("行内位置")), "") << "saved in place, without it";
  ASSERT_TRUE(index.SavePosition(2, 7, 95000));
  EXPECT_EQ(index.PlaceInLine(), 95000);
  ASSERT_TRUE(index.SavePosition(3, 1));
  EXPECT_EQ(index.ReadingHistory(), 3);
  EXPECT_EQ(index.LineNumber(), 1);
  EXPECT_EQ(index.PlaceInLine(), 0);
  IniFile(dir.paths().DataIni()).Write(G("属性"), G("行内位置"), "-5");  // damaged by hand
  EXPECT_EQ(index.PlaceInLine(), 0);
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
