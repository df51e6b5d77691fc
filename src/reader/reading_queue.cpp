#include "reader/reading_queue.h"

#include <algorithm>
#include <limits>

#include "library/chapter_file.h"
#include "library/library_index.h"
#include "reader/line_filter.h"

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
  cachedChapter_.reset();
  cachedLines_ = ChapterLines();
}

void ReadingQueue::LoadQueue(bool reload) {
  if (slots_.empty()) return;
  if (reload) {
    // Chapter files may have been rewritten (an import) since they were last read.
    DropCachedChapter();
    const std::int64_t row = LibraryIndex(paths_).ReadingHistory();
    // "阅读历史" may hold anything up to the 32-bit limit; one past it lies beyond every chapter.
    FillChapter = static_cast<std::int32_t>(
        std::min<std::int64_t>(row + 1, std::numeric_limits<std::int32_t>::max()));
    for (std::size_t i = 0; i < slots_.size(); ++i)
      slots_[i].QueueClip = static_cast<std::int32_t>(i);
    for (QueueSlot& slot : slots_) FillSlot(slot);
    return;
  }
  const std::int32_t lastClip = slots_.back().QueueClip;
  std::rotate(slots_.begin(), slots_.begin() + 1, slots_.end());
  // After the rotation the last slot holds the old first slot; it starts as a copy of the old
  // last one, as a shift by one would leave it, and is then filled.
  if (slots_.size() > 1) slots_.back() = slots_[slots_.size() - 2];
  slots_.back().QueueClip = lastClip + 1;
  FillSlot(slots_.back());
}

const ChapterLines& ReadingQueue::CurrentChapterLines() {
  if (cachedChapter_ != FillChapter) {
    cachedLines_ = ChapterLines(ReadChapterText(paths_.ChapterFile(FillChapter)));
    cachedChapter_ = FillChapter;
  }
  return cachedLines_;
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

void ReadingQueue::FillSlot(QueueSlot& slot) {
  const bool skip = skipNonChinese_.load();
  // Each pass either fills the slot or leaves a chapter; FillChapter only grows until it
  // becomes -1, so the loop ends.
  while (true) {
    if (FillChapter == -1) {
      slot.QueueText = std::string(kEndMarkerText);
      slot.QueueEnd = true;
      return;  // the slot's line number stays as it was
    }
    const ChapterLines& lines = CurrentChapterLines();
    const std::size_t count = lines.Count();
    auto usable = [&](std::size_t j) { return IsUsableLine(TrimSpacesView(lines.Line(j)), skip); };

    std::size_t j = static_cast<std::size_t>(std::max<std::int32_t>(FillLine, 1));
    while (j <= count && !usable(j)) ++j;
    if (j > count) {
      // Nothing usable left in this chapter: the next chapter's first line goes into this
      // very slot, so its clip is where that chapter begins.
      LeaveChapter(slot.QueueClip);
      continue;
    }
    slot.QueueText = std::string(TrimSpacesView(lines.Line(j)));
    slot.QueueLine = static_cast<std::int32_t>(j);
    slot.QueueEnd = false;
    FillLine = static_cast<std::int32_t>(j + 1);

    // Is there a further usable line in this chapter? Stop at the first one: the answer is the
    // same as scanning to the end, and the next fill starts its search right there.
    std::size_t k = j + 1;
    while (k <= count && !usable(k)) ++k;
    if (k > count) LeaveChapter(slot.QueueClip + 1);
    return;
  }
}

}  // namespace lectoria
