// Conversion between character sets with glibc's iconv.
//
// "GBK" in glibc is Windows code page 936 (including 0x80 -> U+20AC); GB18030 and EUC-CN map
// differently and are not used. As the Windows conversions do, a character the target cannot
// hold becomes "?", and an invalid input sequence becomes "?" without stopping the rest.
#pragma once

#include <string>
#include <string_view>

namespace lectoria {

/// Converts `input` from charset `from` to charset `to` (iconv names). Returns empty text when
/// either charset is unknown. Empty in, empty out. Thread-safe (no shared state).
std::string ConvertEncoding(std::string_view input, const char* from, const char* to);

/// UTF-8 -> GBK (a leading byte-order mark is dropped).
std::string Utf8ToGbk(std::string_view utf8);

/// GBK -> UTF-8.
std::string GbkToUtf8(std::string_view gbk);

}  // namespace lectoria
