// Chapter detection on books generated in each title style, the further title rules, and the
// --list-chapters listing that shares the import's detection.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "library/book_analysis.h"
#include "library/book_import.h"
#include "library/chapter_listing.h"
#include "library/library_index.h"
#include "library/title_rules.h"
#include "platform/codepage.h"
#include "platform/ini_file.h"
#include "platform/scratch_dir.h"

namespace lectoria {
namespace {

namespace fs = std::filesystem;
using testing::Slurp;
using testing::Spit;

std::string G(const std::string& utf8) {
  return Utf8ToGbk(utf8);
}

std::string Chinese(int n) {  // 1..99
  static const char* const kDigits[] = {"", "一", "二", "三", "四", "五", "六", "七", "八", "九"};
  if (n < 10) return kDigits[n];
  return std::string(n >= 20 ? kDigits[n / 10] : "") + "十" + kDigits[n % 10];
}

// A paragraph too long for any title rule, different for every chapter.
std::string Body(int k) {
  return "　　话说那一日天色将晚，众人行至山前第" + std::to_string(k) +
         "处驿站，只见门前挂着一盏灯笼，风吹得摇摇晃晃。\r\n"
         "　　店家迎上前来，笑道：“客官一路辛苦，小店有上好的酒菜，请里面坐。”\r\n";
}

// A book (UTF-8) of `chapters` chapters titled by `title`, after `front` (may be empty).
std::string MakeBook(int chapters, const std::function<std::string(int)>& title,
                     const std::string& front = "", int paragraphs = 1) {
  std::string book = front;
  for (int k = 1; k <= chapters; ++k) {
    book += title(k) + "\r\n";
    for (int p = 0; p < paragraphs; ++p) book += Body(k * 100 + p);
  }
  return book;
}

class DetectionTest : public ::testing::Test {
 protected:
  BookImportResult Import(const std::string& utf8Book) {
    Spit(source_, G(utf8Book));
    return ImportBookFile(paths_, source_);
  }
  // What the import made of the book: its character set and title rule.
  BookAnalysis Analysis() const { return AnalyzeBook(source_, {}, 3, kMaxChapterCount); }
  std::string Title(int k) const {
    return GbkToUtf8(IniFile(paths_.DataIni()).Read(G("章节索引"), std::to_string(k)));
  }
  std::string Chapter(int k) const { return GbkToUtf8(Slurp(paths_.ChapterFile(k))); }

