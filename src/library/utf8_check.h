// Deciding whether a book's bytes are UTF-8 (otherwise they are taken as GBK).
#pragma once

#include <cstddef>
#include <string_view>

namespace lectoria {

/// How many bytes from the first non-ASCII byte on IsUtf8Text validates.
inline constexpr std::size_t kUtf8CheckWindow = 64 * 1024;

/// True when `data` is to be read as UTF-8.
///
/// Only the text from the first byte >= 0x80 on matters (pure ASCII and empty data are not
/// UTF-8). That byte must start a multi-byte UTF-8 sequence followed by its continuation bytes
/// (a byte-order mark EF BB BF passes this way). Because many GBK texts also pass that first
/// test (e.g. a lead E0-EF followed by two trail bytes in 80-BF), the answer is then confirmed by
/// validating up to kUtf8CheckWindow bytes from that byte on as well-formed UTF-8; a sequence
/// cut off by the end of the examined bytes counts as well-formed, so a caller may pass just a
/// prefix of a file.
bool IsUtf8Text(std::string_view data);

/// True when `data` is well-formed UTF-8, except that it may end inside a sequence whose bytes
/// so far are well-formed. Overlong forms, surrogates and code points above U+10FFFF are not.
bool IsUtf8Prefix(std::string_view data);

}  // namespace lectoria
