#include "library/bookshelf.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string_view>
#include <system_error>

#include "library/library_index.h"
#include "platform/file_util.h"
#include "platform/ini_file.h"

namespace lectoria {
namespace {

namespace fs = std::filesystem;

// book.ini: section and keys (GBK).
constexpr std::string_view kRecordFile = "book.ini";
constexpr std::string_view kShelfSection = "\xCA\xE9\xBC\xDC";  // 书架
constexpr std::string_view kIdKey = "\xB1\xE0\xBA\xC5";         // 编号
constexpr std::string_view kSourceKey = "\xC0\xB4\xD4\xB4";     // 来源
constexpr std::string_view kSizeKey = "\xB4\xF3\xD0\xA1";       // 大小

constexpr std::string_view kPendingSuffix = ".new";
constexpr std::string_view kIncomingSuffix = ".in";
constexpr std::string_view kGoneSuffix = ".gone";

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

bool Rename(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  return !ec;
}

void SyncDirectory(const fs::path& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

// A positive decimal id, or 0.
BookId ParseId(std::string_view text) {
  if (text.empty() || text.size() > 15) return 0;
  BookId id = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return 0;
    id = id * 10 + (c - '0');
  }
  return id;
}

// A shelf directory's name split into its id and suffix ("12.new" -> 12, ".new").
struct EntryName {
  BookId id = 0;
  std::string suffix;
};

EntryName SplitName(const std::string& name) {
  const std::size_t dot = name.find('.');
  EntryName entry;
  entry.id = ParseId(std::string_view(name).substr(0, dot));
  if (dot != std::string::npos) entry.suffix = name.substr(dot);
  return entry;
}

IniFile Record(const fs::path& dir) {
  return IniFile(dir / kRecordFile);
}

BookId RecordedId(const fs::path& dir) {
  return ParseId(Record(dir).Read(kShelfSection, kIdKey));
}

std::vector<fs::path> ShelfEntries(const RunPaths& paths) {
  std::vector<fs::path> entries;
  std::error_code ec;
  for (const auto& entry : fs::directory_iterator(ShelfDir(paths), ec))
    if (entry.is_directory(ec)) entries.push_back(entry.path());
  return entries;
}

std::int64_t ModifiedSeconds(const fs::path& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 ? static_cast<std::int64_t>(st.st_mtime) : 0;
}

ShelfBook Describe(const fs::path& dir, BookId id, bool current) {
  ShelfBook book;
  book.id = id;
  book.current = current;
  book.dir = dir;
  const LibraryIndex index(dir / "data.ini");
  book.title = index.BookName();
  book.chapterCount = index.ChapterCount();
  book.chapterRow = index.ReadingHistory();
  book.line = index.LineNumber();
  book.lastRead = ModifiedSeconds(dir / "data.ini");
  const IniFile record = Record(dir);
  book.source = record.Read(kShelfSection, kSourceKey);
  const std::string size = record.Read(kShelfSection, kSizeKey);
  book.sourceSize = size.empty() ? -1 : std::strtoll(size.c_str(), nullptr, 10);
  return book;
}

// The id of the book in R/data, given one first when it has none.
BookId AdoptCurrent(const RunPaths& paths) {
  const BookId id = RecordedId(paths.DataDir());
  // An id that a shelf directory also uses would let the two overwrite each other.
  if (id > 0 && !Exists(ShelfBookDir(paths, id))) return id;
  const BookId fresh = NewBookId(paths);
  const IniFile record = Record(paths.DataDir());
  const std::string source = record.Read(kShelfSection, kSourceKey);
  const std::string size = record.Read(kShelfSection, kSizeKey);
  return IniFile(paths.DataDir() / kRecordFile)
                 .WriteMany(
                     {{std::string(kShelfSection), std::string(kIdKey), std::to_string(fresh)},
                      {std::string(kShelfSection), std::string(kSourceKey), source},
                      {std::string(kShelfSection), std::string(kSizeKey), size}})
             ? fresh
             : 0;
}

void Step(const SwitchOptions& options, int step) {
  if (options.afterStep) options.afterStep(step);
}

// Exchanges two directories in one step; false with errno set when it cannot.
bool Exchange(const fs::path& a, const fs::path& b) {
  return ::renameat2(AT_FDCWD, a.c_str(), AT_FDCWD, b.c_str(), RENAME_EXCHANGE) == 0;
}

}  // namespace

fs::path ShelfDir(const RunPaths& paths) {
  return paths.Root() / "shelf";
}

fs::path ShelfBookDir(const RunPaths& paths, BookId id) {
  return ShelfDir(paths) / std::to_string(id);
}

fs::path PendingBookDir(const RunPaths& paths, BookId id) {
  return ShelfDir(paths) / (std::to_string(id) + std::string(kPendingSuffix));
}

void RecoverShelf(const RunPaths& paths) {
  const fs::path data = paths.DataDir();
  for (const fs::path& dir : ShelfEntries(paths)) {
    const EntryName name = SplitName(dir.filename().string());
    if (name.id == 0) continue;  // not ours
    if (name.suffix == kPendingSuffix || name.suffix == kGoneSuffix) {
      RemoveTree(dir);
    } else if (name.suffix == kIncomingSuffix) {
      // A switch without exchange: before R/data moved away, undo; after, finish.
      Rename(dir, Exists(data) ? ShelfBookDir(paths, name.id) : data);
    } else if (name.suffix.empty()) {
      // An exchange done, the book that left R/data not yet renamed after its own id.
      const BookId recorded = RecordedId(dir);
      if (recorded > 0 && recorded != name.id && !Exists(ShelfBookDir(paths, recorded)))
        Rename(dir, ShelfBookDir(paths, recorded));
    }
  }
  if (FileExists(paths.DataIni())) AdoptCurrent(paths);
  SyncDirectory(ShelfDir(paths));
  SyncDirectory(paths.Root());
}

std::vector<ShelfBook> ListShelf(const RunPaths& paths) {
  std::vector<ShelfBook> books;
  for (const fs::path& dir : ShelfEntries(paths)) {
    const EntryName name = SplitName(dir.filename().string());
    if (name.id > 0 && name.suffix.empty() && FileExists(dir / "data.ini"))
      books.push_back(Describe(dir, name.id, false));
  }
  std::sort(books.begin(), books.end(), [](const ShelfBook& a, const ShelfBook& b) {
    return a.lastRead != b.lastRead ? a.lastRead > b.lastRead : a.id < b.id;
  });
  if (FileExists(paths.DataIni())) {
    BookId id = RecordedId(paths.DataDir());
    if (id == 0) id = NewBookId(paths);
    books.insert(books.begin(), Describe(paths.DataDir(), id, true));
  }
  return books;
}

BookId CurrentBookId(const RunPaths& paths) {
  return FileExists(paths.DataIni()) ? RecordedId(paths.DataDir()) : 0;
}

BookId NewBookId(const RunPaths& paths) {
  BookId top = RecordedId(paths.DataDir());
  for (const fs::path& dir : ShelfEntries(paths))
    top = std::max(top, SplitName(dir.filename().string()).id);
  return top + 1;
}

bool WriteBookRecord(const fs::path& dir, BookId id, const fs::path& source,
                     std::int64_t sourceSize) {
  const std::string section(kShelfSection);
  return Record(dir).WriteMany({{section, std::string(kIdKey), std::to_string(id)},
                                {section, std::string(kSourceKey), BookSourcePath(source)},
                                {section, std::string(kSizeKey), std::to_string(sourceSize)}});
}

std::string BookSourcePath(const fs::path& source) {
  std::error_code ec;
  const fs::path resolved = fs::weakly_canonical(source, ec);
  return (ec ? fs::absolute(source, ec) : resolved).string();
}

BookId FindBookFrom(const std::vector<ShelfBook>& books, const fs::path& source) {
  std::error_code ec;
  const auto size = fs::file_size(source, ec);
  if (ec) return 0;
  const std::string path = BookSourcePath(source);
  for (const ShelfBook& book : books) {
    if (book.source == path && book.sourceSize == static_cast<std::int64_t>(size)) return book.id;
  }
  return 0;
}

bool ShelveImportedBook(const RunPaths& paths, BookId id) {
  if (!Rename(PendingBookDir(paths, id), ShelfBookDir(paths, id))) return false;
  SyncDirectory(ShelfDir(paths));
  return true;
}

void CarryReadingPosition(const fs::path& from, const fs::path& to) {
  const LibraryIndex source(from / "data.ini");
  LibraryIndex target(to / "data.ini");
  if (!source.Exists() || !target.Exists()) return;
  const std::int32_t row = source.ReadingHistory();
  if (row < 0 || row >= target.ChapterCount()) return;
  target.SavePosition(row, source.LineNumber());
}

bool SwitchToBook(const RunPaths& paths, BookId id, const SwitchOptions& options) {
  const fs::path data = paths.DataDir();
  const fs::path incoming = ShelfBookDir(paths, id);
  if (!DirectoryExists(incoming)) return CurrentBookId(paths) == id;
  // A data directory without an index holds no book: nothing to keep on the shelf.
  if (Exists(data) && !FileExists(paths.DataIni())) {
    const fs::path gone =
        ShelfDir(paths) / (std::to_string(NewBookId(paths)) + std::string(kGoneSuffix));
    if (!Rename(data, gone)) return false;
    RemoveTree(gone);
  }
  if (!Exists(data)) {
    if (!Rename(incoming, data)) return false;
    Step(options, 1);
    SyncDirectory(ShelfDir(paths));
    SyncDirectory(paths.Root());
    return true;
  }
  const BookId leaving = AdoptCurrent(paths);
  if (leaving == 0) return false;
  const fs::path shelved = ShelfBookDir(paths, leaving);

  if (options.exchange && Exchange(incoming, data)) {
    // R/data is the new book now; the old one waits under the new one's name until renamed
    // (RecoverShelf finishes that rename after a crash).
    Step(options, 1);
    Rename(incoming, shelved);
    Step(options, 2);
  } else {
    if (options.exchange && errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;
    // Three renames; RecoverShelf undoes the first alone and finishes after the second.
    const fs::path staged = ShelfDir(paths) / (std::to_string(id) + std::string(kIncomingSuffix));
    if (!Rename(incoming, staged)) return false;
    Step(options, 1);
    if (!Rename(data, shelved)) {
      Rename(staged, incoming);
      return false;
    }
    Step(options, 2);
    if (!Rename(staged, data)) {
      Rename(shelved, data);
      Rename(staged, incoming);
      return false;
    }
    Step(options, 3);
  }
  SyncDirectory(ShelfDir(paths));
  SyncDirectory(paths.Root());
  return true;
}

bool RemoveBook(const RunPaths& paths, BookId id) {
  const bool current = CurrentBookId(paths) == id;
  const fs::path dir = current ? paths.DataDir() : ShelfBookDir(paths, id);
  if (!DirectoryExists(dir)) return false;
  // Renamed first, so that a crash while deleting leaves no half book on the shelf.
  const fs::path gone = ShelfDir(paths) / (std::to_string(id) + std::string(kGoneSuffix));
  if (!MakeDirectories(ShelfDir(paths)) || !Rename(dir, gone)) return false;
  SyncDirectory(ShelfDir(paths));
  SyncDirectory(paths.Root());
  RemoveTree(gone);
  return true;
}

}  // namespace lectoria
