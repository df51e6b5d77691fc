#include "library/book_decoder.h"

#include <iconv.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace lectoria {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);
constexpr std::size_t kIconvError = static_cast<std::size_t>(-1);
constexpr std::size_t kWideBlock = 64 * 1024;

iconv_t Open(void* cd) {
  return static_cast<iconv_t>(cd);
}

// Bytes one "?" stands for at an invalid sequence: Unicode's maximal subpart for UTF-8, one
// code unit for UTF-16, a lead byte with a byte of the trail range for the double-byte sets.
std::size_t InvalidLength(const unsigned char* p, std::size_t left, BookCharset charset) {
  if (charset == BookCharset::kUtf16Le || charset == BookCharset::kUtf16Be)
    return std::min<std::size_t>(2, left);
  if (charset == BookCharset::kUtf8) {
    const unsigned char c = p[0];
    std::size_t trailing = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      trailing = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      trailing = 2;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      trailing = 3;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return 1;
    }
    std::size_t n = 1;
    while (n <= trailing && n < left) {
      const unsigned char b = p[n];
      if (b < (n == 1 ? low : 0x80) || b > (n == 1 ? high : 0xBF)) break;
      ++n;
    }
    return n;
  }
  if (left >= 2 && p[0] >= 0x81 && p[0] <= 0xFE && p[1] >= 0x40 && p[1] != 0x7F && p[1] != 0xFF)
    return 2;
  return 1;
}

}  // namespace

BookDecoder::BookDecoder(const BookEncoding& encoding)
    : encoding_(encoding),
      bomLeft_(encoding.bomBytes),
      passthrough_(encoding.charset == BookCharset::kGbk) {
  if (passthrough_) return;
  iconv_t dec = iconv_open("WCHAR_T", encoding.iconvName.c_str());
  iconv_t enc = iconv_open("GBK", "WCHAR_T");
  if (dec == kNoConverter || enc == kNoConverter) {
    // A character set iconv does not know: the bytes are taken as GBK.
    if (dec != kNoConverter) iconv_close(dec);
    if (enc != kNoConverter) iconv_close(enc);
    passthrough_ = true;
    return;
  }
  decoder_ = dec;
  encoder_ = enc;
  wide_.resize(kWideBlock + 1);
}

BookDecoder::~BookDecoder() {
  if (decoder_) iconv_close(Open(decoder_));
  if (encoder_) iconv_close(Open(encoder_));
}

std::string_view BookDecoder::Decode(std::string_view block, bool last) {
  if (bomLeft_ > 0) {
    const std::size_t skip = std::min(bomLeft_, block.size());
    block.remove_prefix(skip);
    bomLeft_ -= skip;
  }
  if (passthrough_) return WithoutNuls(block);
  std::string_view input = block;
  if (!carry_.empty()) {
    joined_.assign(carry_);
    joined_.append(block);
    carry_.clear();
    input = joined_;
  }
  out_.clear();
  Convert(input, last);
  return WithoutNuls(out_);
}

void BookDecoder::Convert(std::string_view input, bool last) {
  char* in = const_cast<char*>(input.data());  // iconv's interface is not const-correct
  std::size_t inLeft = input.size();
  // One spare wide slot takes the "?" for a fault found when the block is full.
  while (inLeft > 0) {
    char* out = reinterpret_cast<char*>(wide_.data());
    std::size_t outLeft = kWideBlock * sizeof(wchar_t);
    bool stop = false;
    while (inLeft > 0) {
      const std::size_t rc = iconv(Open(decoder_), &in, &inLeft, &out, &outLeft);
      if (rc != kIconvError || errno == E2BIG) break;
      if (errno == EINVAL && !last) {  // cut off by the block's end: wait for the next block
        carry_.assign(in, inLeft);
        inLeft = 0;
        stop = true;
        break;
      }
      if (errno != EILSEQ && errno != EINVAL) {  // cannot happen; never loop
        inLeft = 0;
        break;
      }
      const std::size_t skip = std::min(
          InvalidLength(reinterpret_cast<const unsigned char*>(in), inLeft, encoding_.charset),
          inLeft);
      in += skip;
      inLeft -= skip;
      const wchar_t question = L'?';
      std::memcpy(out, &question, sizeof question);
      out += sizeof question;
      if (outLeft < sizeof question) break;  // took the spare slot: encode first
      outLeft -= sizeof question;
    }
    EncodeWide(static_cast<std::size_t>(out - reinterpret_cast<char*>(wide_.data())) /
               sizeof(wchar_t));
    if (stop) break;
  }
}

void BookDecoder::EncodeWide(std::size_t count) {
  char* in = reinterpret_cast<char*>(wide_.data());
  std::size_t inLeft = count * sizeof(wchar_t);
  while (inLeft > 0) {
    const std::size_t used = out_.size();
    out_.resize(used + inLeft / 2 + 16);  // GBK takes at most two bytes per character
    char* out = out_.data() + used;
    std::size_t outLeft = out_.size() - used;
    const std::size_t rc = iconv(Open(encoder_), &in, &inLeft, &out, &outLeft);
    out_.resize(static_cast<std::size_t>(out - out_.data()));
    if (rc != kIconvError || errno == E2BIG) continue;
    if (errno != EILSEQ) return;
    // A character GBK cannot hold.
    in += sizeof(wchar_t);
    inLeft -= sizeof(wchar_t);
    out_ += '?';
  }
}

std::string_view BookDecoder::WithoutNuls(std::string_view text) {
  // Neither byte can be the second byte of a GBK character, so they are removed bytewise.
  const auto bad = [](char c) { return c == '\0' || c == '\x1A'; };
  if (!std::memchr(text.data(), 0, text.size()) && !std::memchr(text.data(), 0x1A, text.size()))
    return text;
  clean_.clear();
  std::copy_if(text.begin(), text.end(), std::back_inserter(clean_),
               [&](char c) { return !bad(c); });
  return clean_;
}

}  // namespace lectoria
