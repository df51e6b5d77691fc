#include "library/book_import.h"

#include <algorithm>
#include <memory>
#include <system_error>
#include <vector>

#include "library/book_file.h"
#include "library/chapter_title.h"
#include "library/chapter_writer.h"
#include "library/library_swap.h"
#include "library/utf8_block_converter.h"
#include "library/utf8_check.h"
#include "platform/codepage.h"
#include "platform/file_util.h"
#include "platform/ini_file.h"

namespace lectoria {
namespace {

namespace fs = std::filesystem;

// Sections, keys and fixed values of the library index (GBK).
constexpr std::string_view kSectionProperties = "\xCA\xF4\xD0\xD4";                  // 属性
constexpr std::string_view kSectionChapters = "\xD5\xC2\xBD\xDA\xCB\xF7\xD2\xFD";    // 章节索引
constexpr std::string_view kKeyBookName = "\xCE\xC4\xBC\xFE\xC3\xFB";                // 文件名
constexpr std::string_view kKeyChapterCount = "\xD5\xC2\xBD\xDA\xCA\xFD";            // 章节数
constexpr std::string_view kKeyReadingHistory = "\xD4\xC4\xB6\xC1\xC0\xFA\xCA\xB7";  // 阅读历史
constexpr std::string_view kKeyLineNumber = "\xD0\xD0\xBA\xC5";                      // 行号
constexpr std::string_view kDefaultChapterTitle = "\xB5\xDA\xD2\xBB\xD5\xC2";        // 第一章

// What the first pass over the book finds out.
struct BookScan {
  bool ok = false;
  bool utf8 = false;
  std::int64_t lines = 0;
};

// Reads the whole book once: counts its lines and applies the charset test to the bytes from
// the first non-ASCII byte on (all the test looks at), without holding the book in memory.
BookScan ScanBook(BookFile& file) {
  BookScan scan;
  LineCounter counter;
  std::string window;  // kUtf8CheckWindow bytes from the first non-ASCII byte on
  bool foundNonAscii = false;
  bool decided = false;
  const auto buffer = std::make_unique<char[]>(kBookBlockBytes);
  for (;;) {
    const std::ptrdiff_t n = file.Read(buffer.get(), kBookBlockBytes);
    if (n < 0) return scan;
    if (n == 0) break;
    std::string_view block(buffer.get(), static_cast<std::size_t>(n));
    counter.Add(block);
    if (decided) continue;
    if (!foundNonAscii) {
      const auto it = std::find_if(block.begin(), block.end(),
                                   [](char c) { return static_cast<unsigned char>(c) >= 0x80; });
      if (it == block.end()) continue;
      foundNonAscii = true;
      block.remove_prefix(static_cast<std::size_t>(it - block.begin()));
    }
    window.append(block.substr(0, kUtf8CheckWindow - window.size()));
    if (window.size() == kUtf8CheckWindow) {
      scan.utf8 = IsUtf8Text(window);
      decided = true;
    }
  }
  if (!decided) scan.utf8 = IsUtf8Text(window);
  scan.ok = true;
  scan.lines = counter.Lines();
  return scan;
}

// Where to cut a block of UTF-8 so that converting the pieces one by one gives the same bytes
// as converting the whole: right after an ASCII byte, which always ends a character; failing
// that, before the start of the last sequence; failing that (no structure at all), anywhere.
std::size_t ConversionCut(std::string_view text) {
  for (std::size_t i = text.size(); i > 0; --i) {
    if (static_cast<unsigned char>(text[i - 1]) < 0x80) return i;
  }
  for (std::size_t i = text.size(); i > 1; --i) {
    if ((static_cast<unsigned char>(text[i - 1]) & 0xC0) != 0x80) return i - 1;
  }
  return text.size();
}

// Converts the UTF-8 book to GBK into `target` block by block, counting the lines of the result.
// The text goes to a side file first and replaces `target` only when complete, which also makes
// importing `target` itself safe.
ImportError ConvertUtf8Book(BookFile& in, const fs::path& target, std::int64_t& lines) {
  const fs::path part = fs::path(target) += ".part";
  OutputFile out;
  if (!out.Create(part)) return ImportError::kWriteFailed;
  auto fail = [&](ImportError error) {
    out.Close();
    RemoveFile(part);
    return error;
  };
  LineCounter counter;
  Utf8BlockConverter converter;
  std::string pending;
  bool atStart = true;
  const auto buffer = std::make_unique<char[]>(kBookBlockBytes);
  for (;;) {
    const std::ptrdiff_t n = in.Read(buffer.get(), kBookBlockBytes);
    if (n < 0) return fail(ImportError::kUnreadable);
    pending.append(buffer.get(), static_cast<std::size_t>(n));
    const bool last = n == 0;
    if (atStart) {
      if (!last && pending.size() < 3) continue;
      if (pending.starts_with("\xEF\xBB\xBF")) pending.erase(0, 3);  // byte-order mark
      atStart = false;
    }
    const std::size_t cut = last ? pending.size() : ConversionCut(pending);
    const std::string gbk = converter.Convert(std::string_view(pending).substr(0, cut));
    counter.Add(gbk);
    if (!out.Write(gbk)) return fail(ImportError::kWriteFailed);
    pending.erase(0, cut);
    if (last) break;
  }
  if (!out.Close()) return fail(ImportError::kWriteFailed);
  std::error_code ec;
  fs::rename(part, target, ec);
  if (ec) return fail(ImportError::kWriteFailed);
  lines = counter.Lines();
  return ImportError::kNone;
}

// The index keeps one entry per line, so a title must not carry a line end into it: a CR or LF
// can only appear in a title as the broken trail byte of a GBK character or as a stray CR, and
// written raw it would turn the rest of the title into index lines of its own.
std::string IndexValue(std::string_view title) {
  std::string value(title);
  std::replace_if(
      value.begin(), value.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  return value;
}

// Divides `book` into chapter files in `dir`, processing at most `lines` lines, and appends a
// "章节索引" entry per chapter to `entries`.
ImportError SplitIntoChapters(BookFile& book, std::int64_t lines, const fs::path& dir,
                              std::vector<IniFile::Entry>& entries, std::int64_t& chapters) {
  LineReader reader(book);
  ChapterWriter writer(dir);
  std::int64_t n = 0;
  writer.Begin(1, {});  // text before the first title; dropped when a title comes
  std::string line;
  for (std::int64_t i = 0; i < lines && reader.Next(line); ++i) {
    if (IsChapterTitle(line)) {
      if (n > 0 && !writer.Finish()) return ImportError::kWriteFailed;
      ++n;
      entries.push_back({std::string(kSectionChapters), std::to_string(n), IndexValue(line)});
      writer.Begin(n, line);
    } else {
      writer.AppendLine(line);
      if (!writer.ok()) return ImportError::kWriteFailed;
    }
  }
  if (reader.failed()) return ImportError::kUnreadable;
  if (n == 0) {
    n = 1;
    entries.push_back({std::string(kSectionChapters), "1", std::string(kDefaultChapterTitle)});
  }
  if (!writer.Finish()) return ImportError::kWriteFailed;
  chapters = n;
  return ImportError::kNone;
}

BookImportResult Failed(ImportError error) {
  BookImportResult result;
  result.error = error;
  return result;
}

BookImportResult Import(const RunPaths& paths, const fs::path& source) {
  if (source.empty()) return Failed(ImportError::kNoFile);
  RecoverInterruptedImport(paths);

  BookImportResult result;
  BookScan scan;
  {
    BookFile file;
    if (!file.Open(source)) return Failed(ImportError::kUnreadable);
    scan = ScanBook(file);
    if (!scan.ok) return Failed(ImportError::kUnreadable);
  }
  result.bookName = FileTitle(source.native());

  fs::path bookPath = source;
  std::int64_t lines = scan.lines;
  if (scan.utf8) {
    MakeDirectories(paths.TempDir());
    BookFile file;
    if (!file.Open(source)) return Failed(ImportError::kUnreadable);
    const ImportError error = ConvertUtf8Book(file, paths.TempText(), lines);
    if (error != ImportError::kNone) return Failed(error);
    bookPath = paths.TempText();
    result.convertedFromUtf8 = true;
  }

  BookFile book;
  if (!book.Open(bookPath)) return Failed(ImportError::kUnreadable);
  if (!PrepareStagingDir(paths)) return Failed(ImportError::kWriteFailed);
  const fs::path staging = StagingDataDir(paths);

  std::vector<IniFile::Entry> entries;
  entries.push_back({std::string(kSectionProperties), std::string(kKeyBookName), result.bookName});
  std::int64_t chapters = 0;
  ImportError error = SplitIntoChapters(book, lines, staging, entries, chapters);
  if (error == ImportError::kNone) {
    const std::string section(kSectionProperties);
    entries.push_back({section, std::string(kKeyChapterCount), std::to_string(chapters)});
    entries.push_back({section, std::string(kKeyReadingHistory), "0"});
    entries.push_back({section, std::string(kKeyLineNumber), "1"});
    IniFile index(staging / "data.ini");
    if (!index.WriteMany(entries) || !SwapInStagedLibrary(paths)) error = ImportError::kWriteFailed;
  }
  if (error != ImportError::kNone) {
    DiscardStagingDir(paths);
    return Failed(error);
  }
  result.ok = true;
  result.chapterCount = chapters;
  return result;
}

}  // namespace

std::string FileTitle(std::string_view path) {
  const std::size_t slash = path.rfind('/');
  std::string_view name = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind('.');
  if (dot != std::string_view::npos) name = name.substr(0, dot);
  return Utf8ToGbk(name);
}

BookImportResult ImportBookFile(const RunPaths& paths, const fs::path& source) {
  try {
    return Import(paths, source);
  } catch (...) {
    // Out of memory, or a file-system error thrown by the standard library: the previous
    // library is still in place.
    DiscardStagingDir(paths);
    return Failed(ImportError::kWriteFailed);
  }
}

std::string ImportFailureMessage(ImportError error) {
  switch (error) {
    case ImportError::kNone:
      return {};
    case ImportError::kNoFile:
      return "\xC7\xEB\xB4\xF2\xBF\xAA\xCE\xC4\xBC\xFE\xA3\xA1";  // 请打开文件！
    case ImportError::kUnreadable:
      return "\xCE\xDE\xB7\xA8\xB6\xC1\xC8\xA1\xCE\xC4\xBC\xFE\xA3\xA1";  // 无法读取文件！
    case ImportError::kWriteFailed:
      return "\xCE\xDE\xB7\xA8\xD0\xB4\xC8\xEB\xCA\xE9\xBF\xE2\xA3\xA1";  // 无法写入书库！
  }
  return {};
}

}  // namespace lectoria
