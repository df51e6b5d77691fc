#include "app/state/index_checks.h"

#include <charconv>
#include <filesystem>
#include <string>
#include <system_error>

namespace lectoria {

ReadingPosition CheckReadingPosition(ReadingPosition stored, std::int32_t chapterCount) {
  if (stored.row < 0 || (stored.row >= chapterCount && stored.row != 0)) return {};
  if (stored.line < 1) return {stored.row, 1};
  return stored;
}

std::int32_t LastChapterFile(const RunPaths& paths) {
  std::int32_t last = 0;
  std::error_code ec;
  for (std::filesystem::directory_iterator it(paths.DataDir(), ec), end; !ec && it != end;
       it.increment(ec)) {
    const std::string name = it->path().filename().string();
    // Chapter files are named k.txt, k decimal without leading zeros.
    if (name.size() < 5 || name.compare(name.size() - 4, 4, ".txt") != 0 || name[0] == '0')
      continue;
    std::int32_t k = 0;
    const char* digitsEnd = name.data() + name.size() - 4;
    const auto [stop, error] = std::from_chars(name.data(), digitsEnd, k);
    std::error_code typeError;
    if (error == std::errc() && stop == digitsEnd && k > last && it->is_regular_file(typeError))
      last = k;
  }
  return last;
}

}  // namespace lectoria
