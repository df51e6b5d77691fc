// The chapter title rule used when a book is divided into chapters.
#pragma once

#include <string_view>

namespace lectoria {

/// True when `line` (one GBK line without its line end) starts a new chapter.
///
/// Lengths and positions count bytes. A line of 5 to 49 bytes is a title when it contains
/// "第" (B5 DA) and "章" (D5 C2), each found by a plain byte search from the first byte (which may
/// match across character boundaries), and the first "章" starts less than 20 bytes after the
/// first "第" (or before it). Any other line is a title when, with leading and trailing ASCII
/// spaces removed, it is a non-empty run of the digits 0-9.
bool IsChapterTitle(std::string_view line);

}  // namespace lectoria
