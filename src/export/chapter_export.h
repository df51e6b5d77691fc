// The export of chosen chapters to one MP3 file each.
//
//   ExportJob job{&book, 3, 10, "/music/book", "zh-CN-XiaoxiaoNeural", "默认", 2};
//   std::atomic<bool> stop{false};                  // set it to stop cleanly (Ctrl+C)
//   ExportOutcome outcome = ExportChapters(job, {&client}, stop, observer);
//
// `jobs` worker threads synthesize the chapters' lines in book order, each with one request in
// flight. A chapter's clips are joined frame by frame behind an ID3v2 tag and written under a
// temporary name that is renamed to "NNN 标题.mp3" once complete, so the directory only ever
// holds complete chapter files. A chapter whose file exists already is skipped: an interrupted
// export, run again, goes on where it stopped.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "export/export_book.h"
#include "tts/speech_service_client.h"

namespace lectoria {

/// What to export and how.
struct ExportJob {
  const ExportBook* book = nullptr;
  int firstChapter = 1;  ///< 1-based, inclusive
  int lastChapter = 1;   ///< 1-based, inclusive
  std::filesystem::path outputDir;
  std::string voice;               ///< GBK short name, listed by the service
  std::string styleLabel;          ///< GBK label of the voice's style list
  int jobs = 1;                    ///< requests in flight at once
  const RuleSet* rules = nullptr;  ///< the text rules the lines are spoken with; null: none
};

/// A line that could not be synthesized after the retries (or whose audio could not be
/// joined to the rest of its chapter).
struct FailedLine {
  int chapter = 0;
  int line = 0;      ///< 1-based within the chapter's text
  std::string text;  ///< GBK
};

/// The state of a running export, for progress reports.
struct ExportStatus {
  int chaptersToDo = 0;  ///< chapters being exported (without those skipped)
  int chaptersDone = 0;
  int chapter = 0;  ///< number of the chapter of the line last finished
  std::int64_t linesTotal = 0;
  std::int64_t linesDone = 0;
  double audioSeconds = 0;  ///< audio made so far
  double elapsedSeconds = 0;
  double remainingSeconds = -1;  ///< estimate from the text still to speak; -1 while unknown
};

/// Receives the export's events; every call comes with the export's lock held, one at a time,
/// from any of its threads.
class ExportObserver {
 public:
  enum class Skip { kExists, kNoLines };
  virtual ~ExportObserver() = default;
  virtual void OnChapterSkipped(int chapter, const std::string& fileName, Skip why) {}
  virtual void OnProgress(const ExportStatus& status) {}
  virtual void OnChapterWritten(const ExportStatus& status, int chapter,
                                const std::string& fileName, double seconds) {}
  virtual void OnLineFailed(const FailedLine& line) {}
};

/// How an export ended.
struct ExportOutcome {
  enum class End {
    kFinished,       ///< every chosen chapter is done (some lines may have failed)
    kStopped,        ///< the caller's stop flag was set
    kWriteFailed,    ///< a chapter file could not be written (writePath)
    kServiceFailed,  ///< too many lines in a row failed: the service no longer answers
  };
  End end = End::kFinished;
  int chaptersWritten = 0;
  int chaptersExisting = 0;             ///< skipped because their file was there already
  int chaptersEmpty = 0;                ///< skipped for want of a line to speak
  std::vector<FailedLine> failedLines;  ///< in book order
  double audioSeconds = 0;              ///< in the chapter files written
  double elapsedSeconds = 0;
  std::filesystem::path writePath;
};

/// Attempts per line, and the wait after a failed one (a new token and voice list are fetched
/// before the next).
inline constexpr int kExportAttempts = 3;
inline constexpr int kExportRetryWaitMs = 300;
/// After this many lines in a row failed, the export gives up.
inline constexpr int kExportFailuresInARow = 8;

/// Runs the export (see the top of this file). Worker k speaks through clients[k % size]; each
/// client must outlive the call. Blocks until the work is done or stopped; a stop abandons the
/// requests in flight and writes no further chapter. Sets `stop` itself when it gives up.
ExportOutcome ExportChapters(const ExportJob& job, const std::vector<const SpeechClient*>& clients,
                             std::atomic<bool>& stop, ExportObserver& observer);

/// The file name of chapter `number` of `book` (UTF-8).
std::string ExportFileName(const ExportBook& book, int number);

}  // namespace lectoria
