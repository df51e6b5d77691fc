// The rows of the chapter list, read from the library index.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "library/library_index.h"

namespace lectoria {

/// One row of the chapter list: chapter `number` (1-based) is list row number - 1.
struct ChapterRow {
  std::string title;  // "章节索引"/number, empty when the key is missing
  std::int32_t number = 0;
};

/// "章节数" as the program uses it: negative values give 0 and values above
/// kMaxChapterCount are cut to it.
std::int32_t ClampChapterCount(std::int32_t count);

/// Reads "属性"/"章节数" (clamped) and the titles of chapters 1 … N in order.
std::vector<ChapterRow> ReadChapterRows(const LibraryIndex& index);

}  // namespace lectoria
