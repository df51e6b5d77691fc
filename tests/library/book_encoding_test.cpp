// Books in each character set, and the files the import refuses.
#include <gtest/gtest.h>

#include <string>

#include "library/book_analysis.h"
#include "library/book_import.h"
#include "library/library_index.h"
#include "platform/codepage.h"
#include "platform/scratch_dir.h"

namespace lectoria {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;
using testing::Slurp;
using testing::Spit;

// Simplified and traditional text of some length, so that the detector has something to go by.
const std::string kSimplified =
    "第一回 风雪山神庙\r\n"
    "　　话说林冲自从到了沧州牢城营里，每日只在天王堂内烧香扫地，不觉光阴早过了四五十日。\r\n"
    "　　那差拨说道：“你好生看守，我自去了。”林冲便去草厅上坐了，看那四下里时，都是破烂。\r\n"
    "第二回 林教头刺配沧州道\r\n"
    "　　当时雪下得正紧，林冲恐怕火盆内有火炭延烧起来，搬开破壁子，探半身入去摸时，火盆内"
    "火种都被雪水浸灭了。\r\n";
const std::string kTraditional =
    "第一回 風雪山神廟\r\n"
    "　　話說林沖自從到了滄州牢城營裏，每日只在天王堂內燒香掃地，不覺光陰早過了四五十日。\r\n"
    "　　那差撥說道：「你好生看守，我自去了。」林沖便去草廳上坐了，看那四下裏時，都是破爛。\r\n"
    "第二回 林教頭刺配滄州道\r\n"
    "　　當時雪下得正緊，林沖恐怕火盆內有火炭延燒起來，搬開破壁子，探半身入去摸時，火盆內"
    "火種都被雪水浸滅了。\r\n";

class EncodingTest : public ::testing::Test {
 protected:
  BookImportResult Import(const std::string& bytes) {
    Spit(source_, bytes);
    return ImportBookFile(paths_, source_);
  }
  // What the import made of the book: its character set and title rule.
  BookAnalysis Analysis() const { return AnalyzeBook(source_, {}, 3, kMaxChapterCount); }
  std::string Library() const {
    std::string all;
    for (int k = 1; fs::exists(paths_.ChapterFile(k)); ++k)
      all += Slurp(paths_.ChapterFile(k)) + "|";
    return all + Slurp(paths_.DataIni());
  }

  testing::ScratchDir scratch_;
  const RunPaths paths_{scratch_.path() / "run"};
  const fs::path source_ = scratch_.path() / "book.txt";
};

// The chapter files a text gives, joined, in GBK.
std::string Chapters(const std::string& utf8) {
  const std::string gbk = Utf8ToGbk(utf8);
  const std::size_t second = gbk.find(Utf8ToGbk("第二回"));
  return gbk.substr(0, second - 2) + "|" + gbk.substr(second, gbk.size() - second - 2) + "|";
}

TEST_F(EncodingTest, EachCharacterSetIsConvertedToGbk) {
  const std::string utf16le = ConvertEncoding(kSimplified, "UTF-8", "UTF-16LE");
  const std::string utf16be = ConvertEncoding(kSimplified, "UTF-8", "UTF-16BE");
  // U+20000 has no GBK form; GB18030 writes it in four bytes.
  const std::string rare = "第一回 风雪\xF0\xA0\x80\x80山神庙" + kSimplified.substr(25);
  std::string stray = kSimplified;
  stray.insert(stray.find("沧州"), "\xFF");  // one bad byte in a UTF-8 book
  struct Case {
    const char* name;
    std::string bytes;
    BookCharset charset;
    std::string expected;  // the chapter files
  };
  const Case cases[] = {
      {"GBK", Utf8ToGbk(kSimplified), BookCharset::kGbk, Chapters(kSimplified)},
      {"UTF-8", kSimplified, BookCharset::kUtf8, Chapters(kSimplified)},
      {"UTF-8 with BOM", "\xEF\xBB\xBF" + kSimplified, BookCharset::kUtf8, Chapters(kSimplified)},
      {"UTF-8 with a stray byte", stray, BookCharset::kUtf8,
       Chapters(std::string(stray).replace(stray.find('\xFF'), 1, "?"))},
      {"UTF-16LE", "\xFF\xFE" + utf16le, BookCharset::kUtf16Le, Chapters(kSimplified)},
      {"UTF-16BE", "\xFE\xFF" + utf16be, BookCharset::kUtf16Be, Chapters(kSimplified)},
      {"GB18030", ConvertEncoding(rare, "UTF-8", "GB18030"), BookCharset::kGb18030,
       Chapters(std::string(rare).replace(rare.find("\xF0\xA0\x80\x80"), 4, "?"))},
      {"Big5", ConvertEncoding(kTraditional, "UTF-8", "BIG5"), BookCharset::kBig5,
       Chapters(kTraditional)},
  };
  for (const Case& c : cases) {
    const BookImportResult result = Import(c.bytes);
    ASSERT_TRUE(result.ok) << c.name;
    EXPECT_EQ(Analysis().encoding.charset, c.charset) << c.name;
    EXPECT_EQ(Library().substr(0, c.expected.size()), c.expected) << c.name;
  }
}

TEST_F(EncodingTest, ZeroBlockInsideABookCostsNoLine) {
  std::string book;
  for (int k = 1; k <= 20; ++k)
    book += Utf8ToGbk("第" + std::to_string(k) + "章 风雪\r\n　　正文一行。\r\n");
  book.insert(book.size() / 3, std::string(4096, '\0'));
  const BookImportResult result = Import(book);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(result.chapterCount, 20);
  EXPECT_EQ(Slurp(paths_.ChapterFile(20)), Utf8ToGbk("第20章 风雪\r\n　　正文一行。"));
}

TEST_F(EncodingTest, FilesThatAreNoBooksAreRefusedAndChangeNothing) {
  ASSERT_TRUE(Import(kSimplified).ok);
  const std::string before = Library();
  std::string program =
      "\x7F"
      "ELF\x02\x01\x01"s;
  for (int i = 0; i < 2000; ++i) program += std::string("\x48\x89\xE5\x00\x00\x01\x00\x00", 8);
  std::string utf16Controls = "\xFF\xFE";
  for (int i = 0; i < 100; ++i) utf16Controls += "\x01\x00"s;
  struct Case {
    const char* name;
    std::string bytes;
    ImportError error;
  };
  const Case cases[] = {
      {"empty", "", ImportError::kEmpty},
      {"program", program, ImportError::kBinary},
      {"UTF-16 of control characters", utf16Controls, ImportError::kBinary},
      {"blank lines", " \r\n\t\r\n\xA1\xA1\r\n", ImportError::kNoText},
      {"byte-order mark only", "\xEF\xBB\xBF", ImportError::kNoText},
  };
  for (const Case& c : cases) {
    const BookImportResult result = Import(c.bytes);
    EXPECT_FALSE(result.ok) << c.name;
    EXPECT_EQ(result.error, c.error) << c.name;
    EXPECT_EQ(result.message, ImportFailureMessage(c.error)) << c.name;
    EXPECT_EQ(Library(), before) << c.name;
  }
  EXPECT_FALSE(fs::exists(paths_.TempText()));

  // More chapters than the list may hold (a small cap stands in for the real one).
  std::string untitled;
  while (untitled.size() < 100000)
    untitled += Utf8ToGbk("　　没有标题的一行正文，很长很长的一行。\r\n");
  Spit(source_, untitled);
  EXPECT_EQ(AnalyzeBook(source_, {}, 2, 3).error, ImportError::kTooManyChapters);
}

}  // namespace
}  // namespace lectoria