  testing::ScratchDir scratch_;
  const RunPaths paths_{scratch_.path() / "run"};
  const fs::path source_ = scratch_.path() / "book.txt";
};

TEST(TitleRules, LinesEachRuleAccepts) {
  struct Case {
    const char* line;
    bool numbered, named, english;
  };
  const Case cases[] = {
      {"第一回 宴桃园豪杰三结义", true, false, false},
      {"第01回 风雪山神庙", true, false, false},
      {"　正文 第一百二十回　甄士隐详说太虚情", true, false, false},
      {"《红楼梦》第三回", true, false, false},
      {"卷三 第 12 节", true, false, false},
      {"第１２卷 归来", true, false, false},
      {"第两千零一章", true, false, false},
      {"第一回合他就败下阵来。", false, false, false},      // a sentence
      {"他第一次来到这里就写了三章", false, false, false},  // no unit after the number
      {"这一段文字很长很长很长很长很长很长很长很长很长很长很长很长很长很长第一回", false, false,
       false},  // the prefix is too long
      {"楔子", false, true, false},
      {"后记：写在最后", false, true, false},
      {"番外二 春日", false, true, false},
      {"前言不搭后语的人", false, false, false},
      {"Chapter 12", false, false, true},
      {"CHAPTER XII. The Return", false, false, true},
      {"Part 3", false, false, true},
      {"Prologue", false, false, true},
      {"Part of the story was lost", false, false, false},
      {"Chapter12", false, false, false},
  };
  for (const Case& c : cases) {
    const std::string line = G(c.line);
    EXPECT_EQ(IsNumberedTitle(line), c.numbered) << c.line;
    EXPECT_EQ(IsNamedPartTitle(line), c.named) << c.line;
    EXPECT_EQ(IsEnglishTitle(line), c.english) << c.line;
  }
}

TEST_F(DetectionTest, EachTitleStyleDividesTheBook) {
  struct Style {
    const char* name;
    std::function<std::string(int)> title;
    TitleRule rule;
  };
  const Style styles[] = {
      {"第…章", [](int k) { return "第" + Chinese(k) + "章 出发"; }, TitleRule::kOriginal},
      {"第…回", [](int k) { return "第" + Chinese(k) + "回 宴桃园豪杰三结义"; },
       TitleRule::kNumbered},
      {"leading zeros", [](int k) { return "第0" + std::to_string(k) + "回 风雪"; },
       TitleRule::kNumbered},
      {"prefix", [](int k) { return "正文 第" + Chinese(k) + "回"; }, TitleRule::kNumbered},
      {"book name", [](int k) { return "《三国》第" + std::to_string(k) + "节"; },
       TitleRule::kNumbered},
      {"Chapter", [](int k) { return "Chapter " + std::to_string(k) + ": Home"; },
       TitleRule::kEnglish},
      {"roman", [](int k) { return std::string("CHAPTER ") + (k % 2 ? "XII" : "IV"); },
       TitleRule::kEnglish},
  };
  for (const Style& style : styles) {
    const BookImportResult result = Import(MakeBook(9, style.title));
    ASSERT_TRUE(result.ok) << style.name;
    EXPECT_EQ(Analysis().plan.rule, style.rule) << style.name;
    ASSERT_EQ(result.chapterCount, 9) << style.name;
    for (int k : {1, 9}) {
      EXPECT_EQ(Title(k), style.title(k)) << style.name;
      const std::string text = style.title(k) + "\r\n" + Body(k * 100);
      EXPECT_EQ(Chapter(k), text.substr(0, text.size() - 2)) << style.name;
    }
  }
}

TEST_F(DetectionTest, NamedPartsContentsAndPrefaces) {
  const auto hui = [](int k) { return "第" + Chinese(k) + "回 风雪"; };
  std::string contents = "目录\r\n";
  for (int k = 1; k <= 30; ++k) contents += hui(k) + "\r\n\r\n";
  const std::string preface =
      "写在前面的话\r\n这是一段序言，讲的是成书的经过。\r\n第二行序言。\r\n第三行序言。\r\n";
  struct Case {
    const char* name;
    std::string book;
    std::vector<std::string> titles;  // the first titles
    int chapters;
  };
  const Case cases[] = {
      {"named parts around numbered ones",
       "楔子\r\n" + Body(0) + MakeBook(3, hui) + "后记：成书始末\r\n" + Body(1),
       {"楔子", hui(1)},
       5},
      // A table of contents is one chapter, not thirty empty ones.
      {"contents", MakeBook(30, hui, contents), {"目录", hui(1), hui(2)}, 31},
      {"preface kept", MakeBook(3, hui, preface), {"写在前面的话", hui(1)}, 4},
      {"short header dropped", MakeBook(3, hui, "《风雪》\r\n作者：某人\r\n"), {hui(1)}, 3},
  };
  for (const Case& c : cases) {
    const BookImportResult result = Import(c.book);
    ASSERT_TRUE(result.ok) << c.name;
    EXPECT_EQ(Analysis().plan.rule, TitleRule::kNumbered) << c.name;
    EXPECT_EQ(result.chapterCount, c.chapters) << c.name;
    for (std::size_t i = 0; i < c.titles.size(); ++i)
      EXPECT_EQ(Title(static_cast<int>(i) + 1), c.titles[i]) << c.name;
  }
  // The preface chapter holds the preface's lines.
  ASSERT_TRUE(Import(MakeBook(3, hui, preface)).ok);
  EXPECT_EQ(Chapter(1) + "\r\n", preface);
}

TEST_F(DetectionTest, ImplausibleDivisionFallsToTheNextRule) {
  // Over 100 KB in 第…回 chapters, with one stray line the original rule takes for a title.
  const auto hui = [](int k) { return "第" + Chinese(k % 99 + 1) + "回 风雪"; };
  std::string book = MakeBook(60, hui, "", 15);
  book.insert(book.find(hui(2)), "第三章\r\n" + Body(7));
  ASSERT_GT(G(book).size(), 100u * 1024);
  const BookImportResult result = Import(book);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(Analysis().plan.rule, TitleRule::kNumbered);
  EXPECT_EQ(result.chapterCount, 61);
}

TEST_F(DetectionTest, BookWithoutTitlesIsCutBySize) {
  std::string book;
  for (int i = 0; G(book).size() < 50000; ++i) book += Body(i);
  const BookImportResult result = Import(book);
  ASSERT_TRUE(result.ok);
  EXPECT_EQ(Analysis().plan.rule, TitleRule::kBySize);
  EXPECT_EQ(result.chapterCount, 3);  // about 10,000 characters each
  EXPECT_EQ(Title(1), "（1）话说那一日天色将晚，众人行至山前…");
  EXPECT_EQ(Title(2).substr(0, 7), "（2）");
  std::string joined;
  for (int k = 1; k <= 3; ++k) joined += Chapter(k) + "\r\n";
  EXPECT_EQ(joined, book);
}

TEST_F(DetectionTest, ProgressAndCancel) {
  const std::string book = G(MakeBook(20, [](int k) { return "第" + Chinese(k) + "回"; }));
  Spit(source_, book);
  std::vector<int> seen;
  ImportControl control;
  control.progress = [&](int percent) { seen.push_back(percent); };
  ASSERT_TRUE(ImportBookFile(paths_, source_, control).ok);
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), 100);

