// The numbers stored in the library index, checked before start-up uses them.
#pragma once

#include <cstdint>

#include "platform/run_dir.h"

namespace lectoria {

/// A reading position: the 0-based chapter row ("阅读历史") and the 1-based line within that
/// chapter's file ("行号").
struct ReadingPosition {
  std::int32_t row = 0;
  std::int32_t line = 1;
  bool operator==(const ReadingPosition&) const = default;
};

/// The position start-up may read from. The program only ever stores a row of the book and a
/// line number of at least 1, so anything else comes from a damaged or hand-edited index and
/// must not send the queue loader on a walk through chapters that do not exist: a row outside
/// 0 … chapterCount − 1 gives the book's start (row 0, line 1), and a line below 1 the
/// chapter's first line. (A line past the chapter's end is harmless: reading goes on with the
/// next chapter.) A book without chapters keeps row 0.
ReadingPosition CheckReadingPosition(ReadingPosition stored, std::int32_t chapterCount);

/// The largest k for which the chapter file data/<k>.txt exists (0 when none does). The import
/// writes chapters 1 … N, so a "章节数" above this names chapters that are not there; the
/// chapter list and the queue loader stop here rather than try each missing number in turn.
std::int32_t LastChapterFile(const RunPaths& paths);

}  // namespace lectoria
