// Dividing a book's GBK text into lines, block by block.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lectoria {

/// A piece of a line: the whole line, or for a line longer than kMaxLineFragment, one of the
/// pieces it is delivered in (so no line is ever held whole in memory).
struct LineFragment {
  std::string_view text;  ///< GBK, without the line end
  std::int64_t chars;     ///< characters in `text` (a double-byte character counts 1)
  bool first;             ///< starts the line
  bool last;              ///< ends the line
};

/// Splits GBK text fed in blocks into lines. A line ends at a LF; a CR right before it is
/// dropped; a GBK lead byte (81-FE) always takes the next byte along, so a malformed trail byte
/// is never taken for a line end. The text after the last LF is a line when it is not empty.
class LineSplitter {
 public:
  static constexpr std::size_t kMaxLineFragment = 1 << 20;

  /// Feeds the next block; `onLine(const LineFragment&)` is called for each piece of a line
  /// completed so far. With `last`, the rest is delivered as the final line.
  template <typename OnLine>
  void Feed(std::string_view text, bool last, OnLine&& onLine);

 private:
  template <typename OnLine>
  void Emit(std::string_view text, std::int64_t chars, bool ends, OnLine& onLine);

  std::string partial_;          // the start of a line the last block ended in
  std::int64_t partialChars_ = 0;
  bool started_ = false;         // a piece of the current line has been delivered
  bool trailPending_ = false;    // the last block ended right after a lead byte
};

template <typename OnLine>
void LineSplitter::Emit(std::string_view text, std::int64_t chars, bool ends, OnLine& onLine) {
  onLine(LineFragment{text, chars, !started_, ends});
  started_ = !ends;
}

template <typename OnLine>
void LineSplitter::Feed(std::string_view text, bool last, OnLine&& onLine) {
  const auto* b = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t start = 0;
  std::size_t i = 0;
  std::int64_t pairs = 0;  // double-byte characters since `start`
  if (trailPending_ && n > 0) {
    trailPending_ = false;
    i = 1;  // the trail byte of a character counted with its lead byte
  }
  while (i < n) {
    const unsigned char c = b[i];
    if (c >= 0x81 && c <= 0xFE) {
      ++pairs;
      if (i + 1 < n) {
        i += 2;
        continue;
      }
      trailPending_ = true;
      i = n;
      break;
    }
    if (c == '\n') {
      std::string_view line = text.substr(start, i - start);
      std::int64_t chars = static_cast<std::int64_t>(line.size()) - pairs;
      if (!partial_.empty()) {
        partial_.append(line);
        chars += partialChars_;
        if (partial_.back() == '\r') {
          partial_.pop_back();
          --chars;
        }
        Emit(partial_, chars, true, onLine);
        partial_.clear();
        partialChars_ = 0;
      } else {
        if (!line.empty() && line.back() == '\r') {
          line.remove_suffix(1);
          --chars;
        }
        Emit(line, chars, true, onLine);
      }
      start = i + 1;
      pairs = 0;
    }
    ++i;
  }
  const std::string_view rest = text.substr(start);
  partial_.append(rest);
  partialChars_ += static_cast<std::int64_t>(rest.size()) - pairs;
  if (last) {
    trailPending_ = false;
    if (!partial_.empty() || started_) Emit(partial_, partialChars_, true, onLine);
    partial_.clear();
    partialChars_ = 0;
    return;
  }
  if (partial_.size() > kMaxLineFragment) {
    // Deliver all but a final CR (which may yet precede a LF) and a lead byte waiting for
    // its trail byte.
    std::size_t keep = 0;
    if (trailPending_) keep = 1;
    if (!trailPending_ && partial_.back() == '\r') keep = 1;
    const std::string_view piece(partial_.data(), partial_.size() - keep);
    // A kept lead byte counts nothing until its trail byte; a kept CR is one character.
    const std::int64_t keptChars = keep && !trailPending_ ? 1 : 0;
    Emit(piece, partialChars_ - keptChars, false, onLine);
    partial_.erase(0, piece.size());
    partialChars_ = keptChars;
  }
}

}  // namespace lectoria
