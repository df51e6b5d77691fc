#include "platform/utf8_sequence.h"

namespace lectoria {

int Utf8Sequence(const unsigned char* p, std::size_t n) {
  const unsigned char c = p[0];
  int length;
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
    return -1;
  }
  for (int k = 1; k < length; ++k) {
    if (static_cast<std::size_t>(k) >= n) return 0;
    const unsigned char t = p[k];
    if (k == 1 ? (t < low || t > high) : (t < 0x80 || t > 0xBF)) return -k;
  }
  return length;
}

bool IsValidUtf8(std::string_view text) {
  const auto* p = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  for (std::size_t i = 0; i < n;) {
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    const int length = Utf8Sequence(p + i, n - i);
    if (length <= 0) return false;
    i += static_cast<std::size_t>(length);
  }
  return true;
}

}  // namespace lectoria
