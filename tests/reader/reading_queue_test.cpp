#include "reader/reading_queue.h"

#include <gtest/gtest.h>

#include <random>

#include "library/chapter_file.h"
#include "library/library_index.h"
#include "platform/gbk_text.h"
#include "reader/chapter_lines.h"
#include "reader/line_filter.h"
#include "rules/default_rules.h"
#include "rules/rule_set.h"
#include "support/library_fixture.h"
#include "support/run_dir_fixture.h"

namespace lectoria {
namespace {

using testing::CrLf;
using testing::G;
using testing::TempRunDir;

// A book in a run directory: chapter files and the index keys the loader reads.
class QueueTest : public ::testing::Test {
 protected:
  void WriteBook(const std::vector<std::string>& chapters, int readingHistory = 0) {
    LibraryIndex index(dir_.paths());
    dir_.WriteFile("data/keep", "");
    for (std::size_t k = 0; k < chapters.size(); ++k)
      dir_.WriteFile("data/" + std::to_string(k + 1) + ".txt", chapters[k]);
    testing::WriteLibraryIndex(dir_.paths(), "", std::vector<std::string>(chapters.size()));
    index.WriteReadingHistory(readingHistory);
    queue_.ChapterCount = static_cast<int>(chapters.size());
  }

  void Reload(int cacheSize, int fillLine = 1) {
    queue_.Reset(cacheSize);
    queue_.FillLine = fillLine;
    queue_.LoadQueue(true);
  }

  std::vector<std::string> Texts() const {
    std::vector<std::string> texts;
    for (const QueueSlot& slot : queue_.Slots()) texts.push_back(GbkToUtf8(slot.QueueText));
    return texts;
  }
  std::vector<int> Clips() const {
    std::vector<int> clips;
    for (const QueueSlot& slot : queue_.Slots()) clips.push_back(slot.QueueClip);
    return clips;
  }
  std::vector<int> Lines() const {
    std::vector<int> lines;
    for (const QueueSlot& slot : queue_.Slots()) lines.push_back(slot.QueueLine);
    return lines;
  }

  TempRunDir dir_;
  std::atomic<bool> skip_{true};
  ReadingQueue queue_{dir_.paths(), skip_};
};

TEST_F(QueueTest, OneShortChapterEndsWithStopSlots) {
  WriteBook({CrLf({G("第一章 开始"), G("甲乙丙"), G("丁戊己")})});
  Reload(10);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"第一章 开始", "甲乙丙", "丁戊己", "stop", "stop",
                                               "stop", "stop", "stop", "stop", "stop"}));
  EXPECT_EQ(Clips(), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9}));
  EXPECT_EQ(queue_.Slot(3).QueueLine, 3);
  EXPECT_FALSE(queue_.Slot(3).QueueEnd);
  EXPECT_TRUE(queue_.Slot(4).QueueEnd);
  EXPECT_TRUE(queue_.Slot(10).QueueEnd);
  EXPECT_TRUE(queue_.ChapterStartClips.empty());
  EXPECT_EQ(queue_.FillChapter, -1);
}

TEST_F(QueueTest, ChapterBoundaryIsRecordedAsTheNextClip) {
  WriteBook(
      {CrLf({G("第一章"), G("一行中文")}), CrLf({G("第二章"), G("二行中文"), G("三行中文")})});
  Reload(4);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"第一章", "一行中文", "第二章", "二行中文"}));
  EXPECT_EQ(Lines(), (std::vector<int>{1, 2, 1, 2}));
  EXPECT_EQ(queue_.ChapterStartClips, (std::vector<int>{2}));
  EXPECT_EQ(queue_.FillChapter, 2);
  EXPECT_EQ(queue_.FillLine, 3);
}

TEST_F(QueueTest, FilterAndTrimmingFollowTheSwitch) {
  const std::string chapter = CrLf({"Chapter 1", G("……"), "12345", G("  两字  "), "ab", G("中"),
                                    "     ", "abc", G("第1章"), G("a中b")});
  WriteBook({chapter});

  Reload(5);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"两字", "第1章", "a中b", "stop", "stop"}));
  EXPECT_EQ(Lines(), (std::vector<int>{4, 9, 10, 0, 0}));  // end slots keep their 0
  EXPECT_EQ(queue_.Slot(1).QueueText.size(), 4u);          // the two characters alone

  skip_ = false;
  Reload(6);
  EXPECT_EQ(Texts(),
            (std::vector<std::string>{"Chapter 1", "……", "12345", "两字", "abc", "第1章"}));
  EXPECT_EQ(Lines(), (std::vector<int>{1, 2, 3, 4, 8, 9}));
}

