#include "library/book_encoding.h"

#include <uchardet/uchardet.h>

#include <algorithm>
#include <cstring>

#include "platform/gbk_text.h"
#include "platform/utf8_sequence.h"

namespace lectoria {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeBom = "\xFF\xFE";
constexpr std::string_view kUtf16BeBom = "\xFE\xFF";

// A code point below 0x20 that text does not hold (tab, LF, FF, CR and the old end-of-file
// mark 0x1A are text; NUL is counted apart).
bool IsStrayControl(unsigned value) {
  return value < 0x20 && value != 0 && value != '\t' && value != '\n' && value != '\f' &&
         value != '\r' && value != 0x1A;
}

bool IsGbkTrail(unsigned char c) {
  return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

bool IsDigit(unsigned char c) {
  return c >= 0x30 && c <= 0x39;
}

}  // namespace

std::string CharsetName(const BookEncoding& encoding) {
  switch (encoding.charset) {
    case BookCharset::kGbk:
      return "GBK";
    case BookCharset::kGb18030:
      return "GB18030";
    case BookCharset::kUtf8:
      return encoding.bomBytes ? "UTF-8 (BOM)" : "UTF-8";
    case BookCharset::kUtf16Le:
      return "UTF-16LE";
    case BookCharset::kUtf16Be:
      return "UTF-16BE";
    case BookCharset::kBig5:
      return "Big5";
    case BookCharset::kOther:
      return encoding.iconvName;
  }
  return encoding.iconvName;
}

EncodingSurvey::EncodingSurvey() : detector_(uchardet_new()) {}

EncodingSurvey::~EncodingSurvey() {
  if (detector_) uchardet_delete(static_cast<uchardet_t>(detector_));
}

void EncodingSurvey::Add(std::string_view block) {
  if (block.empty()) return;
  const bool first = bytes_ == 0;
  bytes_ += static_cast<std::int64_t>(block.size());
  if (first) head_ = std::string(block.substr(0, 4));
  const bool utf16 = StartsWith(head_, kUtf16LeBom) || StartsWith(head_, kUtf16BeBom);
  const auto* p = reinterpret_cast<const unsigned char*>(block.data());
  const std::size_t n = block.size();

  if (utf16) {
    // Control characters by code unit; the byte-order mark itself is a unit like any other.
    const bool le = StartsWith(head_, kUtf16LeBom);
    std::string joined = unitCarry_ + std::string(block);
    const std::size_t whole = joined.size() / 2 * 2;
    for (std::size_t i = 0; i < whole; i += 2) {
      const auto a = static_cast<unsigned char>(joined[i]);
      const auto b = static_cast<unsigned char>(joined[i + 1]);
      const unsigned unit = le ? (a | b << 8) : (b | a << 8);
      ++units_;
      if (unit == 0) {
        ++nulRun_;
        continue;
      }
      if (nulRun_ && nulRun_ < kDamageNulRun) unitControls_ += static_cast<std::int64_t>(nulRun_);
      nulRun_ = 0;
      if (IsStrayControl(unit)) ++unitControls_;
    }
    unitCarry_ = joined.substr(whole);
    return;
  }

  if (!nonAscii_) {
    const auto* high = std::find_if(p, p + n, [](unsigned char c) { return c >= 0x80; });
    if (high != p + n) nonAscii_ = true;
  }
  if (nonAscii_ && sampled_ < kDetectorSampleBytes && detector_) {
    // The sample starts at the first non-ASCII byte: a long ASCII preamble tells nothing.
    std::size_t from = 0;
    if (sampled_ == 0) {
      while (from < n && p[from] < 0x80) ++from;
    }
    const std::size_t take = std::min(n - from, kDetectorSampleBytes - sampled_);
    uchardet_handle_data(static_cast<uchardet_t>(detector_), block.data() + from, take);
    sampled_ += take;
  }
  AddControls(p, n);
  if (nonAscii_) {
    // Validation as UTF-8 stops once the verdict cannot change any more in a real book.
    if (utf8Invalid_ < kUtf8SettledInvalid || utf8Invalid_ * kUtf8ValidPerInvalid <= utf8Valid_)
      AddUtf8(p, n);
    AddGbk(p, n);
  }
}

void EncodingSurvey::AddControls(const unsigned char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = p[i];
    if (c >= 0x20) {
      if (nulRun_) {
        if (nulRun_ < kDamageNulRun) controls_ += static_cast<std::int64_t>(nulRun_);
        nulRun_ = 0;
      }
      continue;
    }
    if (c == 0) {
      ++nulRun_;
      continue;
    }
    if (nulRun_) {
      if (nulRun_ < kDamageNulRun) controls_ += static_cast<std::int64_t>(nulRun_);
      nulRun_ = 0;
    }
    if (IsStrayControl(c)) ++controls_;
  }
}

