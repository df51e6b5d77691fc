#include "platform/codepage.h"

#include <iconv.h>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/gbk_text.h"

namespace lectoria {
namespace {

constexpr std::size_t kIconvError = static_cast<std::size_t>(-1);

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

// What we know of a source charset's byte structure, to skip a bad sequence sensibly.
enum class SourceKind { kUtf8, kGbk, kUnits2, kUnits4, kOther };

SourceKind KindOf(const char* charset) {
  const std::string_view name(charset);
  auto startsWith = [name](std::string_view prefix) {
    return EqualsIgnoreCase(name.substr(0, prefix.size()), prefix);
  };
  for (const char* utf8 : {"UTF-8", "UTF8"})
    if (EqualsIgnoreCase(name, utf8)) return SourceKind::kUtf8;
  for (const char* gbk : {"GBK", "CP936", "MS936", "WINDOWS-936"})
    if (EqualsIgnoreCase(name, gbk)) return SourceKind::kGbk;
  for (const char* units2 : {"UTF-16", "UTF16", "UCS-2", "UCS2", "UNICODE"})
    if (startsWith(units2)) return SourceKind::kUnits2;
  for (const char* units4 : {"UTF-32", "UTF32", "UCS-4", "UCS4"})
    if (startsWith(units4)) return SourceKind::kUnits4;
  return SourceKind::kOther;
}

// Length of the maximal subpart of the ill-formed UTF-8 sequence at `p`: a lead byte and the
// trailing bytes that still fit it, or one byte when nothing fits (Unicode's recommendation for
// how many bytes one replacement character stands for).
std::size_t Utf8MaximalSubpart(const unsigned char* p, std::size_t left) {
  const unsigned char lead = p[0];
  std::size_t trailing = 0;
  unsigned char low = 0x80, high = 0xBF;  // allowed range of the first trailing byte
  if (lead >= 0xC2 && lead <= 0xDF) {
    trailing = 1;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    trailing = 2;
    if (lead == 0xE0) low = 0xA0;   // overlong forms
    if (lead == 0xED) high = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    trailing = 3;
    if (lead == 0xF0) low = 0x90;   // overlong forms
    if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
  } else {
    return 1;  // a stray continuation byte, C0, C1 or F5..FF
  }
  std::size_t n = 1;
  while (n <= trailing && n < left) {
    const unsigned char b = p[n];
    if (b < (n == 1 ? low : 0x80) || b > (n == 1 ? high : 0xBF)) break;
    ++n;
  }
  return n;
}

// Bytes to skip for the ill-formed sequence at `p` (at least 1).
std::size_t InvalidSequenceLength(const unsigned char* p, std::size_t left, SourceKind kind) {
  switch (kind) {
    case SourceKind::kUtf8:
      return Utf8MaximalSubpart(p, left);
    case SourceKind::kGbk: {
      // A lead byte and a byte of the trail range form one (unassigned) character, as in
      // code page 936; a lead byte before anything else spoils only itself.
      if (left >= 2 && IsGbkLeadByte(p[0]) && p[1] >= 0x40 && p[1] != 0x7F && p[1] != 0xFF)
        return 2;
      return 1;
    }
    case SourceKind::kUnits2:  // keep to the code units, or all that follows is garbled
      return 2;
    case SourceKind::kUnits4:
      return 4;
    case SourceKind::kOther:
      break;
  }
  return 1;
}

// Output buffer that iconv writes into directly; grows by doubling.
class OutputBuffer {
 public:
  explicit OutputBuffer(std::size_t initial) { data_.resize(std::max<std::size_t>(initial, 64)); }
  char* next() { return data_.data() + used_; }
  std::size_t room() const { return data_.size() - used_; }
  void Commit(char* end) { used_ = static_cast<std::size_t>(end - data_.data()); }
  void Grow(std::size_t atLeast) { data_.resize(std::max(data_.size() * 2, used_ + atLeast)); }
  void Reserve(std::size_t bytes) {
    if (room() < bytes) Grow(bytes);
  }
  std::string Take() {
    data_.resize(used_);
    return std::move(data_);
  }