TEST_F(QueueTest, ReloadStartsAtTheStoredPosition) {
  WriteBook({CrLf({G("第一章"), G("甲甲甲")}), CrLf({G("第二章"), G("乙一"), G("乙二"), G("乙三")}),
             CrLf({G("第三章")})},
            /*readingHistory=*/1);
  Reload(3, /*fillLine=*/3);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"乙二", "乙三", "第三章"}));
  EXPECT_EQ(Lines(), (std::vector<int>{3, 4, 1}));
  EXPECT_EQ(queue_.ChapterStartClips, (std::vector<int>{2}));

  // A deleted "行号" reads as 0: reading starts at the first usable line of the chapter.
  Reload(1, /*fillLine=*/0);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"第二章"}));
}

TEST_F(QueueTest, AdvanceShiftsAndFillsTheLastSlot) {
  WriteBook({CrLf({G("一一一"), G("二二二"), G("三三三"), G("四四四")}), CrLf({G("五五五")})});
  Reload(3);
  queue_.LoadQueue(false);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"二二二", "三三三", "四四四"}));
  EXPECT_EQ(Clips(), (std::vector<int>{1, 2, 3}));
  queue_.LoadQueue(false);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"三三三", "四四四", "五五五"}));
  EXPECT_EQ(queue_.ChapterStartClips, (std::vector<int>{4}));
  queue_.LoadQueue(false);
  queue_.LoadQueue(false);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"五五五", "stop", "stop"}));
  EXPECT_EQ(Clips(), (std::vector<int>{4, 5, 6}));
  // The end marker keeps the line number of the slot it replaced.
  EXPECT_EQ(queue_.Slot(2).QueueLine, 1);
}

// A chapter with nothing usable used to leave the slot being filled as it was, so a line was
// read twice; the fill now goes on with the next chapter.
TEST_F(QueueTest, ChapterWithoutUsableLineIsPassedWithinTheSameFill) {
  WriteBook({CrLf({G("一一一"), G("二二二")}), CrLf({"1", "...", "x"}),
             CrLf({G("三三三"), G("四四四")})});
  Reload(2);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"一一一", "二二二"}));
  queue_.LoadQueue(false);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"二二二", "三三三"}));
  EXPECT_EQ(Clips(), (std::vector<int>{1, 2}));
  // Two chapters begin at clip 2: the row moves on twice when it starts.
  EXPECT_EQ(queue_.ChapterStartClips, (std::vector<int>{2, 2}));

  Reload(4);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"一一一", "二二二", "三三三", "四四四"}));
}

std::shared_ptr<const RuleSet> Rules(RuleList list) {
  return std::make_shared<const RuleSet>(RuleSet::Compile(list));
}

TextRule Plain(const char* find, const char* replace) {
  return {true, RuleKind::kText, G(find), G(replace), ""};
}

// The slots hold what is spoken; a line the rules empty is passed over like one without
// Chinese, and the chapter is left after its last line that still says something.
TEST_F(QueueTest, RulesChangeTheSpokenTextBeforeTheFilter) {
  WriteBook({CrLf({G("第一章 开始"), G("更新时间：2012-01-01 12:00 本章字数：3200"),
                   G("  他在重庆住了三年。"), "www.example.com", G("广告")}),
             CrLf({G("第二章")})});
  RuleList list = DefaultRules();
  list.push_back(Plain("重庆", "崇庆"));
  list.push_back(Plain("广告", ""));
  queue_.SetRules(Rules(list));
  Reload(4);
  EXPECT_EQ(Texts(),
            (std::vector<std::string>{"第一章 开始", "他在崇庆住了三年。", "第二章", "stop"}));
  EXPECT_EQ(Lines(), (std::vector<int>{1, 3, 1, 0}));
  EXPECT_EQ(queue_.Slot(2).QueueBookText, G("他在重庆住了三年。"));
  EXPECT_EQ(queue_.Slot(3).QueueChapter, 2);
  EXPECT_EQ(queue_.ChapterStartClips, (std::vector<int>{2}));
}

