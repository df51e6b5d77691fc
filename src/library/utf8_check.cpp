#include "library/utf8_check.h"

#include <algorithm>

namespace lectoria {
namespace {

bool IsContinuation(unsigned char c) {
  return c >= 0x80 && c <= 0xBF;
}

// The continuation bytes at `p + 1` .. `p + count` all lie in 80-BF; bytes past the end do not.
bool ContinuationsFollow(std::string_view data, std::size_t p, std::size_t count) {
  if (data.size() - p - 1 < count) return false;
  for (std::size_t i = 1; i <= count; ++i) {
    if (!IsContinuation(static_cast<unsigned char>(data[p + i]))) return false;
  }
  return true;
}

}  // namespace

bool IsUtf8Prefix(std::string_view data) {
  const auto* s = reinterpret_cast<const unsigned char*>(data.data());
  const std::size_t n = data.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    // The allowed range of the second byte narrows for E0, ED, F0 and F4 (no overlong forms,
    // no surrogates, nothing above U+10FFFF).
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    for (std::size_t k = 1; k < length; ++k) {
      if (i + k >= n) return true;  // cut off at the end: fine so far
      const unsigned char t = s[i + k];
      if (k == 1 ? (t < low || t > high) : !IsContinuation(t)) return false;
    }
    i += length;
  }
  return true;
}

bool IsUtf8Text(std::string_view data) {
  const auto first = std::find_if(data.begin(), data.end(),
                                  [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
  if (first == data.end()) return false;
  const std::size_t p = static_cast<std::size_t>(first - data.begin());
  const unsigned char b = static_cast<unsigned char>(data[p]);

  bool firstSequenceOk;
  if (b >= 0xC0 && b <= 0xDF) {
    firstSequenceOk = ContinuationsFollow(data, p, 1);
  } else if (b >= 0xE0 && b <= 0xEF) {
    firstSequenceOk = ContinuationsFollow(data, p, 2);
  } else if (b >= 0xF0 && b <= 0xF7) {
    firstSequenceOk = ContinuationsFollow(data, p, 3);
  } else {
    firstSequenceOk = false;  // a stray continuation byte, or F8-FF
  }
  if (!firstSequenceOk) return false;
  return IsUtf8Prefix(data.substr(p, kUtf8CheckWindow));
}

}  // namespace lectoria
