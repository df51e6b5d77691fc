// Choosing the title rule that divides a book plausibly, and the chapters it gives.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lectoria {

/// The title rules, in the order they are tried.
enum class TitleRule {
  kOriginal,  ///< IsChapterTitle: "第" and "章" in a short line, or a line of digits
  kNumbered,  ///< "第" + number + 章回节卷集部篇, and the named parts (序章, 楔子, 后记, ...)
  kNamed,     ///< the named parts alone
  kEnglish,   ///< "Chapter 12", "Part III", "Prologue"
  kBySize,    ///< no rule fits: pieces of about kSizedChapterChars characters
};

/// The name of a rule as the chapter listing prints it.
std::string_view TitleRuleName(TitleRule rule);

/// Size of the chapters cut when no title rule fits, in characters.
inline constexpr std::int64_t kSizedChapterChars = 10000;
/// Text before the first title is kept as a chapter of its own (under the further rules) when
/// it holds at least this many non-blank lines, or at least kPrefaceMinChars characters.
inline constexpr std::int64_t kPrefaceMinLines = 4;
inline constexpr std::int64_t kPrefaceMinChars = 200;
/// Plausibility: a book above this size is not one chapter, and no part of it may exceed both
/// this size and kMaxChapterToMedian times the median chapter.
inline constexpr std::int64_t kPlausibleBookBytes = 100 * 1024;
inline constexpr std::int64_t kMaxChapterToMedian = 10;

/// One chapter of the plan. Chapter k runs from its first line up to the line before the next
/// chapter's first line (or the end of the book).
struct PlannedChapter {
  std::int64_t firstLine = 0;  ///< 0-based line of the book
  std::string title;           ///< GBK, as the index stores it
  std::int64_t chars = 0;      ///< characters of its lines, line ends not counted
};

/// How a book is divided. Lines before the first chapter belong to none.
struct ChapterPlan {
  TitleRule rule = TitleRule::kBySize;
  std::vector<PlannedChapter> chapters;
};

/// Fed every line of a book (once), collects the titles each rule finds and then picks the
/// first rule whose division is plausible:
/// - it finds at least one title, and no more than the chapter list holds;
/// - for a book above kPlausibleBookBytes: more than one chapter, and no part (the text before
///   the first title included) larger than both kPlausibleBookBytes and kMaxChapterToMedian
///   times the median chapter.
/// The original rule divides exactly as it always has (text before its first title is
/// dropped). Under the further rules a run of titles with no text between them (a table of
/// contents) keeps only its last title, and the text before the first title becomes a first
/// chapter when it is long enough (kPrefaceMinLines, kPrefaceMinChars), titled by its first
/// line. When no rule fits, the book is cut at the first line end after every
/// kSizedChapterChars characters, each piece titled "（k）" and its opening words.
class ChapterPlanner {
 public:
  /// Stops collecting titles for a rule beyond this many (such a division is refused anyway).
  explicit ChapterPlanner(std::int64_t maxChapters);

  /// The next line: its first bytes (a whole line unless it is very long), its length in bytes
  /// and characters, and whether it holds anything besides blanks.
  void AddLine(std::string_view line, bool whole, std::int64_t bytes, std::int64_t chars,
               bool blank);

  /// The chosen division. `chapters` is empty only for a book without any non-blank line.
  ChapterPlan Finish() const;

 private:
  struct Candidate {
    std::int64_t line = 0;
    std::int64_t byteOffset = 0;
    std::int64_t charOffset = 0;
    std::int64_t nonBlankBefore = 0;  // non-blank lines of the book before this one
    std::string title;
  };
  struct RuleTrack {
    std::vector<Candidate> titles;
    bool mergeRuns = true;
    bool textSinceTitle = false;
    bool overflow = false;
  };

  void Track(RuleTrack& track, bool isTitle, std::string_view line, bool blank);
  bool Plausible(const std::vector<std::int64_t>& starts) const;
  bool TryRule(const RuleTrack& track, TitleRule rule, ChapterPlan& plan) const;
  ChapterPlan BySize() const;
  void SetChars(ChapterPlan& plan, const std::vector<std::int64_t>& charStarts) const;

  std::int64_t maxChapters_;
  std::int64_t lines_ = 0;
  std::int64_t bytes_ = 0;
  std::int64_t chars_ = 0;
  std::int64_t nonBlank_ = 0;
  RuleTrack original_, numbered_, named_, english_;
  Candidate firstText_;            // the book's first non-blank line
  std::vector<Candidate> pieces_;  // the pieces of the size rule
  std::int64_t pieceChars_ = 0;
};

/// The title of a piece cut by size: "（k）" and the first characters of its first line.
std::string SizedChapterTitle(std::int64_t k, std::string_view firstLine);

}  // namespace lectoria
