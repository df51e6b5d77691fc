// The bookshelf: every imported book keeps its own library and its own reading position.
//
// On disk, under the run directory R:
//   R/data/                the book being read, exactly as the rest of the program expects it
//                          (chapter files and data.ini with "阅读历史" and "行号")
//   R/shelf/<id>/          every other book, laid out like R/data, its data.ini whole
//   <library>/book.ini     the shelf's record of a book: [书架] 编号 = id, 来源 = the imported
//                          file's path, 大小 = its size in bytes
//   R/shelf/<id>.new/      a book being imported; complete only once renamed to R/shelf/<id>
//   R/shelf/<id>.in/       a book on its way into R/data (only where the file system cannot
//                          exchange two directories in one step)
//   R/shelf/<id>.gone/     a book being removed
// A library left by a program without a shelf (R/data without book.ini) is the first book on
// the shelf: RecoverShelf gives it an id. Every change of the shelf is a rename of whole
// directories, so a crash at any point leaves the old or the new state; RecoverShelf, run at
// start-up, finishes or undoes the step that was interrupted and removes what was left half
// made. A book is the same file again when its path (made absolute, links resolved) and size
// match the record.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "platform/run_dir.h"

namespace lectoria {

using BookId = std::int64_t;

/// One book on the shelf, as its files describe it.
struct ShelfBook {
  BookId id = 0;
  bool current = false;       ///< the book in R/data
  std::filesystem::path dir;  ///< its library directory
  std::string title;          ///< GBK; "属性"/"文件名"
  std::int32_t chapterCount = 0;
  std::int32_t chapterRow = 0;  ///< "阅读历史": 0-based chapter being read
  std::int32_t line = 0;        ///< "行号"
  std::int64_t lastRead = 0;    ///< seconds since 1970: the last change of its data.ini
  std::string source;           ///< the imported file's path (bytes as the file system has them)
  std::int64_t sourceSize = -1;
};

/// R/shelf.
std::filesystem::path ShelfDir(const RunPaths& paths);
/// R/shelf/<id>: where book `id` waits while another one is read.
std::filesystem::path ShelfBookDir(const RunPaths& paths, BookId id);
/// R/shelf/<id>.new: where the import builds book `id`.
std::filesystem::path PendingBookDir(const RunPaths& paths, BookId id);

/// Finishes or undoes a change of the shelf that a crash interrupted, removes half-made
/// imports and removals, and gives the book in R/data an id when it has none. Call at
/// start-up (after RecoverInterruptedImport), while no other process uses R.
void RecoverShelf(const RunPaths& paths);

/// Every book: the one being read first, then the others, the most recently read first.
/// Changes nothing on disk (a book in R/data without an id is listed with the id it would get).
std::vector<ShelfBook> ListShelf(const RunPaths& paths);

/// The id of the book being read; 0 when none is loaded or it has no id yet.
BookId CurrentBookId(const RunPaths& paths);

/// An id that no book or directory of the shelf uses.
BookId NewBookId(const RunPaths& paths);

/// Writes the record book.ini into the library directory `dir`.
bool WriteBookRecord(const std::filesystem::path& dir, BookId id,
                     const std::filesystem::path& source, std::int64_t sourceSize);

/// `source` as a record names it: absolute, links resolved.
std::string BookSourcePath(const std::filesystem::path& source);

/// The book of `books` imported from `source` as it is now (same path, same size); 0 when
/// there is none.
BookId FindBookFrom(const std::vector<ShelfBook>& books, const std::filesystem::path& source);

/// Puts the book built in PendingBookDir(id) on the shelf as ShelfBookDir(id).
bool ShelveImportedBook(const RunPaths& paths, BookId id);

/// Copies the reading position ("阅读历史", "行号") of the library in `from` into the one in
/// `to` when `to` has that chapter (a book imported again keeps its place).
void CarryReadingPosition(const std::filesystem::path& from, const std::filesystem::path& to);

/// How SwitchToBook goes about it; the defaults are for the program, the rest for tests.
struct SwitchOptions {
  /// Exchange the two directories in one step where the file system can.
  bool exchange = true;
  /// Called after each rename (1, 2, ...), e.g. to stop the process there.
  std::function<void(int step)> afterStep;
};

/// Makes book `id` the one being read: it moves into R/data and the book that was there
/// moves to the shelf with its library whole (position included). True when `id` is in
/// R/data afterwards; on failure the shelf is as it was.
bool SwitchToBook(const RunPaths& paths, BookId id, const SwitchOptions& options = {});

/// Removes book `id` and its library from the shelf (R/data too, when it is the current one).
bool RemoveBook(const RunPaths& paths, BookId id);

}  // namespace lectoria
