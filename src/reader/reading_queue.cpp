#include "reader/reading_queue.h"

#include <algorithm>
#include <limits>

#include "library/chapter_file.h"
#include "library/library_index.h"
#include "reader/line_filter.h"
#include "reader/spoken_text.h"

namespace lectoria {

ReadingQueue::ReadingQueue(RunPaths paths, const std::atomic<bool>& skipNonChinese)
    : paths_(std::move(paths)), skipNonChinese_(skipNonChinese) {}

void ReadingQueue::Reset(std::int32_t cacheSize) {
  slots_.assign(static_cast<std::size_t>(std::max<std::int32_t>(cacheSize, 1)), QueueSlot{});
}

const QueueSlot* ReadingQueue::FindClip(std::int32_t clip) const {
  for (const QueueSlot& slot : slots_)
    if (slot.QueueClip == clip) return &slot;
  return nullptr;
}

void ReadingQueue::DropCachedChapter() {
  streamChapter_.reset();
  stream_.Close();
}

void ReadingQueue::SetRules(std::shared_ptr<const RuleSet> rules) {
  std::lock_guard lock(rulesMutex_);
  rules_ = std::move(rules);
}

std::shared_ptr<const RuleSet> ReadingQueue::Rules() const {
  std::lock_guard lock(rulesMutex_);
  return rules_;
}

void ReadingQueue::LoadQueueAt(std::int32_t row) {
  if (slots_.empty()) return;
  const std::shared_ptr<const RuleSet> rules = Rules();
  // Chapter files may have been rewritten (an import) since they were last read.
  DropCachedChapter();
  // "阅读历史" may hold anything up to the 32-bit limit; one past it lies beyond every chapter.
  FillChapter = static_cast<std::int32_t>(
      std::min<std::int64_t>(std::int64_t{row} + 1, std::numeric_limits<std::int32_t>::max()));
  for (std::size_t i = 0; i < slots_.size(); ++i)
    slots_[i].QueueClip = static_cast<std::int32_t>(i);
  for (QueueSlot& slot : slots_) FillSlot(slot, rules.get());
}

void ReadingQueue::LoadQueue(bool reload) {
  if (slots_.empty()) return;
  // One set for the whole load, held while it is used, whatever another thread sets meanwhile.
  const std::shared_ptr<const RuleSet> rules = Rules();
  if (reload) {
    LoadQueueAt(LibraryIndex(paths_).ReadingHistory());
    return;
  }
  const std::int32_t lastClip = slots_.back().QueueClip;
  std::rotate(slots_.begin(), slots_.begin() + 1, slots_.end());
  // After the rotation the last slot holds the old first slot; it starts as a copy of the old
  // last one, as a shift by one would leave it, and is then filled.
  if (slots_.size() > 1) slots_.back() = slots_[slots_.size() - 2];
  slots_.back().QueueClip = lastClip + 1;
  FillSlot(slots_.back(), rules.get());
}

void ReadingQueue::RefillAfter(std::int32_t slot) {
  if (slot < 1 || slot > Size()) return;
  const QueueSlot& from = slots_[static_cast<std::size_t>(slot - 1)];
  if (from.QueueEnd || from.place.chapter <= 0) return;
  const std::shared_ptr<const RuleSet> rules = Rules();
  const bool skip = skipNonChinese_.load();
  const std::int32_t clip = from.QueueClip;

  // Back to where the loader stood right after that line; the chapter starts found since then
  // are found again.
  const LoaderPlace place = from.place;
  ChapterStartClips.resize(std::min(ChapterStartClips.size(), place.chapterStarts));
  FillChapter = place.chapter;
  FillLine = place.fillLine;
  if (streamChapter_ != FillChapter) {
    stream_.Open(paths_.ChapterFile(FillChapter));
    streamChapter_ = FillChapter;
  }
  mark_ = place.mark;
  streamFillLine_ = FillLine;

  PositionStream();
  ChapterPiece piece;
  std::string spoken;
  if (!NextUsable(piece, skip, rules.get(), spoken)) LeaveChapter(clip + 1);
  for (std::size_t i = static_cast<std::size_t>(slot); i < slots_.size(); ++i) {
    slots_[i].QueueClip = clip + static_cast<std::int32_t>(i) - slot + 1;
    FillSlot(slots_[i], rules.get());
  }
}

void ReadingQueue::PositionStream() {
  if (streamChapter_ == FillChapter && streamFillLine_ == FillLine) {
    stream_.Seek(mark_);
    return;
  }
  stream_.Open(paths_.ChapterFile(FillChapter));
  stream_.SeekLine(std::max<std::int32_t>(FillLine, 1));
  streamChapter_ = FillChapter;
}

bool ReadingQueue::NextUsable(ChapterPiece& piece, bool skip, const RuleSet* rules,
                              std::string& spoken) {
  while (stream_.Next(piece)) {
    if (SpokenText(piece.text, rules, skip, spoken)) return true;
  }
  return false;
}

void ReadingQueue::LeaveChapter(std::int32_t nextChapterFirstClip) {
  DropCachedChapter();
  // ">=" rather than "=": a position beyond the last chapter (a damaged index) ends the book
  // instead of walking through chapter numbers without end.
  if (FillChapter >= ChapterCount) {
    FillChapter = -1;
    return;
  }
  FillChapter += 1;
  FillLine = 1;
  ChapterStartClips.push_back(nextChapterFirstClip);
}

void ReadingQueue::FillSlot(QueueSlot& slot, const RuleSet* rules) {
  const bool skip = skipNonChinese_.load();
  // Each pass either fills the slot or leaves a chapter; FillChapter only grows until it
  // becomes -1, so the loop ends.
  ChapterPiece piece;
  std::string spoken;
  while (true) {
    if (FillChapter == -1) {
      slot.QueueText = std::string(kEndMarkerText);
      slot.QueueEnd = true;
      slot.QueueBookText.clear();
      slot.place = LoaderPlace{};
      return;  // the slot's line number stays as it was
    }
    PositionStream();
    if (!NextUsable(piece, skip, rules, spoken)) {
      // Nothing usable left in this chapter: the next chapter's first line goes into this
      // very slot, so its clip is where that chapter begins.
      LeaveChapter(slot.QueueClip);
      continue;
    }
    slot.QueueText.swap(spoken);
    slot.QueueBookText = std::string(TrimSpacesView(piece.text));
    slot.QueueLine = piece.line;
    slot.QueueChapter = FillChapter;
    slot.QueueEnd = false;
    FillLine = piece.endsLine ? piece.line + 1 : piece.line;
    mark_ = stream_.Tell();
    streamFillLine_ = FillLine;
    slot.place = LoaderPlace{FillChapter, FillLine, mark_, ChapterStartClips.size()};

    // Is there a further usable piece in this chapter? The next fill reads on from the mark,
    // so the pieces looked at here are judged again then, by the switch and rules as they
    // are then.
    if (!NextUsable(piece, skip, rules, spoken)) LeaveChapter(slot.QueueClip + 1);
    return;
  }
}

}  // namespace lectoria
