#include "reader/chapter_lines.h"

#include "platform/gbk_text.h"

namespace lectoria {

ChapterLines::ChapterLines(std::string text) : text_(std::move(text)) {
  const std::size_t size = text_.size();
  std::size_t start = 0;
  std::size_t pos = 0;
  // Walk character by character, as SplitText does: a lead byte followed by CR forms one
  // (malformed) double-byte character, so that CR does not end the line.
  while (pos < size) {
    const auto c = static_cast<unsigned char>(text_[pos]);
    if (c == '\r' && pos + 1 < size && text_[pos + 1] == '\n') {
      lines_.push_back({start, pos});
      pos += 2;
      start = pos;
    } else if (IsGbkLeadByte(c) && pos + 1 < size) {
      pos += 2;
    } else {
      pos += 1;
    }
  }
  if (start < size) lines_.push_back({start, size});
}

}  // namespace lectoria
