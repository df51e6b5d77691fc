#include "library/chapter_title.h"

namespace lectoria {
namespace {

constexpr std::string_view kDi = "\xB5\xDA";     // 第
constexpr std::string_view kZhang = "\xD5\xC2";  // 章

// Titles of the "第…章" form are short; longer lines are ordinary text that mentions a chapter.
constexpr std::size_t kMinTitleBytes = 5;
constexpr std::size_t kMaxTitleBytes = 49;
constexpr std::ptrdiff_t kMaxDiToZhang = 19;

bool IsDigitLine(std::string_view line) {
  const std::size_t first = line.find_first_not_of(' ');
  if (first == std::string_view::npos) return false;
  const std::size_t last = line.find_last_not_of(' ');
  for (std::size_t i = first; i <= last; ++i) {
    if (line[i] < '0' || line[i] > '9') return false;
  }
  return true;
}

}  // namespace

bool IsChapterTitle(std::string_view line) {
  if (line.size() >= kMinTitleBytes && line.size() <= kMaxTitleBytes) {
    // Deliberately a raw byte search, not a character-aware one: the rule matches what the
    // chapter files of existing libraries were divided by.
    const std::size_t di = line.find(kDi);
    const std::size_t zhang = line.find(kZhang);
    if (di == std::string_view::npos || zhang == std::string_view::npos) return false;
    return static_cast<std::ptrdiff_t>(zhang) - static_cast<std::ptrdiff_t>(di) <= kMaxDiToZhang;
  }
  return IsDigitLine(line);
}

}  // namespace lectoria
