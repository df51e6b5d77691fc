// What the export command prints while it works: a progress bar on a terminal, one plain line
// per finished chapter otherwise, failed lines on the error stream, and the closing summary.
// Texts are UTF-8.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

#include "export/chapter_export.h"

namespace lectoria {

/// Where the command writes: `out` for progress and the summary, `err` for problems. With
/// `terminal` set `out` is a terminal and gets a progress bar redrawn in place.
struct ExportConsole {
  std::FILE* out = stdout;
  std::FILE* err = stderr;
  bool terminal = false;
};

/// Minutes and seconds of a duration, e.g. "2分05秒" or "45秒".
std::string FormatDuration(double seconds);

class ConsoleReporter : public ExportObserver {
 public:
  explicit ConsoleReporter(const ExportConsole& console) : console_(console) {}

  void OnChapterSkipped(int chapter, const std::string& fileName, Skip why) override;
  void OnProgress(const ExportStatus& status) override;
  void OnChapterWritten(const ExportStatus& status, int chapter, const std::string& fileName,
                        double seconds) override;
  void OnLineFailed(const FailedLine& line) override;

  /// Clears the bar and prints the summary of `outcome` (and where a stopped export's files
  /// are). `outputDir` as given on the command line.
  void PrintSummary(const ExportOutcome& outcome, const std::string& outputDir);

 private:
  void ClearBar();
  void DrawBar(const ExportStatus& status);

  ExportConsole console_;
  bool barShown_ = false;
  std::chrono::steady_clock::time_point lastDraw_{};
};

}  // namespace lectoria
