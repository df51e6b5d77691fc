#include "export/export_book.h"

#include <stdlib.h>

#include "library/book_import.h"
#include "library/chapter_file.h"
#include "library/library_index.h"
#include "platform/file_util.h"
#include "reader/chapter_lines.h"
#include "reader/spoken_text.h"

namespace lectoria {
namespace {

namespace fs = std::filesystem;

// A new private directory (mode 0700) under the system's temporary directory; empty on failure.
fs::path MakePrivateTempDir() {
  std::error_code error;
  const fs::path base = fs::temp_directory_path(error);
  if (error) return {};
  std::string pattern = (base / "lectoria-export-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) return {};
  return pattern;
}

// "无法创建临时目录！"
constexpr std::string_view kNoTempDir =
    "\xCE\xDE\xB7\xA8\xB4\xB4\xBD\xA8\xC1\xD9\xCA\xB1\xC4\xBF\xC2\xBC\xA3\xA1";

}  // namespace

ExportBookLoad LoadBookForExport(const fs::path& source) {
  ExportBookLoad load;
  const fs::path root = MakePrivateTempDir();
  if (root.empty()) {
    load.message = kNoTempDir;
    return load;
  }
  const RunPaths paths(root);
  const BookImportResult imported = ImportBookFile(paths, source);
  if (!imported.ok) {
    load.message = ImportFailureMessage(imported.error);
  } else {
    const LibraryIndex index(paths);
    load.book.name = imported.bookName;
    const std::int32_t count = index.ChapterCount();
    load.book.chapters.reserve(static_cast<std::size_t>(count));
    for (std::int32_t k = 1; k <= count; ++k)
      load.book.chapters.push_back({index.ChapterTitle(k), ReadChapterText(paths.ChapterFile(k))});
    load.ok = true;
  }
  RemoveTree(root);
  return load;
}

std::vector<SpokenLine> SpokenLines(std::string_view chapterText, const RuleSet* rules) {
  const ChapterLines lines{std::string(chapterText)};
  std::vector<SpokenLine> spoken;
  std::string text;
  for (std::size_t j = 1; j <= lines.Count(); ++j) {
    if (SpokenText(lines.Line(j), rules, /*skipNonChinese=*/true, text))
      spoken.push_back({static_cast<int>(j), text});
  }
  return spoken;
}

}  // namespace lectoria