  const std::string before = Slurp(paths_.DataIni());
  std::atomic<bool> cancel{true};
  control.cancel = &cancel;
  Spit(source_, G("第一回\r\n别的书"));
  const BookImportResult result = ImportBookFile(paths_, source_, control);
  EXPECT_EQ(result.error, ImportError::kCancelled);
  EXPECT_FALSE(result.message.empty());
  EXPECT_EQ(Slurp(paths_.DataIni()), before);
}

std::string ReadBack(std::FILE* file) {
  std::rewind(file);
  std::string text;
  char buffer[4096];
  for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) text.append(buffer, n);
  return text;
}

TEST_F(DetectionTest, ListChaptersPrintsWhatTheImportWouldMake) {
  const auto hui = [](int k) { return "第" + Chinese(k) + "回 风雪"; };
  Spit(source_, G(MakeBook(2, hui)));
  std::FILE* out = std::tmpfile();
  std::FILE* err = std::tmpfile();
  ASSERT_EQ(ListChapters(source_, out, err), 0);
  const std::string chars = std::to_string(GbkCharCount(G(hui(1) + Body(100))) - 4);
  EXPECT_EQ(ReadBack(out), "1\t" + hui(1) + "\t" + chars + "\n2\t" + hui(2) + "\t" + chars + "\n");
  EXPECT_EQ(ReadBack(err), "encoding: GBK; title rule: numbered; chapters: 2\n");
  EXPECT_FALSE(fs::exists(paths_.Root()));

  Spit(source_, "");
  std::FILE* out2 = std::tmpfile();
  std::FILE* err2 = std::tmpfile();
  EXPECT_EQ(ListChapters(source_, out2, err2), 1);
  EXPECT_EQ(ReadBack(out2), "");
  EXPECT_EQ(ReadBack(err2),
            "lectoria: " + GbkToUtf8(ImportFailureMessage(ImportError::kEmpty)) + "\n");
  for (std::FILE* f : {out, err, out2, err2}) std::fclose(f);
}

}  // namespace
}  // namespace lectoria
