// Well-formed UTF-8, byte by byte: shortest forms only, no surrogates, nothing beyond U+10FFFF.
#pragma once

#include <cstddef>
#include <string_view>

namespace lectoria {

/// The UTF-8 sequence that starts at `p` (`n` > 0 bytes available) and whose first byte is not
/// ASCII: its length (2-4) when well-formed, 0 when the bytes end inside a sequence that is
/// well-formed so far, or -k for an ill-formed sequence whose maximal subpart is k bytes long.
int Utf8Sequence(const unsigned char* p, std::size_t n);

/// True when all of `text` is well-formed UTF-8.
bool IsValidUtf8(std::string_view text);

}  // namespace lectoria
