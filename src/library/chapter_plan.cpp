#include "library/chapter_plan.h"

#include <algorithm>

#include "library/chapter_title.h"
#include "library/title_rules.h"
#include "platform/codepage.h"
#include "platform/gbk_text.h"

namespace lectoria {
namespace {

// Every line but the first of a chapter file is preceded by CR LF.
constexpr std::int64_t kLineEndBytes = 2;
// Opening words of a piece's title.
constexpr std::size_t kPieceTitleChars = 16;

// The index keeps one entry per line, so a title must not carry a line end into it: a CR or LF
// can only appear in a title as the broken trail byte of a GBK character or as a stray CR.
std::string IndexValue(std::string_view title) {
  std::string value(title);
  std::replace_if(
      value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return value;
}

// The first `chars` characters of `text`, with "…" when it was longer.
std::string Shorten(std::string_view text, std::size_t chars) {
  std::size_t pos = 0;
  for (std::size_t n = 0; pos < text.size() && n < chars; ++n) pos += GbkCharLength(text, pos);
  if (pos >= text.size()) return std::string(text);
  static const std::string kEllipsis = Utf8ToGbk("…");
  return std::string(text.substr(0, pos)) + kEllipsis;
}

}  // namespace

std::string_view TitleRuleName(TitleRule rule) {
  switch (rule) {
    case TitleRule::kOriginal:
      return "original";
    case TitleRule::kNumbered:
      return "numbered";
    case TitleRule::kNamed:
      return "named";
    case TitleRule::kEnglish:
      return "english";
    case TitleRule::kBySize:
      return "by-size";
  }
  return "";
}

std::string SizedChapterTitle(std::int64_t k, std::string_view firstLine) {
  static const std::string kOpen = Utf8ToGbk("（");
  static const std::string kClose = Utf8ToGbk("）");
  return kOpen + std::to_string(k) + kClose +
         IndexValue(Shorten(TrimTitleBlanks(firstLine), kPieceTitleChars));
}

ChapterPlanner::ChapterPlanner(std::int64_t maxChapters) : maxChapters_(maxChapters) {
  original_.mergeRuns = false;
}

void ChapterPlanner::Track(RuleTrack& track, bool isTitle, std::string_view line, bool blank) {
  if (!isTitle) {
    if (!blank) track.textSinceTitle = true;
    return;
  }
  Candidate c{lines_, bytes_, chars_, nonBlank_, IndexValue(line)};
  if (track.mergeRuns && !track.titles.empty() && !track.textSinceTitle) {
    track.titles.back() = std::move(c);  // a run of titles: the earlier one is a contents line
  } else if (static_cast<std::int64_t>(track.titles.size()) <= maxChapters_) {
    track.titles.push_back(std::move(c));
  } else {
    track.overflow = true;
  }
  track.textSinceTitle = false;
}

void ChapterPlanner::AddLine(std::string_view line, bool whole, std::int64_t bytes,
                             std::int64_t chars, bool blank) {
  // A line too long for any title rule is only text.
  const bool shortLine = whole && line.size() < 256;
  const bool original = whole && IsChapterTitle(line);
  const bool named = shortLine && !blank && IsNamedPartTitle(line);
  Track(original_, original, line, blank);
  Track(numbered_, shortLine && !blank && (named || IsNumberedTitle(line)), line, blank);
  Track(named_, named, line, blank);
  Track(english_, shortLine && !blank && IsEnglishTitle(line), line, blank);

  if (!blank) {
    if (nonBlank_ == 0) firstText_ = {lines_, bytes_, chars_, 0, IndexValue(line)};
    if (pieces_.empty() || pieceChars_ >= kSizedChapterChars) {
      pieces_.push_back({lines_, bytes_, chars_, nonBlank_,
                         SizedChapterTitle(static_cast<std::int64_t>(pieces_.size()) + 1, line)});
      pieceChars_ = 0;
    }
    ++nonBlank_;
  }
  pieceChars_ += chars;
  ++lines_;
  bytes_ += bytes + kLineEndBytes;
  chars_ += chars;
}

bool ChapterPlanner::Plausible(const std::vector<std::int64_t>& starts) const {
  if (starts.empty() || static_cast<std::int64_t>(starts.size()) > maxChapters_) return false;
  if (bytes_ <= kPlausibleBookBytes) return true;
  if (starts.size() == 1) return false;
  std::vector<std::int64_t> sizes;
  for (std::size_t i = 0; i < starts.size(); ++i)
    sizes.push_back((i + 1 < starts.size() ? starts[i + 1] : bytes_) - starts[i]);
  std::int64_t largest = std::max(starts.front(), *std::max_element(sizes.begin(), sizes.end()));
  // The lower median: of two chapters, the smaller.
  const std::size_t middle = (sizes.size() - 1) / 2;
  std::nth_element(sizes.begin(), sizes.begin() + static_cast<std::ptrdiff_t>(middle), sizes.end());
  const std::int64_t median = sizes[middle];
  return largest <= kPlausibleBookBytes || largest <= kMaxChapterToMedian * median;
}

void ChapterPlanner::SetChars(ChapterPlan& plan, const std::vector<std::int64_t>& charStarts) const {
  for (std::size_t i = 0; i < plan.chapters.size(); ++i)
    plan.chapters[i].chars = (i + 1 < charStarts.size() ? charStarts[i + 1] : chars_) - charStarts[i];
}

bool ChapterPlanner::TryRule(const RuleTrack& track, TitleRule rule, ChapterPlan& plan) const {
  if (track.overflow || track.titles.empty()) return false;
  plan.rule = rule;
  plan.chapters.clear();
  std::vector<std::int64_t> starts, charStarts;
  const Candidate& first = track.titles.front();
  if (rule != TitleRule::kOriginal) {
    const std::int64_t prefaceLines = first.nonBlankBefore;
    const std::int64_t prefaceChars = first.charOffset - firstText_.charOffset;
    if (prefaceLines >= kPrefaceMinLines || (prefaceLines > 0 && prefaceChars >= kPrefaceMinChars)) {
      plan.chapters.push_back({firstText_.line, Shorten(TrimTitleBlanks(firstText_.title),
                                                        kMaxTitleChars), 0});
      starts.push_back(firstText_.byteOffset);
      charStarts.push_back(firstText_.charOffset);
    }
  }
  for (const Candidate& c : track.titles) {
    plan.chapters.push_back({c.line, c.title, 0});
    starts.push_back(c.byteOffset);
    charStarts.push_back(c.charOffset);
  }
  if (!Plausible(starts)) return false;
  SetChars(plan, charStarts);
  return true;
}

ChapterPlan ChapterPlanner::BySize() const {
  ChapterPlan plan;
  plan.rule = TitleRule::kBySize;
  std::vector<std::int64_t> charStarts;
  for (const Candidate& c : pieces_) {
    plan.chapters.push_back({c.line, c.title, 0});
    charStarts.push_back(c.charOffset);
  }
  SetChars(plan, charStarts);
  return plan;
}

ChapterPlan ChapterPlanner::Finish() const {
  ChapterPlan plan;
  if (TryRule(original_, TitleRule::kOriginal, plan)) return plan;
  if (TryRule(numbered_, TitleRule::kNumbered, plan)) return plan;
  if (TryRule(named_, TitleRule::kNamed, plan)) return plan;
  if (TryRule(english_, TitleRule::kEnglish, plan)) return plan;
  return BySize();
}

}  // namespace lectoria
