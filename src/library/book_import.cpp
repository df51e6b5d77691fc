#include "library/book_import.h"

#include <fcntl.h>
#include <unistd.h>

#include <vector>

#include "library/book_analysis.h"
#include "library/chapter_writer.h"
#include "library/library_index.h"
#include "library/library_swap.h"
#include "platform/codepage.h"
#include "platform/file_util.h"
#include "platform/ini_file.h"

namespace lectoria {
namespace {

namespace fs = std::filesystem;
using namespace index_keys;

constexpr int kPasses = 3;  // survey, plan, write

BookImportResult Failed(ImportError error) {
  BookImportResult result;
  result.error = error;
  result.message = ImportFailureMessage(error);
  return result;
}

// Writes the chapter files of `plan` into `dir` from a third reading of the book.
ImportError WriteChapters(const fs::path& source, const BookAnalysis& analysis, const fs::path& dir,
                          ProgressMeter& meter) {
  const std::vector<PlannedChapter>& chapters = analysis.plan.chapters;
  ChapterWriter writer(dir);
  if (!writer.ok()) return ImportError::kWriteFailed;
  std::int64_t line = 0;
  std::size_t next = 0;
  bool inChapter = false;
  const ImportError error =
      ForEachLine(source, analysis.encoding, meter, 2, [&](const LineFragment& f) {
        if (f.first) {
          if (next < chapters.size() && line == chapters[next].firstLine) {
            if (inChapter) writer.Finish();
            writer.Begin(static_cast<std::int64_t>(++next));
            inChapter = true;
          } else if (inChapter) {
            writer.Append("\r\n");
          }
        }
        if (inChapter) writer.Append(f.text);
        if (f.last) ++line;
      });
  if (error != ImportError::kNone) return error;
  if (inChapter) writer.Finish();
  // Every planned chapter must have met its first line (the book may have changed meanwhile).
  if (next != chapters.size()) return ImportError::kUnreadable;
  return writer.ok() ? ImportError::kNone : ImportError::kWriteFailed;
}

// Flushes everything written under `dir` to disk: one syncfs for the whole file system rather
// than one fsync per chapter file.
bool SyncFileSystemOf(const fs::path& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::syncfs(fd) == 0;
  ::close(fd);
  return ok;
}

void SyncDirectory(const fs::path& dir) {
  const int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);
  ::close(fd);
}

BookImportResult Build(const fs::path& dir, const fs::path& source, const ImportControl& control) {
  const BookAnalysis analysis = AnalyzeBook(source, control, kPasses, kMaxChapterCount);
  if (analysis.error != ImportError::kNone) return Failed(analysis.error);

  BookImportResult result;
  result.bookName = FileTitle(source.native());

  if (!RemoveTree(dir) || !MakeDirectories(dir)) return Failed(ImportError::kWriteFailed);
  ProgressMeter meter(control, analysis.bytes, kPasses);
  ImportError error = WriteChapters(source, analysis, dir, meter);
  if (error == ImportError::kNone) {
    std::vector<IniFile::Entry> entries;
    const std::string props(kProperties);
    const std::string titles(kChapterIndex);
    entries.reserve(analysis.plan.chapters.size() + 4);
    entries.push_back({props, std::string(kBookName), result.bookName});
    std::int64_t k = 0;
    for (const PlannedChapter& chapter : analysis.plan.chapters)
      entries.push_back({titles, std::to_string(++k), chapter.title});
    entries.push_back({props, std::string(kChapterCount), std::to_string(k)});
    // Padded, so that saving the position while reading rewrites them in place.
    entries.push_back({props, std::string(kReadingHistory), PositionValue(0)});
    entries.push_back({props, std::string(kLineNumber), PositionValue(1)});
    entries.push_back({props, std::string(kPlaceInLine), PositionValue(0)});
    // The chapter files reach the disk before the index that names them is swapped in.
    if (!IniFile(dir / "data.ini").WriteMany(entries) || !SyncFileSystemOf(dir))
      error = ImportError::kWriteFailed;
  }
  if (error == ImportError::kNone && meter.Cancelled()) error = ImportError::kCancelled;
  if (error != ImportError::kNone) {
    RemoveTree(dir);
    return Failed(error);
  }
  meter.Done();
  result.ok = true;
  result.chapterCount = static_cast<std::int64_t>(analysis.plan.chapters.size());
  return result;
}

// Builds the library beside R/data and swaps it in whole.
BookImportResult Import(const RunPaths& paths, const fs::path& source,
                        const ImportControl& control) {
  RecoverInterruptedImport(paths);
  BookImportResult result = Build(StagingDataDir(paths), source, control);
  if (!result.ok) return result;
  if (!SwapInStagedLibrary(paths)) {
    DiscardStagingDir(paths);
    return Failed(ImportError::kWriteFailed);
  }
  SyncDirectory(paths.Root());
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

BookImportResult ImportBookInto(const fs::path& dir, const fs::path& source,
                                const ImportControl& control) {
  try {
    return Build(dir, source, control);
  } catch (...) {
    RemoveTree(dir);
    return Failed(ImportError::kWriteFailed);
  }
}

BookImportResult ImportBookFile(const RunPaths& paths, const fs::path& source,
                                const ImportControl& control) {
  try {
    return Import(paths, source, control);
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
    case ImportError::kUnreadable:
      return Utf8ToGbk("无法读取文件！");
    case ImportError::kWriteFailed:
      return Utf8ToGbk("无法写入书库！");
    case ImportError::kEmpty:
      return Utf8ToGbk("文件是空的，没有导入。原来的书保持不变。");
    case ImportError::kBinary:
      return Utf8ToGbk("这不是文本文件（含有二进制数据），没有导入。原来的书保持不变。");
    case ImportError::kNoText:
      return Utf8ToGbk("文件中没有可读的文字，没有导入。原来的书保持不变。");
    case ImportError::kTooManyChapters:
      return Utf8ToGbk("章节数超过 " + std::to_string(kMaxChapterCount) +
                       " 章，章节列表无法显示，没有导入。原来的书保持不变。");
    case ImportError::kCancelled:
      return Utf8ToGbk("导入已取消。原来的书保持不变。");
  }
  return {};
}

}  // namespace lectoria
