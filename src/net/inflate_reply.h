// Decoding of compressed reply bodies (gzip or zlib streams).
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "net/reply_limits.h"

namespace lectoria {

/// A streaming decoder for gzip and zlib data (the header tells which), called the way the
/// reply loop calls it: each call takes some input and fills some output and says how much of
/// each it used.
class GzipDecompressor {
 public:
  GzipDecompressor();
  ~GzipDecompressor();
  GzipDecompressor(const GzipDecompressor&) = delete;
  GzipDecompressor& operator=(const GzipDecompressor&) = delete;

  /// Decodes from `input` into `output`. Returns 0 while there is more to do; non-zero when the
  /// stream has ended, is corrupt, or the call could make no progress at all (no input consumed
  /// and no output written: an empty or truncated stream), so a caller's loop cannot spin.
  int Decompress(const unsigned char* input, std::size_t inputLength, unsigned char* output,
                 std::size_t outputCapacity, std::size_t* consumed, std::size_t* written);

 private:
  struct Stream;
  std::unique_ptr<Stream> stream_;
};

/// Decodes a compressed reply body: input in chunks of at most 8192 bytes, output through an
/// 8192-byte buffer, until the decoder reports the end. An empty, truncated or corrupt body
/// gives what was decoded up to the fault. Output beyond `maxOutput` bytes is a failure and
/// gives empty bytes (a small body can expand enormously).
std::string InflateReply(std::string_view input, std::size_t maxOutput = kMaxReplyBytes);

}  // namespace lectoria
