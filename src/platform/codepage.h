// Conversion between character sets with glibc's iconv.
//
// "GBK" in glibc is Windows code page 936 (including 0x80 <-> U+20AC); GB18030 and EUC-CN
// ("GB2312" in glibc) map differently and are not used for the program's text.
//
// As the Windows conversions do, the conversion never stops early:
// - a character the target cannot hold becomes one "?" (in the target's encoding);
// - an invalid input sequence becomes one "?" and the rest is converted. For UTF-8 input each
//   maximal ill-formed subpart counts as one sequence (the Unicode recommendation, also what
//   Windows does); for GBK input a lead byte with a byte from the trail range counts as one
//   (unassigned) character, anything else is one bad byte.
// The whole text goes through iconv in bulk; only the faulty spots are handled one by one.
#pragma once

#include <string>
#include <string_view>

namespace lectoria {

/// Converts `input` from charset `from` to charset `to` (iconv names, any case). A leading
/// UTF-8 byte-order mark is dropped when `from` is UTF-8. Returns empty text when either
/// charset is unknown. Empty in, empty out. Thread-safe (no shared state).
std::string ConvertEncoding(std::string_view input, const char* from, const char* to);

/// UTF-8 -> GBK (a leading byte-order mark is dropped).
std::string Utf8ToGbk(std::string_view utf8);

/// GBK -> UTF-8.
std::string GbkToUtf8(std::string_view gbk);

}  // namespace lectoria
