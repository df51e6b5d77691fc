// A chapter's text divided into lines, kept in memory while the queue loader reads it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lectoria {

/// The lines of a chapter text: its parts when split at every CR LF, exactly as
/// SplitText(text, "\r\n") gives them (a CR LF is only found on a character boundary, an empty
/// part after a final CR LF does not count, an empty text has no lines). The text is held once;
/// lines are views into it.
class ChapterLines {
 public:
  ChapterLines() = default;
  explicit ChapterLines(std::string text);

  std::size_t Count() const { return lines_.size(); }

  /// Line j, 1-based, 1 ≤ j ≤ Count().
  std::string_view Line(std::size_t j) const {
    const Span& s = lines_[j - 1];
    return std::string_view(text_).substr(s.begin, s.end - s.begin);
  }

 private:
  struct Span {
    std::size_t begin;
    std::size_t end;
  };
  std::string text_;
  std::vector<Span> lines_;
};

}  // namespace lectoria
