// The reading queue: the next CacheSize lines to be synthesized and played, and the loader
// that takes them from the chapter files.
//
// Used on the user-interface thread only (start-up, import, advance of playback, the launch of
// the synthesis worker, a change of the text rules). Only the rule set is shared with other
// threads, under its own lock.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "platform/run_dir.h"
#include "reader/chapter_stream.h"

namespace lectoria {

class RuleSet;

/// The text a slot shows once the book is exhausted.
inline constexpr std::string_view kEndMarkerText = "stop";

/// Where the loader goes on after a slot's line: the place just past the line in its chapter
/// file, before the loader looked further. A slot never filled has chapter 0.
struct LoaderPlace {
  std::int32_t chapter = 0;
  std::int32_t fillLine = 0;
  ChapterStream::Mark mark;
  std::size_t chapterStarts = 0;  // size of ChapterStartClips at that point
};

/// One queue slot: a line of the book with its clip number, or the end marker.
struct QueueSlot {
  /// What is spoken: the line without leading and trailing spaces, changed by the text rules
  /// (see SpokenText); "stop" at the end.
  std::string QueueText;
  std::int32_t QueueClip = 0;  // its audio is temp/<QueueClip>.mp3
  std::int32_t QueueLine = 0;  // 1-based line number within its chapter file
  /// True when the slot marks the end of the book. Only this flag ends synthesis: a book line
  /// that reads "stop" is an ordinary line.
  bool QueueEnd = false;
  /// The line as the book has it, trimmed, before the text rules; empty at the end.
  std::string QueueBookText;
  /// 1-based chapter file of the line.
  std::int32_t QueueChapter = 0;
  LoaderPlace place;
};

/// `ReadingQueue` with its loader state (`FillChapter`, `FillLine`, `ChapterCount`,
/// `ChapterStartClips`). Slots are numbered 1 … Size().
class ReadingQueue {
 public:
  /// `skipNonChinese` is the process-wide filter switch, read at every slot fill.
  ReadingQueue(RunPaths paths, const std::atomic<bool>& skipNonChinese);

  /// `cacheSize` slots of ("", 0, 0). Values below 1 give one slot.
  void Reset(std::int32_t cacheSize);

  /// reload = true: every slot is filled afresh from chapter "阅读历史" + 1 of the library index,
  /// starting at line FillLine (set by the caller from "行号"); clips are numbered from 0.
  /// reload = false: the queue moves on by one line; the last slot gets the next line.
  void LoadQueue(bool reload);
  /// Reload mode from chapter row `row` (0-based) instead of the stored "阅读历史": for a jump,
  /// which must not depend on the index having taken the new position.
  void LoadQueueAt(std::int32_t row);

  std::int32_t Size() const { return static_cast<std::int32_t>(slots_.size()); }
  /// Slot i, 1-based, 1 ≤ i ≤ Size().
  const QueueSlot& Slot(std::int32_t i) const { return slots_[static_cast<std::size_t>(i - 1)]; }
  const std::vector<QueueSlot>& Slots() const { return slots_; }
  /// The slot holding clip `clip`, or nullptr.
  const QueueSlot* FindClip(std::int32_t clip) const;

  /// Chapter file read next (1-based); -1 once the last chapter is exhausted.
  std::int32_t FillChapter = 1;
  /// Line of FillChapter from which the next search starts (1-based).
  std::int32_t FillLine = 1;
  /// Number of chapters ("章节数"); the chapter list's fill sets it.
  std::int32_t ChapterCount = 0;
  /// Clip numbers at which a following chapter begins, in the order found. One entry per
  /// chapter moved on to, so a chapter without a usable line gives a second entry with the same
  /// clip number. Only grows.
  std::vector<std::int32_t> ChapterStartClips;

  /// Forgets where the chapter file was being read (the next fill opens it again).
  void DropCachedChapter();

  /// The text rules applied to every line before the line filter (see SpokenText); null or
  /// empty: none. Lines loaded afterwards follow the new set. Any thread.
  void SetRules(std::shared_ptr<const RuleSet> rules);
  std::shared_ptr<const RuleSet> Rules() const;

  /// Fills the slots after slot `slot` (1-based) afresh, from the place just past slot
  /// `slot`'s line and with the rules and filter switch as they are now; their clip numbers
  /// stay. Chapter starts recorded for those slots are found again. Nothing happens when
  /// `slot` is the end marker or was never filled.
  void RefillAfter(std::int32_t slot);

 private:
  void FillSlot(QueueSlot& slot, const RuleSet* rules);
  void LeaveChapter(std::int32_t nextChapterFirstClip);
  void PositionStream();
  bool NextUsable(ChapterPiece& piece, bool skip, const RuleSet* rules, std::string& spoken);

  RunPaths paths_;
  const std::atomic<bool>& skipNonChinese_;
  std::vector<QueueSlot> slots_;
  // The chapter file is read forward from where the last fill stopped (just after the piece it
  // took), so an advance costs what it reads, whatever the size of the chapter or its lines.
  ChapterStream stream_;
  std::optional<std::int32_t> streamChapter_;
  std::int32_t streamFillLine_ = 0;  // FillLine that `mark_` stands for
  ChapterStream::Mark mark_;

  mutable std::mutex rulesMutex_;
  std::shared_ptr<const RuleSet> rules_;
};

}  // namespace lectoria
