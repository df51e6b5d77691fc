// Where the line being read is shown: the progress in the status line, the mark on its line in
// the chapter text 编辑框1, and the chapter list and text following reading from chapter to
// chapter unless the user has gone to look at another chapter. Also the window without a book:
// 按钮1 and 按钮4 disabled, with a hint in 编辑框3. UI thread.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

#include "app/state/app_state.h"
#include "app/state/index_checks.h"
#include "app/core/status_line.h"
#include "app/window/main_window.h"

namespace lectoria {

/// The chapter row and line of queued clip `clip`: the row being heard, moved on by the chapter
/// starts between the last clip entered and `clip`. Row -1 when no slot holds the clip, or
/// when it is the end marker.
ReadingPosition PositionOfClip(const AppState& state, std::int32_t clip);

/// The progress text: "第 12/120 章 · 第 35 行 · 9.6%" (GBK).
std::string ProgressText(std::int32_t row, std::int32_t chapterCount, std::int32_t line,
                         double percent);

class ReadingPlace {
 public:
  ReadingPlace(AppState& state, MainWindow& window, StatusLine& status)
      : state_(state), window_(window), status_(status) {}

  /// The line at (row, line) is now the one being read: status line, list row and text (while
  /// following), mark. Row -1: nothing is being read (the marks go).
  void Show(ReadingPosition place);
  /// 编辑框1 now shows the list's current chapter: the mark where it is the chapter being read.
  /// Looking at another chapter stops following reading; coming back to it follows again.
  void OnChapterShown();
  /// Follows reading again: the chapter being read is shown and its line brought into view.
  void Reveal();
  bool Following() const { return following_; }
  void SetFollowing(bool following) { following_ = following; }

  /// Without a book: 按钮1 and 按钮4 disabled, the hint in 编辑框3, no progress. With one,
  /// both enabled (按钮1 only once the voice list is loaded). Runs whenever BookLoaded changes.
  void ApplyBookState();
  /// The last step of the voice-loading thread (any thread): caption "开始" on 按钮1, which is
  /// enabled when a book is loaded. Decided under one lock with ApplyBookState, so whichever
  /// of the two comes last leaves the right state.
  void VoicesReady();

  /// Another book (or the same one imported again): the sizes kept for the progress go.
  void BookChanged();

  /// Share of the book before line `line` of chapter row `row`, in percent, by bytes of the
  /// chapter files.
  double Share(std::int32_t row, std::int32_t line);

 private:
  /// The mark on the line being read, where 编辑框1 shows its chapter.
  void Mark();
  std::int64_t ChapterBytes(std::int32_t chapter);
  std::int64_t LineOffset(std::int32_t chapter, std::int32_t line);

  AppState& state_;
  MainWindow& window_;
  StatusLine& status_;
  ReadingPosition place_{-1, 0};
  bool following_ = true;
  std::mutex buttonsMutex_;
  bool voicesReady_ = false;
  // Sizes of chapters 1 … N, and the line starts of one chapter, kept while the book stays.
  std::vector<std::int64_t> sizes_;
  std::int64_t total_ = 0;
  std::int32_t offsetsChapter_ = 0;
  std::vector<std::int64_t> offsets_;
};

}  // namespace lectoria
