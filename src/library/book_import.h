// Importing a plain-text book into the library: the on-disk part of the "打开文件" button.
//
// The library holds one book. ImportBookFile reads the chosen file (GBK, or UTF-8 with or without
// a byte-order mark), divides it into chapters at the lines IsChapterTitle accepts and replaces
// the library R/data with:
//   R/data/k.txt     chapter k (k = 1..N): GBK, its title line and the following lines of the
//                    book up to the next title, joined by CR LF, nothing after the last line;
//                    text before the first title belongs to no chapter; a book without any title
//                    is one chapter holding every line, each preceded by CR LF
//   R/data/data.ini  [属性] 文件名 = book name, 章节数 = N, 阅读历史 = 0, 行号 = 1;
//                    [章节索引] 1..N = the title lines as read ("第一章" when the book has none)
// A UTF-8 book is first converted to GBK into R/temp/temp.txt, which is then divided.
//
// The new library is built in R/data.new and swapped in when complete: on any failure (the
// file cannot be read, the disk is full) the previous library stays exactly as it was.
//
// The caller (the window's handler) does the rest: ask for the file, show "请打开文件！" when
// none was chosen, call ImportBookFile, on failure show ImportFailureMessage, on success stop
// reading, reload the chapter list, position and reading queue from the index and show
// "导入完毕！" (all message boxes titled "提示消息").
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "platform/run_dir.h"

namespace lectoria {

/// The book's name for a path (UTF-8, '/'-separated): the text after the last '/' without its
/// extension (from the last '.' of that name on), converted to GBK. A path ending in '/' gives
/// the empty text.
std::string FileTitle(std::string_view path);

/// Why an import failed.
enum class ImportError {
  kNone,
  kNoFile,       ///< no file was given (the dialog was cancelled)
  kUnreadable,   ///< the book cannot be read: missing, not a regular file, no permission, I/O error
  kWriteFailed,  ///< the library could not be written (e.g. a full disk)
};

/// The outcome of ImportBookFile.
struct BookImportResult {
  bool ok = false;
  ImportError error = ImportError::kNone;
  std::string bookName;            ///< GBK; the "文件名" entry and the window title
  std::int64_t chapterCount = 0;   ///< N, the number of chapter files written
  bool convertedFromUtf8 = false;  ///< the book was UTF-8 and went through R/temp/temp.txt
};

/// Imports the book at `source` into the library under `paths` (see the top of this file).
/// Runs synchronously; needs no other part of the program. Never throws.
BookImportResult ImportBookFile(const RunPaths& paths, const std::filesystem::path& source);

/// The message (GBK) to show for a failed import, e.g. "无法读取文件！"; empty for kNone.
std::string ImportFailureMessage(ImportError error);

}  // namespace lectoria
