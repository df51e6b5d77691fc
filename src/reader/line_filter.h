// Which lines of a book are worth reading aloud.
#pragma once

#include <string>
#include <string_view>

#include "platform/gbk_text.h"  // TrimSpaces: leading and trailing 0x20 removed, nothing else

namespace lectoria {

/// The GB2312 hanzi of a GBK text, in order: every pair whose first byte lies in B0–F7 and
/// second byte in A1–FE. Other double-byte characters (punctuation, full-width letters and
/// digits, GBK extension characters) are stepped over whole; a final single byte is never
/// taken as the start of a pair.
std::string ExtractHanzi(std::string_view text);

/// Same as !ExtractHanzi(text).empty(), without building the text.
bool HasHanzi(std::string_view text);

/// The filter for a trimmed line: at least 3 bytes and, when `skipNonChinese` is set, at least
/// one GB2312 hanzi.
bool IsUsableLine(std::string_view trimmed, bool skipNonChinese);

/// TrimSpaces without copying: the view of `text` without leading and trailing spaces (0x20).
std::string_view TrimSpacesView(std::string_view text);

}  // namespace lectoria
