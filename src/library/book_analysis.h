// The two reading passes of an import: the character set, then the chapters.
#pragma once

#include <cstdint>
#include <filesystem>

#include "library/book_decoder.h"
#include "library/book_encoding.h"
#include "library/book_file.h"
#include "library/book_lines.h"
#include "library/chapter_plan.h"
#include "library/import_progress.h"

namespace lectoria {

/// What the import learns from reading a book before it writes anything.
struct BookAnalysis {
  ImportError error = ImportError::kNone;
  BookEncoding encoding;
  ChapterPlan plan;
  std::int64_t bytes = 0;  ///< size of the file
};

/// Reads the book at `path` twice: first its bytes decide the character set (and refuse an
/// empty or binary file), then its GBK lines are fed to a ChapterPlanner (and a book without
/// any readable line, or with more chapters than `maxChapters`, is refused). Progress counts
/// these as the first two of `passes` passes. Changes nothing on disk.
BookAnalysis AnalyzeBook(const std::filesystem::path& path, const ImportControl& control,
                         int passes, std::int64_t maxChapters);

/// True when `line` holds nothing but blanks (spaces, tabs, CR, FF, full-width spaces).
bool IsBlankLine(std::string_view line);

/// Reads the book at `path` in `encoding` and calls `onLine(const LineFragment&)` for each
/// piece of its GBK lines, reporting progress as pass `pass`. kNone, kUnreadable or kCancelled.
template <typename OnLine>
ImportError ForEachLine(const std::filesystem::path& path, const BookEncoding& encoding,
                        ProgressMeter& meter, int pass, OnLine&& onLine) {
  BookFile file;
  if (!file.Open(path)) return ImportError::kUnreadable;
  BookDecoder decoder(encoding);
  LineSplitter splitter;
  const auto buffer = std::make_unique<char[]>(kBookBlockBytes);
  std::int64_t done = 0;
  for (;;) {
    if (meter.Cancelled()) return ImportError::kCancelled;
    const std::ptrdiff_t n = file.Read(buffer.get(), kBookBlockBytes);
    if (n < 0) return ImportError::kUnreadable;
    const bool last = n == 0;
    splitter.Feed(decoder.Decode(std::string_view(buffer.get(), static_cast<std::size_t>(n)), last),
                  last, onLine);
    if (last) return ImportError::kNone;
    done += n;
    meter.Report(pass, done);
  }
}

}  // namespace lectoria