TEST_F(QueueTest, RefillAfterASlotFollowsTheNewRules) {
  WriteBook({CrLf({G("第一章"), G("甲行一"), G("广告行")}), CrLf({G("第二章"), G("乙行一")})});
  Reload(4);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"第一章", "甲行一", "广告行", "第二章"}));
  EXPECT_EQ(queue_.ChapterStartClips, (std::vector<int>{3}));

  queue_.SetRules(Rules({Plain("广告行", "")}));
  queue_.RefillAfter(1);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"第一章", "甲行一", "第二章", "乙行一"}));
  EXPECT_EQ(Clips(), (std::vector<int>{0, 1, 2, 3}));
  EXPECT_EQ(queue_.ChapterStartClips, (std::vector<int>{2}));

  // Back without rules from the second slot: the chapter's last line returns.
  queue_.SetRules(nullptr);
  queue_.RefillAfter(2);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"第一章", "甲行一", "广告行", "第二章"}));
  EXPECT_EQ(queue_.ChapterStartClips, (std::vector<int>{3}));
  queue_.LoadQueue(false);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"甲行一", "广告行", "第二章", "乙行一"}));

  // After the end there is nothing to refill.
  for (int i = 0; i < 3; ++i) queue_.LoadQueue(false);
  queue_.RefillAfter(2);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"乙行一", "stop", "stop", "stop"}));
}

TEST_F(QueueTest, MissingChapterFileIsPassed) {
  WriteBook({CrLf({G("一一一")}), CrLf({G("二二二")}), CrLf({G("三三三")})});
  std::filesystem::remove(dir_.root() / "data/2.txt");
  Reload(3);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"一一一", "三三三", "stop"}));
  EXPECT_EQ(queue_.ChapterStartClips, (std::vector<int>{1, 1}));
}

// The end of the book is the slot's flag; a line that reads "stop" is spoken.
TEST_F(QueueTest, BookLineReadingStopIsNotTheEnd) {
  WriteBook({CrLf({"stop", "  stop  ", G("完了")})});
  skip_ = false;
  Reload(4);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"stop", "stop", "完了", "stop"}));
  EXPECT_FALSE(queue_.Slot(1).QueueEnd);
  EXPECT_FALSE(queue_.Slot(2).QueueEnd);
  EXPECT_TRUE(queue_.Slot(4).QueueEnd);
}

TEST_F(QueueTest, DamagedPositionsEndOrStartSafely) {
  WriteBook({CrLf({G("一一一")}), CrLf({G("二二二")})});
  struct Case {
    int readingHistory;
    std::vector<std::string> texts;
  };
  const Case cases[] = {
      {2, {"stop", "stop"}},  // beyond the last chapter
      {2147483647, {"stop", "stop"}},
      {-2, {"stop", "stop"}},
      {-1, {"一一一", "二二二"}},  // chapter 0 does not exist; reading goes on with chapter 1
  };
  for (const Case& c : cases) {
    LibraryIndex(dir_.paths()).WriteReadingHistory(c.readingHistory);
    Reload(2);
    EXPECT_EQ(Texts(), c.texts) << c.readingHistory;
  }
  // "章节数" of 0: the loader still reads the chapter it is pointed at, then ends.
  queue_.ChapterCount = 0;
  LibraryIndex(dir_.paths()).WriteReadingHistory(0);
  Reload(2);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"一一一", "stop"}));
}

TEST_F(QueueTest, ReloadReadsRewrittenChapterFiles) {
  WriteBook({CrLf({G("旧的一行"), G("旧的二行"), G("旧的三行")})});
  Reload(1);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"旧的一行"}));
  dir_.WriteFile("data/1.txt", CrLf({G("新的一行"), G("新的二行")}));
  Reload(1);
  EXPECT_EQ(Texts(), (std::vector<std::string>{"新的一行"}));
}

TEST(ChapterLines, SplitsLikeSplitText) {
  const std::string texts[] = {
      "",          "a",           "a\r\nb",    "a\r\n",     "\r\na", "a\r\n\r\nb",
      "a\r\n\r\n", "a\rb\nc\r\n", "\xB0\r\nx", "\x81\r\nx", "x\x81",
  };
  for (const std::string& text : texts) {
    ChapterLines lines(text);
    const std::vector<std::string> expected = SplitText(text, "\r\n");
    ASSERT_EQ(lines.Count(), expected.size()) << text;
    for (std::size_t j = 1; j <= lines.Count(); ++j) EXPECT_EQ(lines.Line(j), expected[j - 1]);
  }
}

// The loader keeps the chapter in memory and stops scanning early; a plain loader that reads
// and scans the chapter file afresh at every fill must give the same queue.
class FreshLoader {
 public:
  FreshLoader(RunPaths paths, int chapterCount) : paths_(paths), count_(chapterCount) {}
  std::vector<QueueSlot> slots;
  int fillChapter = 1, fillLine = 1;
  std::vector<int> starts;

