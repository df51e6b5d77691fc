// Importing a plain-text book into the library: the on-disk part of the "打开文件" button.
//
// A library holds one book (the bookshelf keeps one library per book: see bookshelf.h).
// ImportBookFile reads the chosen file in whatever character set it came (see EncodingSurvey),
// converts it to GBK, divides it into chapters (see ChapterPlanner) and replaces the library
// R/data with:
//   R/data/k.txt     chapter k (k = 1..N): GBK, its first line (the title) and the following
//                    lines of the book up to the next chapter, joined by CR LF, nothing after
//                    the last line
//   R/data/data.ini  [属性] 文件名 = book name, 章节数 = N, 阅读历史 = 0, 行号 = 1;
//                    [章节索引] 1..N = the chapter titles
// An empty file, a binary file, a file without a readable line and a book of more chapters
// than the chapter list shows are refused.
//
// ImportBookInto builds such a library in a directory of the caller's choice (off the
// user-interface thread, while the book being read stays in R/data); ImportBookFile builds it
// in R/data.new, flushed to disk, and swaps it in when complete. On any failure or refusal
// nothing else changes: the previous library stays exactly as it was.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "library/import_progress.h"
#include "platform/run_dir.h"

namespace lectoria {

/// The book's name for a path (UTF-8, '/'-separated): the text after the last '/' without its
/// extension (from the last '.' of that name on), converted to GBK. A path ending in '/' gives
/// the empty text.
std::string FileTitle(std::string_view path);

/// The outcome of ImportBookFile.
struct BookImportResult {
  bool ok = false;
  ImportError error = ImportError::kNone;
  std::string message;            ///< GBK; why the book was refused (empty on success)
  std::string bookName;           ///< GBK; the "文件名" entry and the window title
  std::int64_t chapterCount = 0;  ///< N, the number of chapter files written
};

/// Writes the library of the book at `source` into `dir` (replacing whatever was there) and
/// flushes it to disk. On failure, refusal or cancel `dir` is removed. Touches nothing else, so
/// it may run on any thread while the program reads another book. Never throws.
BookImportResult ImportBookInto(const std::filesystem::path& dir,
                                const std::filesystem::path& source,
                                const ImportControl& control = {});

/// Imports the book at `source` into the library under `paths` (see the top of this file).
/// Runs on the calling thread; needs no other part of the program; may run on any thread
/// while nothing else writes the library. Never throws.
BookImportResult ImportBookFile(const RunPaths& paths, const std::filesystem::path& source,
                                const ImportControl& control = {});

}  // namespace lectoria
