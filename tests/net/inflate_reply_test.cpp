#include "net/inflate_reply.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

namespace lectoria {
namespace {

enum class Format { kGzip, kZlib };

std::string Compress(const std::string& data, Format format) {
  z_stream z{};
  const int windowBits = format == Format::kGzip ? 15 + 16 : 15;
  EXPECT_EQ(deflateInit2(&z, Z_BEST_COMPRESSION, Z_DEFLATED, windowBits, 8, Z_DEFAULT_STRATEGY),
            Z_OK);
  std::string out(deflateBound(&z, data.size()), '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  z.avail_in = static_cast<uInt>(data.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  EXPECT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

std::string RandomBytes(std::size_t n, unsigned seed) {
  std::mt19937 rng(seed);
  std::string s(n, '\0');
  for (char& c : s) c = static_cast<char>(rng());
  return s;
}

// Text that compresses well: one small chunk of input inflates to many output buffers.
std::string Repetitive(std::size_t n) {
  std::string s;
  while (s.size() < n) s += "{\"paragraphIndex\":0,\"charLenghtOfPlainText\":12},";
  s.resize(n);
  return s;
}

TEST(InflateReply, RoundTripsAcrossChunkSizes) {
  for (std::size_t size : {0u, 1u, 8191u, 8192u, 8193u, 300'000u}) {
    for (const std::string& data : {RandomBytes(size, 7), Repetitive(size)}) {
      for (Format format : {Format::kGzip, Format::kZlib}) {
        const std::string packed = Compress(data, format);
        EXPECT_TRUE(InflateReply(packed) == data)
            << size << " bytes, " << (format == Format::kGzip ? "gzip" : "zlib");
      }
    }
  }
}

TEST(InflateReply, OneChunkInflatingToManyBuffers) {
  const std::string data = Repetitive(1'000'000);
  const std::string packed = Compress(data, Format::kGzip);
  ASSERT_LT(packed.size(), 8192u);  // a single input chunk
  EXPECT_TRUE(InflateReply(packed) == data);
}

TEST(InflateReply, TruncatedInputGivesWhatWasDecoded) {
  const std::string data = RandomBytes(50'000, 3);
  const std::string packed = Compress(data, Format::kGzip);
  for (std::size_t keep :
       {std::size_t{0}, std::size_t{5}, std::size_t{11}, packed.size() / 2, packed.size() - 1}) {
    const std::string out = InflateReply(packed.substr(0, keep));
    EXPECT_LE(out.size(), data.size()) << keep;
    EXPECT_TRUE(data.compare(0, out.size(), out) == 0) << keep;
  }
}

TEST(InflateReply, GarbageAndPlainTextGiveNothing) {
  EXPECT_EQ(InflateReply(""), "");
  EXPECT_EQ(InflateReply("{\"plain\":\"json\"}"), "");
  EXPECT_EQ(InflateReply(RandomBytes(20'000, 11)), "");
}

TEST(InflateReply, CorruptStreamEndsTheLoop) {
  const std::string data = Repetitive(200'000);
  for (Format format : {Format::kGzip, Format::kZlib}) {
    std::string packed = Compress(data, format);
    for (std::size_t i = packed.size() / 2; i < packed.size(); ++i) packed[i] = '\xFF';
    const std::string out = InflateReply(packed);
    EXPECT_LT(out.size(), data.size());
    EXPECT_TRUE(data.compare(0, out.size(), out) == 0);  // what came before the fault is good
  }
}

TEST(InflateReply, TrailingBytesAfterTheStreamAreIgnored) {
  const std::string data = Repetitive(20'000);
  EXPECT_TRUE(InflateReply(Compress(data, Format::kGzip) + "trailing junk") == data);
}

TEST(InflateReply, OutputOverTheLimitIsAFailure) {
  const std::string data = Repetitive(100'000);
  const std::string packed = Compress(data, Format::kGzip);
  EXPECT_TRUE(InflateReply(packed, 100'000) == data);
  EXPECT_EQ(InflateReply(packed, 99'999), "");
}

TEST(GzipDecompressor, CallWithoutProgressEndsTheLoop) {
  GzipDecompressor decompressor;
  unsigned char out[16];
  std::size_t consumed = 99;
  std::size_t written = 99;
  EXPECT_NE(decompressor.Decompress(nullptr, 0, out, sizeof out, &consumed, &written), 0);
  EXPECT_EQ(consumed, 0u);
  EXPECT_EQ(written, 0u);
}

}  // namespace
}  // namespace lectoria
