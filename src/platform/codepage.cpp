#include "platform/codepage.h"

#include <cerrno>
#include <iconv.h>

namespace lectoria {
namespace {

// Owns one iconv descriptor for the duration of a conversion.
class IconvHandle {
 public:
  IconvHandle(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
  ~IconvHandle() {
    if (valid()) iconv_close(cd_);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;
  bool valid() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
  iconv_t get() const { return cd_; }

 private:
  iconv_t cd_;
};

// Length of the invalid or incomplete sequence at `p` to skip: one byte, or a whole UTF-8
// sequence's worth of continuation bytes so one bad character yields one "?".
std::size_t InvalidSequenceLength(const char* p, std::size_t left, bool utf8Input) {
  if (!utf8Input) return 1;
  std::size_t n = 1;
  while (n < left && n < 4 && (static_cast<unsigned char>(p[n]) & 0xC0) == 0x80) ++n;
  return n;
}

bool IsUtf8Name(const char* name) {
  std::string_view n(name);
  return n == "UTF-8" || n == "utf-8" || n == "UTF8" || n == "utf8";
}

}  // namespace

std::string ConvertEncoding(std::string_view input, const char* from, const char* to) {
  if (input.empty()) return {};
  IconvHandle decoder("UTF-32LE", from);
  IconvHandle encoder(to, "UTF-32LE");
  if (!decoder.valid() || !encoder.valid()) return {};
  const bool utf8Input = IsUtf8Name(from);

  // Decode to code points first so that unmappable characters can be replaced one by one.
  std::u32string points;
  points.reserve(input.size());
  {
    char* in = const_cast<char*>(input.data());
    std::size_t inLeft = input.size();
    char buffer[4096];
    while (inLeft > 0) {
      char* out = buffer;
      std::size_t outLeft = sizeof buffer;
      const std::size_t rc = iconv(decoder.get(), &in, &inLeft, &out, &outLeft);
      const std::size_t produced = (sizeof buffer - outLeft) / 4;
      for (std::size_t i = 0; i < produced; ++i) {
        const unsigned char* b = reinterpret_cast<unsigned char*>(buffer + i * 4);
        points.push_back(static_cast<char32_t>(b[0] | (b[1] << 8) | (b[2] << 16) |
                                               (static_cast<unsigned>(b[3]) << 24)));
      }
      if (rc == static_cast<std::size_t>(-1)) {
        if (errno == E2BIG) continue;
        // EILSEQ or EINVAL: replace the bad sequence and go on with the rest.
        points.push_back(U'?');
        const std::size_t skip = InvalidSequenceLength(in, inLeft, utf8Input);
        in += skip;
        inLeft -= skip;
        iconv(decoder.get(), nullptr, nullptr, nullptr, nullptr);
      }
    }
  }

  std::string result;
  result.reserve(input.size() + 16);
  char* in = reinterpret_cast<char*>(points.data());
  std::size_t inLeft = points.size() * sizeof(char32_t);
  char buffer[8192];
  while (inLeft > 0) {
    char* out = buffer;
    std::size_t outLeft = sizeof buffer;
    const std::size_t rc = iconv(encoder.get(), &in, &inLeft, &out, &outLeft);
    result.append(buffer, sizeof buffer - outLeft);
    if (rc == static_cast<std::size_t>(-1) && errno != E2BIG) {
      // A character the target cannot hold (or a stray surrogate): "?" and go on.
      result.push_back('?');
      in += sizeof(char32_t);
      inLeft -= sizeof(char32_t);
      iconv(encoder.get(), nullptr, nullptr, nullptr, nullptr);
    }
  }
  return result;
}

std::string Utf8ToGbk(std::string_view utf8) {
  if (utf8.size() >= 3 && utf8.substr(0, 3) == "\xEF\xBB\xBF") utf8.remove_prefix(3);
  return ConvertEncoding(utf8, "UTF-8", "GBK");
}

std::string GbkToUtf8(std::string_view gbk) { return ConvertEncoding(gbk, "GBK", "UTF-8"); }

}  // namespace lectoria
