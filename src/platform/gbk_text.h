// Helpers for the program's internal text: GBK (code page 936) bytes in std::string.
//
// Lengths and offsets count bytes. A byte 0x81..0xFE starts a double-byte character whose
// second byte may look like ASCII (e.g. 0x5C '\\' or 0x7C '|'), so every search here walks the
// text character by character and never reports a match that starts on a trail byte.
// Offsets are 0-based; "not found" is std::string::npos.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lectoria {

/// A byte that starts a double-byte GBK character.
constexpr bool IsGbkLeadByte(unsigned char c) { return c >= 0x81 && c <= 0xFE; }

/// Length in bytes of the character starting at `pos` (1 or 2; 1 for a lone lead byte at the end).
std::size_t GbkCharLength(std::string_view text, std::size_t pos);

/// First occurrence of `needle` at or after `from` (which must be a character boundary).
/// An empty needle is found at `from` when `from` <= text.size().
std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from = 0);

/// As FindText, comparing ASCII letters without regard to case.
std::size_t FindTextIgnoreCase(std::string_view text, std::string_view needle,
                               std::size_t from = 0);

/// True when `text` contains `needle` (GBK-aware), optionally ignoring ASCII case.
bool ContainsText(std::string_view text, std::string_view needle, bool ignoreCase = false);

/// Removes leading and trailing ASCII spaces (0x20 only; tabs and line ends stay).
std::string TrimSpaces(std::string_view text);

/// Removes leading and trailing blanks: ASCII spaces and the full-width space A1 A1.
std::string TrimBlanks(std::string_view text);

/// Splits at every `separator`: pieces between separators, empty leading and middle pieces
/// kept, an empty last piece (text ending in the separator) dropped, empty text gives none.
/// An empty separator gives the whole text as one piece.
std::vector<std::string> SplitText(std::string_view text, std::string_view separator);

/// The leading-number rule: optional leading whitespace, an optional sign, then decimal digits.
/// Text without a leading number reads as 0; values beyond the 32-bit range saturate.
std::int32_t ReadLeadingInt(std::string_view text);

/// ASCII-only case folding and comparison (GBK trail bytes are never folded).
std::string AsciiLower(std::string_view text);
bool EqualsIgnoreCase(std::string_view a, std::string_view b);

/// True when `text` begins with / ends with the given bytes.
inline bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}
inline bool EndsWith(std::string_view text, std::string_view suffix) {
  return text.size() >= suffix.size() && text.substr(text.size() - suffix.size()) == suffix;
}

}  // namespace lectoria
