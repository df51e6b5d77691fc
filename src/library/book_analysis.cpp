#include "library/book_analysis.h"

#include <memory>

namespace lectoria {

bool IsBlankLine(std::string_view line) {
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    if (c == ' ' || c == '\t' || c == '\r' || c == '\f') continue;
    if (c == '\xA1' && i + 1 < line.size() && line[i + 1] == '\xA1') {
      ++i;
      continue;
    }
    return false;
  }
  return true;
}

BookAnalysis AnalyzeBook(const std::filesystem::path& path, const ImportControl& control,
                         int passes, std::int64_t maxChapters) {
  BookAnalysis result;
  BookFile file;
  if (!file.Open(path)) {
    result.error = ImportError::kUnreadable;
    return result;
  }
  result.bytes = file.Size();
  ProgressMeter meter(control, result.bytes, passes);

  EncodingSurvey survey;
  {
    const auto buffer = std::make_unique<char[]>(kBookBlockBytes);
    std::int64_t done = 0;
    for (;;) {
      if (meter.Cancelled()) {
        result.error = ImportError::kCancelled;
        return result;
      }
      const std::ptrdiff_t n = file.Read(buffer.get(), kBookBlockBytes);
      if (n < 0) {
        result.error = ImportError::kUnreadable;
        return result;
      }
      if (n == 0) break;
      survey.Add(std::string_view(buffer.get(), static_cast<std::size_t>(n)));
      done += n;
      meter.Report(0, done);
    }
  }
  result.encoding = survey.Decide();
  if (result.encoding.empty) {
    result.error = ImportError::kEmpty;
    return result;
  }
  if (result.encoding.binary) {
    result.error = ImportError::kBinary;
    return result;
  }

  ChapterPlanner planner(maxChapters);
  // A line longer than a fragment is judged by its first piece and its total length.
  std::string head;
  std::int64_t lineBytes = 0, lineChars = 0;
  bool lineBlank = true;
  const ImportError error =
      ForEachLine(path, result.encoding, meter, 1, [&](const LineFragment& f) {
        if (f.first && f.last) {
          planner.AddLine(f.text, true, static_cast<std::int64_t>(f.text.size()), f.chars,
                          IsBlankLine(f.text));
          return;
        }
        if (f.first) {
          head.assign(f.text.substr(0, 256));
          lineBytes = lineChars = 0;
          lineBlank = true;
        }
        lineBytes += static_cast<std::int64_t>(f.text.size());
        lineChars += f.chars;
        lineBlank = lineBlank && IsBlankLine(f.text);
        if (f.last) planner.AddLine(head, false, lineBytes, lineChars, lineBlank);
      });
  if (error != ImportError::kNone) {
    result.error = error;
    return result;
  }
  result.plan = planner.Finish();
  if (result.plan.chapters.empty()) {
    result.error = ImportError::kNoText;
  } else if (static_cast<std::int64_t>(result.plan.chapters.size()) > maxChapters) {
    result.error = ImportError::kTooManyChapters;
  }
  return result;
}

}  // namespace lectoria