void EncodingSurvey::AddUtf8(const unsigned char* p, std::size_t n) {
  // A sequence cut off by the end of the last block is completed with this block's start.
  std::string joined;
  if (!utf8Carry_.empty()) {
    joined = utf8Carry_;
    joined.append(reinterpret_cast<const char*>(p), n);
    p = reinterpret_cast<const unsigned char*>(joined.data());
    n = joined.size();
    utf8Carry_.clear();
  }
  std::size_t i = 0;
  while (i < n) {
    // ASCII runs are the bulk of many books: step over them eight at a time.
    while (i + 8 <= n) {
      std::uint64_t word;
      std::memcpy(&word, p + i, 8);
      if (word & 0x8080808080808080ULL) break;
      i += 8;
    }
    if (i >= n) break;
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    const int len = Utf8Sequence(p + i, n - i);
    if (len > 0) {
      ++utf8Valid_;
      i += static_cast<std::size_t>(len);
    } else if (len == 0) {
      utf8Carry_.assign(reinterpret_cast<const char*>(p + i), n - i);
      break;
    } else {
      ++utf8Invalid_;
      i += static_cast<std::size_t>(-len);
    }
  }
}

void EncodingSurvey::AddGbk(const unsigned char* p, std::size_t n) {
  std::string joined;
  if (!gbkCarry_.empty()) {
    joined = gbkCarry_;
    joined.append(reinterpret_cast<const char*>(p), n);
    p = reinterpret_cast<const unsigned char*>(joined.data());
    n = joined.size();
    gbkCarry_.clear();
  }
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = p[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    if (c == 0x80 || c == 0xFF) {
      ++gbkInvalid_;
      ++i;
      continue;
    }
    // A lead byte: a pair, or GB18030's four bytes (lead, digit, lead, digit).
    const std::size_t need = i + 1 < n && IsDigit(p[i + 1]) ? 4 : 2;
    if (i + need > n) {
      gbkCarry_.assign(reinterpret_cast<const char*>(p + i), n - i);
      return;
    }
    if (need == 4 && p[i + 2] >= 0x81 && p[i + 2] <= 0xFE && IsDigit(p[i + 3])) {
      ++gb18030Quads_;
      i += 4;
    } else if (need == 2 && IsGbkTrail(p[i + 1])) {
      ++gbkPairs_;
      i += 2;
    } else {
      ++gbkInvalid_;
      ++i;
    }
  }
}

BookEncoding EncodingSurvey::Decide() {
  BookEncoding result;
  if (bytes_ == 0) {
    result.empty = true;
    return result;
  }
  if (StartsWith(head_, kUtf16LeBom) || StartsWith(head_, kUtf16BeBom)) {
    const bool le = StartsWith(head_, kUtf16LeBom);
    result.charset = le ? BookCharset::kUtf16Le : BookCharset::kUtf16Be;
    result.iconvName = le ? "UTF-16LE" : "UTF-16BE";
    result.bomBytes = 2;
    if (nulRun_ && nulRun_ < kDamageNulRun) unitControls_ += static_cast<std::int64_t>(nulRun_);
    result.binary = unitControls_ >= kMinBinaryControls && unitControls_ * 100 > units_;
    return result;
  }
  if (nulRun_ && nulRun_ < kDamageNulRun) controls_ += static_cast<std::int64_t>(nulRun_);
  nulRun_ = 0;
  result.binary = controls_ >= kMinBinaryControls && controls_ * 100 > bytes_;
  if (!utf8Carry_.empty()) ++utf8Invalid_;  // cut off by the end of the book
  if (!gbkCarry_.empty()) ++gbkInvalid_;
  if (StartsWith(head_, kUtf8Bom)) {
    result.charset = BookCharset::kUtf8;
    result.iconvName = "UTF-8";
    result.bomBytes = 3;
    return result;
  }
  if (!nonAscii_) return result;  // ASCII is GBK as it stands
  if (utf8Valid_ > 0 && utf8Invalid_ * kUtf8ValidPerInvalid <= utf8Valid_) {
    result.charset = BookCharset::kUtf8;
    result.iconvName = "UTF-8";
    return result;
  }
  std::string named;
  if (detector_) {
    uchardet_data_end(static_cast<uchardet_t>(detector_));
    named = AsciiLower(uchardet_get_charset(static_cast<uchardet_t>(detector_)));
  }
  if (named == "big5" || named == "euc-tw") {
    result.charset = BookCharset::kBig5;
    result.iconvName = "BIG5";
    return result;
  }
  const bool wellFormedGbk = gbkInvalid_ * kUtf8ValidPerInvalid <= gbkPairs_ + gb18030Quads_;
  if (!wellFormedGbk && !named.empty() && named != "ascii" && named.find("gb") != 0 &&
      named.find("hz") != 0 && named.find("utf") != 0) {
    result.charset = BookCharset::kOther;
    result.iconvName = uchardet_get_charset(static_cast<uchardet_t>(detector_));
    return result;
  }
  if (gb18030Quads_ > 0) {
    result.charset = BookCharset::kGb18030;
    result.iconvName = "GB18030";
  }
  return result;
}

}  // namespace lectoria
