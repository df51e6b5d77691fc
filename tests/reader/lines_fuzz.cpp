// Fuzzes the chapter line splitter and the line filter with arbitrary chapter bytes: the
// splitter must agree with SplitText, and the filter must agree with ExtractHanzi.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "platform/gbk_text.h"
#include "reader/chapter_lines.h"
#include "reader/line_filter.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const lectoria::ChapterLines lines(text);
  const auto expected = lectoria::SplitText(text, "\r\n");
  if (lines.Count() != expected.size()) std::abort();
  for (std::size_t j = 1; j <= lines.Count(); ++j) {
    const std::string_view line = lines.Line(j);
    if (line != expected[j - 1]) std::abort();
    const std::string_view trimmed = lectoria::TrimSpacesView(line);
    if (trimmed != lectoria::TrimSpaces(line)) std::abort();
    const std::string hanzi = lectoria::ExtractHanzi(trimmed);
    if (hanzi.size() % 2 != 0 || hanzi.size() > trimmed.size()) std::abort();
    if (lectoria::HasHanzi(trimmed) == hanzi.empty()) std::abort();
    if (lectoria::IsUsableLine(trimmed, true) != (trimmed.size() >= 3 && !hanzi.empty()))
      std::abort();
  }
  return 0;
}
