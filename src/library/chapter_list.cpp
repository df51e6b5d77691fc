#include "library/chapter_list.h"

#include <algorithm>

namespace lectoria {

std::int32_t ClampChapterCount(std::int32_t count) {
  return std::clamp<std::int32_t>(count, 0, kMaxChapterCount);
}

std::vector<ChapterRow> ReadChapterRows(const LibraryIndex& index) {
  const std::int32_t count = ClampChapterCount(index.ChapterCount());
  std::vector<ChapterRow> rows;
  rows.reserve(static_cast<std::size_t>(count));
  for (std::int32_t k = 1; k <= count; ++k) rows.push_back({index.ChapterTitle(k), k});
  return rows;
}

}  // namespace lectoria