  void Fill(QueueSlot& s, bool skip) {
    while (true) {
      if (fillChapter == -1) {
        s.QueueText = "stop";
        s.QueueEnd = true;
        return;
      }
      const auto lines = SplitText(ReadChapterText(paths_.ChapterFile(fillChapter)), "\r\n");
      bool found = false, more = false;
      for (std::size_t j = 1; j <= lines.size(); ++j) {
        const std::string t = TrimSpaces(lines[j - 1]);
        if (static_cast<int>(j) < fillLine || !IsUsableLine(t, skip)) continue;
        if (!found) {
          found = true;
          fillLine = static_cast<int>(j) + 1;
          s.QueueLine = static_cast<int>(j);
          s.QueueText = t;
          s.QueueEnd = false;
        } else {
          more = true;
        }
      }
      if (!more) {
        if (fillChapter >= count_) {
          fillChapter = -1;
        } else {
          ++fillChapter;
          fillLine = 1;
          starts.push_back(found ? s.QueueClip + 1 : s.QueueClip);
        }
      }
      if (found) return;
    }
  }

 private:
  RunPaths paths_;
  int count_;
};

TEST_F(QueueTest, LongLineIsReadInPieces) {
  // 2,400 bytes in one line; sentences of 50 characters, and a part without any mark.
  std::string sentence;
  for (int i = 0; i < 49; ++i) sentence += G("字");
  sentence += G("。");
  std::string line;
  for (int i = 0; i < 20; ++i) line += sentence;
  line += std::string(400, 'a');
  WriteBook({line + "\r\n" + G("下一行") + "\r\n"});
  skip_ = false;
  Reload(5);
  std::string joined;
  for (int i = 1; i <= 3; ++i) {
    const QueueSlot& slot = queue_.Slot(i);
    EXPECT_LE(slot.QueueText.size(), kMaxPieceBytes) << i;
    EXPECT_EQ(slot.QueueLine, 1) << i;
    joined += slot.QueueText;
  }
  EXPECT_TRUE(joined == line);
  // Cut after the last full stop within reach, not inside a character.
  EXPECT_TRUE(queue_.Slot(1).QueueText.ends_with(G("。")));
  EXPECT_EQ(queue_.Slot(4).QueueText, G("下一行"));
  EXPECT_EQ(queue_.Slot(4).QueueLine, 2);
  EXPECT_TRUE(queue_.Slot(5).QueueEnd);
}

TEST_F(QueueTest, KeepingTheChapterInMemoryGivesTheSameQueue) {
  std::mt19937 random(7);
  const std::string pool[] = {G("中文的一行"), "latin only", G("……"),          "", "  ",
                              G("第十章"),     "xy",         G("  前后空格  ")};
  std::vector<std::string> chapters;
  for (int k = 0; k < 5; ++k) {
    std::string text;
    const int count = static_cast<int>(random() % 30);
    for (int j = 0; j < count; ++j) text += pool[random() % std::size(pool)] + "\r\n";
    chapters.push_back(text);
  }
  WriteBook(chapters);
  Reload(4);
  FreshLoader fresh(dir_.paths(), 5);
  fresh.slots.assign(4, QueueSlot{});
  for (int i = 0; i < 4; ++i) fresh.slots[i].QueueClip = i;
  for (QueueSlot& s : fresh.slots) fresh.Fill(s, true);

  for (int step = 0; step < 120; ++step) {
    for (int i = 1; i <= 4; ++i) {
      ASSERT_EQ(queue_.Slot(i).QueueText, fresh.slots[i - 1].QueueText) << step;
      ASSERT_EQ(queue_.Slot(i).QueueLine, fresh.slots[i - 1].QueueLine) << step;
      ASSERT_EQ(queue_.Slot(i).QueueClip, fresh.slots[i - 1].QueueClip) << step;
      ASSERT_EQ(queue_.Slot(i).QueueEnd, fresh.slots[i - 1].QueueEnd) << step;
    }
    ASSERT_EQ(queue_.ChapterStartClips, fresh.starts);
    // The switch may change between fills; it applies to lines loaded afterwards.
    const bool skip = random() % 5 != 0;
    skip_ = skip;
    queue_.LoadQueue(false);
    const int last = fresh.slots.back().QueueClip;
    fresh.slots.erase(fresh.slots.begin());
    fresh.slots.push_back(fresh.slots.back());
    fresh.slots.back().QueueClip = last + 1;
    fresh.Fill(fresh.slots.back(), skip);
  }
}

}  // namespace
}  // namespace lectoria
