// The text codec: turns the service's UTF-8 replies into the program's GBK text.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lectoria {

/// Converts the bytes `input` from character set `fromCharset` to `toCharset` and returns the
/// converted bytes from offset `startPosition` on (past the end gives empty bytes). An empty
/// charset name means the default ("UTF-8" for the source, "GBK" for the target). Names are
/// iconv's, in any case; "GB2312" is taken as "GBK", as Windows does (glibc's GB2312 is the
/// narrower EUC-CN), and "unicode" as UTF-16LE.
///
/// A character the target cannot hold becomes "?", an invalid input sequence becomes "?" and
/// the rest is still converted; a leading UTF-8 byte-order mark is dropped and none is written.
/// Empty input or an unknown charset gives empty bytes. Blocking; any thread may call it.
std::string ConvertCharset(std::string_view input, std::string_view fromCharset = "UTF-8",
                           std::string_view toCharset = "GBK", std::size_t startPosition = 0);

}  // namespace lectoria
