// Conversion between the program's GBK text and the JSON tree's internal Unicode text.
//
// Strings inside the tree are UTF-8, loosened as WTF-8 so that a lone surrogate from a "\uD800"
// escape survives as a three-byte sequence. The conversions here run on lookup tables built once
// from glibc's iconv ("GBK", i.e. code page 936), because a document converts many short texts
// (member names, paths, values) and opening an iconv descriptor per text would dominate.
//
// GBK input: a lead byte 0x81..0xFE followed by a trail byte 0x40..0x7E or 0x80..0xFE is one
// character (the same pairing the GBK text helpers use); a pair without a Unicode mapping, a lead
// byte without a trail and the byte 0xFF each become "?". Unicode output: a character that GBK
// cannot hold (including every character beyond the Basic Multilingual Plane and every lone
// surrogate) becomes "?".
#pragma once

#include <string>
#include <string_view>

namespace lectoria::json {

/// The marker that stands for a backslash in texts stored by text-mode `SetValue` (U+2400).
inline constexpr char32_t kBackslashMarker = 0x2400;

/// True when every byte of `text` is ASCII (below 0x80).
bool IsAscii(std::string_view text);

/// Appends the code point `cp` as UTF-8 (surrogates as WTF-8).
void AppendUtf8(std::string& out, char32_t cp);

/// Decodes one code point of internal text at `pos` and advances `pos`. A malformed byte
/// decodes as "?" and advances by one.
char32_t DecodeUtf8(std::string_view text, std::size_t& pos);

/// Decodes one GBK character at `pos` into a code point ("?" when unmappable) and advances
/// `pos` by its length. `text[pos]` must be 0x80 or above.
char32_t DecodeGbkChar(std::string_view text, std::size_t& pos);

/// GBK -> internal text. With `markBackslashes`, every backslash becomes the marker U+2400.
std::string GbkToInternal(std::string_view gbk, bool markBackslashes = false);

/// Appends internal text converted to GBK. With `translateMarkers`, every U+2400 becomes a
/// backslash.
void AppendInternalAsGbk(std::string& out, std::string_view text, bool translateMarkers);

/// Internal text -> GBK (see AppendInternalAsGbk).
std::string InternalToGbk(std::string_view text, bool translateMarkers);

}  // namespace lectoria::json
