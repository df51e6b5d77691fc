// Importing a plain-text book into the library: the on-disk part of the "打开文件" button.
//
// The library holds one book. ImportBookFile reads the chosen file in whatever character set it
// came (see EncodingSurvey), converts it to GBK, divides it into chapters (see ChapterPlanner)
// and replaces the library R/data with:
//   R/data/k.txt     chapter k (k = 1..N): GBK, its first line (the title) and the following
//                    lines of the book up to the next chapter, joined by CR LF, nothing after
//                    the last line
//   R/data/data.ini  [属性] 文件名 = book name, 章节数 = N, 阅读历史 = 0, 行号 = 1;
//                    [章节索引] 1..N = the chapter titles
// An empty file, a binary file, a file without a readable line and a book of more chapters
// than the chapter list shows are refused.
//
// The new library is built in R/data.new, flushed to disk, and swapped in when complete: on any
// failure or refusal the previous library stays exactly as it was.
//
// The caller (the window's handler) does the rest: ask for the file, show "请打开文件！" when
// none was chosen, run ImportBookFile (off the user-interface thread, following its progress),
// on failure show result.message, on success stop reading, reset the audio cache, reload the
// chapter list, position and reading queue from the index and show "导入完毕！" (all message
// boxes titled "提示消息").
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "library/book_encoding.h"
#include "library/chapter_plan.h"
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
  std::string message;           ///< GBK; why the book was refused (empty on success)
  std::string bookName;          ///< GBK; the "文件名" entry and the window title
  std::int64_t chapterCount = 0; ///< N, the number of chapter files written
  BookEncoding encoding;         ///< the character set the book came in
  TitleRule rule = TitleRule::kOriginal;  ///< the rule that divided it
};

/// Imports the book at `source` into the library under `paths` (see the top of this file).
/// Runs on the calling thread; needs no other part of the program; may run on any thread
/// while nothing else writes the library. Never throws.
BookImportResult ImportBookFile(const RunPaths& paths, const std::filesystem::path& source,
                                const ImportControl& control = {});

}  // namespace lectoria
