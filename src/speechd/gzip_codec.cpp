#include "speechd/gzip_codec.h"

#include <zlib.h>

#include <cstdlib>

namespace lectoria::speechd {

std::string GzipCompress(std::string_view data) {
  z_stream stream{};
  // 15 window bits + 16 selects the gzip wrapper instead of zlib's.
  if (deflateInit2(&stream, Z_DEFAULT_COMPRESSION, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) !=
      Z_OK) {
    return {};
  }
  std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  stream.next_out = reinterpret_cast<Bytef*>(out.data());
  stream.avail_out = static_cast<uInt>(out.size());
  const int status = deflate(&stream, Z_FINISH);
  const std::size_t produced = stream.total_out;
  deflateEnd(&stream);
  if (status != Z_STREAM_END) return {};
  out.resize(produced);
  return out;
}

bool AcceptsGzip(std::string_view acceptEncoding) {
  bool gzip = false;
  bool wildcard = false;
  bool gzipRefused = false;
  while (!acceptEncoding.empty()) {
    const std::size_t comma = acceptEncoding.find(',');
    std::string_view item = acceptEncoding.substr(0, comma);
    acceptEncoding =
        comma == std::string_view::npos ? std::string_view() : acceptEncoding.substr(comma + 1);

    const std::size_t semicolon = item.find(';');
    std::string_view coding = item.substr(0, semicolon);
    while (!coding.empty() && (coding.front() == ' ' || coding.front() == '\t'))
      coding.remove_prefix(1);
    while (!coding.empty() && (coding.back() == ' ' || coding.back() == '\t'))
      coding.remove_suffix(1);
    double quality = 1.0;
    if (semicolon != std::string_view::npos) {
      std::string parameter(item.substr(semicolon + 1));
      const std::size_t q = parameter.find("q=");
      if (q != std::string::npos) quality = std::strtod(parameter.c_str() + q + 2, nullptr);
    }
    std::string lower(coding);
    for (char& c : lower) c = (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower == "gzip" || lower == "x-gzip") {
      if (quality > 0)
        gzip = true;
      else
        gzipRefused = true;
    } else if (lower == "*" && quality > 0) {
      wildcard = true;
    }
  }
  return gzip || (wildcard && !gzipRefused);
}

}  // namespace lectoria::speechd
