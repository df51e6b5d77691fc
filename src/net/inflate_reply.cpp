#include "net/inflate_reply.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>

namespace lectoria {
namespace {

constexpr std::size_t kChunkBytes = 8192;

// windowBits 15 with 32 added: zlib recognises a gzip or a zlib header by itself.
constexpr int kAutoDetectWindowBits = 15 + 32;

}  // namespace

struct GzipDecompressor::Stream {
  z_stream z{};
  bool ready = false;
};

GzipDecompressor::GzipDecompressor() : stream_(std::make_unique<Stream>()) {
  stream_->ready = inflateInit2(&stream_->z, kAutoDetectWindowBits) == Z_OK;
}

GzipDecompressor::~GzipDecompressor() {
  if (stream_->ready) inflateEnd(&stream_->z);
}

int GzipDecompressor::Decompress(const unsigned char* input, std::size_t inputLength,
                                 unsigned char* output, std::size_t outputCapacity,
                                 std::size_t* consumed, std::size_t* written) {
  *consumed = 0;
  *written = 0;
  if (!stream_->ready) return Z_STREAM_ERROR;
  z_stream& z = stream_->z;
  const uInt inLength = static_cast<uInt>(std::min<std::size_t>(inputLength, UINT_MAX));
  const uInt outLength = static_cast<uInt>(std::min<std::size_t>(outputCapacity, UINT_MAX));
  z.next_in = const_cast<Bytef*>(input);  // zlib's API is not const-correct; it only reads
  z.avail_in = inLength;
  z.next_out = output;
  z.avail_out = outLength;
  const int rc = inflate(&z, Z_NO_FLUSH);
  *consumed = inLength - z.avail_in;
  *written = outLength - z.avail_out;
  if (rc == Z_OK) return (*consumed == 0 && *written == 0) ? Z_BUF_ERROR : 0;
  // Z_STREAM_END (done), Z_BUF_ERROR (no progress possible: the input ran out), Z_NEED_DICT or
  // an error: all non-zero, all ending the caller's loop.
  return rc;
}

std::string InflateReply(std::string_view input, std::size_t maxOutput) {
  std::array<unsigned char, kChunkBytes> buffer{};
  std::string result;
  GzipDecompressor decompressor;
  const auto* bytes = reinterpret_cast<const unsigned char*>(input.data());
  std::size_t position = 0;
  int rc = 0;
  do {
    const std::size_t chunk = std::min(kChunkBytes, input.size() - position);
    std::size_t consumed = 0;
    std::size_t written = 0;
    rc = decompressor.Decompress(bytes + position, chunk, buffer.data(), buffer.size(), &consumed,
                                 &written);
    if (written > maxOutput - result.size()) return {};
    result.append(reinterpret_cast<const char*>(buffer.data()), written);
    position += consumed;
  } while (rc == 0);
  return result;
}

}  // namespace lectoria