 private:
  std::string data_;
  std::size_t used_ = 0;
};

// Stage two: wide characters to the target charset, appended to `output`. A character the
// target cannot hold becomes "?", written through the same converter so that it comes out in
// the target's encoding (one UTF-16 unit, no second byte-order mark, ...).
void EncodeWide(iconv_t encoder, const wchar_t* wide, std::size_t count, OutputBuffer& output) {
  char* in = reinterpret_cast<char*>(const_cast<wchar_t*>(wide));
  std::size_t inLeft = count * sizeof(wchar_t);
  while (inLeft > 0) {
    char* out = output.next();
    std::size_t outLeft = output.room();
    const std::size_t rc = iconv(encoder, &in, &inLeft, &out, &outLeft);
    output.Commit(out);
    if (rc != kIconvError) return;
    if (errno == E2BIG) {
      output.Grow(16);
      continue;
    }
    if (errno != EILSEQ) return;  // cannot happen with whole wide characters; never loop
    in += sizeof(wchar_t);
    inLeft -= sizeof(wchar_t);
    wchar_t question = L'?';
    char* qIn = reinterpret_cast<char*>(&question);
    std::size_t qLeft = sizeof question;
    output.Reserve(16);
    out = output.next();
    outLeft = output.room();
    iconv(encoder, &qIn, &qLeft, &out, &outLeft);  // a target without "?" gets nothing
    output.Commit(out);
  }
}

}  // namespace

// The conversion runs in two stages through glibc's wide characters (UCS-4, glibc's internal
// form): source -> wchar_t in blocks, then wchar_t -> target. Each stage is then a single
// iconv step, which reports a fault at once; a direct source -> target conversion is two steps
// inside glibc, and there each unmappable character costs a re-conversion of the pending block
// (about 40 us each, 15 s for a 20 MB book with one emoji per line). The stages also tell the
// two kinds of fault apart: stage one only fails on invalid input, stage two only on
// characters the target lacks.
std::string ConvertEncoding(std::string_view input, const char* from, const char* to) {
  static_assert(sizeof(wchar_t) == 4, "glibc's WCHAR_T is UCS-4");
  const SourceKind kind = KindOf(from);
  if (kind == SourceKind::kUtf8 && StartsWith(input, "\xEF\xBB\xBF")) input.remove_prefix(3);
  if (input.empty()) return {};
  IconvHandle decoder("WCHAR_T", from);
  IconvHandle encoder(to, "WCHAR_T");
  if (!decoder.valid() || !encoder.valid()) return {};

  OutputBuffer output(input.size() + 16);
  // A wide character takes at least one input byte in the usual charsets, so a short input
  // needs a short block. One spare slot takes a "?" for a fault found when the block is full.
  std::size_t block = std::min<std::size_t>(16384, input.size());
  std::vector<wchar_t> wide(block + 1);

  char* in = const_cast<char*>(input.data());  // iconv's interface is not const-correct
  std::size_t inLeft = input.size();
  while (inLeft > 0) {
    char* out = reinterpret_cast<char*>(wide.data());
    std::size_t outLeft = block * sizeof(wchar_t);  // the spare slot is not offered
    while (inLeft > 0) {
      const std::size_t rc = iconv(decoder.get(), &in, &inLeft, &out, &outLeft);
      if (rc != kIconvError || errno == E2BIG) break;  // all read, or the block is full
      if (errno != EILSEQ && errno != EINVAL) {        // cannot happen; never loop
        inLeft = 0;
        break;
      }
      // EILSEQ: bytes that are no character of the source; EINVAL: a sequence cut off at the
      // end. Either way one "?" stands for them and the rest is converted.
      const std::size_t skip = std::min(
          InvalidSequenceLength(reinterpret_cast<const unsigned char*>(in), inLeft, kind), inLeft);
      in += skip;
      inLeft -= skip;
      const wchar_t question = L'?';
      std::memcpy(out, &question, sizeof question);  // fits: the spare slot is always free
      out += sizeof question;
      if (outLeft >= sizeof question) {
        outLeft -= sizeof question;
      } else {
        break;  // the "?" took the spare slot: convert this block first
      }
    }
    const std::size_t count =
        static_cast<std::size_t>(out - reinterpret_cast<char*>(wide.data())) / sizeof(wchar_t);
    EncodeWide(encoder.get(), wide.data(), count, output);
    if (count == 0 && inLeft > 0) {  // one byte gave several characters: make room
      block *= 2;
      wide.resize(block + 1);
    }
  }

  // Let a stateful target return to its initial shift state.
  output.Reserve(16);
  char* out = output.next();
  std::size_t outLeft = output.room();
  iconv(encoder.get(), nullptr, nullptr, &out, &outLeft);
  output.Commit(out);
  return output.Take();
}

std::string Utf8ToGbk(std::string_view utf8) {
  return ConvertEncoding(utf8, "UTF-8", "GBK");
}

std::string GbkToUtf8(std::string_view gbk) {
  return ConvertEncoding(gbk, "GBK", "UTF-8");
}

}  // namespace lectoria
