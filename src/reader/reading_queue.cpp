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
  streamChapter_.reset();
  stream_.Close();
}

void ReadingQueue::LoadQueueAt(std::int32_t row) {
  if (slots_.empty()) return;
  // Chapter files may have been rewritten (an import) since they were last read.
  DropCachedChapter();
  // "阅读历史" may hold anything up to the 32-bit limit; one past it lies beyond every chapter.
  FillChapter = static_cast<std::int32_t>(
      std::min<std::int64_t>(std::int64_t{row} + 1, std::numeric_limits<std::int32_t>::max()));
  for (std::size_t i = 0; i < slots_.size(); ++i)
    slots_[i].QueueClip = static_cast<std::int32_t>(i);
  for (QueueSlot& slot : slots_) FillSlot(slot);
}

void ReadingQueue::LoadQueue(bool reload) {
  if (slots_.empty()) return;
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
  FillSlot(slots_.back());
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

bool ReadingQueue::NextUsable(ChapterPiece& piece, bool skip) {
  while (stream_.Next(piece)) {
    if (IsUsableLine(TrimSpacesView(piece.text), skip)) return true;
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

void ReadingQueue::FillSlot(QueueSlot& slot) {
  const bool skip = skipNonChinese_.load();
  // Each pass either fills the slot or leaves a chapter; FillChapter only grows until it
  // becomes -1, so the loop ends.
  ChapterPiece piece;
  while (true) {
    if (FillChapter == -1) {
      slot.QueueText = std::string(kEndMarkerText);
      slot.QueueEnd = true;
      return;  // the slot's line number stays as it was
    }
    PositionStream();
    if (!NextUsable(piece, skip)) {
      // Nothing usable left in this chapter: the next chapter's first line goes into this
      // very slot, so its clip is where that chapter begins.
      LeaveChapter(slot.QueueClip);
      continue;
    }
    slot.QueueText = std::string(TrimSpacesView(piece.text));
    slot.QueueLine = piece.line;
    slot.QueueEnd = false;
    FillLine = piece.endsLine ? piece.line + 1 : piece.line;
    mark_ = stream_.Tell();
    streamFillLine_ = FillLine;

    // Is there a further usable piece in this chapter? The next fill reads on from the mark,
    // so the pieces looked at here are judged again then, by the switch as it is then.
    if (!NextUsable(piece, skip)) LeaveChapter(slot.QueueClip + 1);
    return;
  }
}

}  // namespace lectoria
