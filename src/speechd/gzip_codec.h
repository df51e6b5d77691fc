// gzip compression of reply bodies (zlib).
#pragma once

#include <string>
#include <string_view>

namespace lectoria::speechd {

/// `data` as one gzip member (RFC 1952). Returns empty bytes when zlib fails.
std::string GzipCompress(std::string_view data);

/// Whether an Accept-Encoding value allows a gzip reply: it names "gzip" (or "*") without
/// "q=0".
bool AcceptsGzip(std::string_view acceptEncoding);

}  // namespace lectoria::speechd
