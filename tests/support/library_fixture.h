// Writes a library index the way an import leaves it, for tests and benchmarks that start from
// a book already in R/data (the chapter files are theirs to write).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "library/library_index.h"
#include "platform/ini_file.h"
#include "platform/run_dir.h"

namespace lectoria::testing {

/// Writes into data.ini, with one save: "属性"/"文件名" = `name` (skipped when empty), the
/// chapter titles "章节索引"/1..N and "属性"/"章节数" = `chapterCount` (N when negative). The
/// reading position is left as it is. The directory must exist.
inline bool WriteLibraryIndex(const std::filesystem::path& dataIni, std::string_view name,
                              const std::vector<std::string>& titles, int chapterCount = -1) {
  using namespace index_keys;
  const std::string props(kProperties);
  std::vector<IniFile::Entry> entries;
  if (!name.empty()) entries.push_back({props, std::string(kBookName), std::string(name)});
  for (std::size_t k = 0; k < titles.size(); ++k)
    entries.push_back({std::string(kChapterIndex), std::to_string(k + 1), titles[k]});
  const int count = chapterCount < 0 ? static_cast<int>(titles.size()) : chapterCount;
  entries.push_back({props, std::string(kChapterCount), std::to_string(count)});
  return IniFile(dataIni).WriteMany(entries);
}

/// The same for R/data/data.ini.
inline bool WriteLibraryIndex(const RunPaths& paths, std::string_view name,
                              const std::vector<std::string>& titles, int chapterCount = -1) {
  return WriteLibraryIndex(paths.DataIni(), name, titles, chapterCount);
}

}  // namespace lectoria::testing
