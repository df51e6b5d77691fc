#include "reader/line_filter.h"

namespace lectoria {
namespace {

bool IsHanziPair(unsigned char first, unsigned char second) {
  return first >= 0xB0 && first <= 0xF7 && second >= 0xA1 && second <= 0xFE;
}

// Walks the text as the filter reads it and calls `onHanzi(pos)` for every hanzi pair; stops
// early when the callback returns false.
template <typename OnHanzi>
void ScanHanzi(std::string_view text, OnHanzi onHanzi) {
  std::size_t p = 0;
  while (p + 1 < text.size()) {
    const auto first = static_cast<unsigned char>(text[p]);
    const auto second = static_cast<unsigned char>(text[p + 1]);
    if (IsHanziPair(first, second)) {
      if (!onHanzi(p)) return;
      p += 2;
    } else if (first >= 0x80 && second >= 0x80) {
      p += 2;
    } else {
      p += 1;
    }
  }
}

}  // namespace

std::string ExtractHanzi(std::string_view text) {
  std::string result;
  ScanHanzi(text, [&](std::size_t p) {
    result.append(text.substr(p, 2));
    return true;
  });
  return result;
}

bool HasHanzi(std::string_view text) {
  bool found = false;
  ScanHanzi(text, [&](std::size_t) {
    found = true;
    return false;
  });
  return found;
}

bool IsUsableLine(std::string_view trimmed, bool skipNonChinese) {
  if (trimmed.size() < 3) return false;
  return !skipNonChinese || HasHanzi(trimmed);
}

std::string_view TrimSpacesView(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && text[begin] == ' ') ++begin;
  while (end > begin && text[end - 1] == ' ') --end;
  return text.substr(begin, end - begin);
}

}  // namespace lectoria
