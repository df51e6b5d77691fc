// The command line of `lectoria --export`.
#pragma once

#include <optional>
#include <string>

namespace lectoria {

/// Chapters to export, 1-based and inclusive; 0 for an end left open ("3-" or "-10").
struct ChapterRange {
  int first = 0;
  int last = 0;
};

/// Exit statuses of the export command.
namespace export_exit {
inline constexpr int kOk = 0;
inline constexpr int kLinesSkipped = 1;      ///< done, but some lines could not be synthesized
inline constexpr int kUsage = 2;             ///< the command line is wrong
inline constexpr int kBookRefused = 3;       ///< the import refuses the book
inline constexpr int kOutputUnwritable = 4;  ///< the output directory cannot be written
inline constexpr int kBadRange = 5;          ///< the chapter range lies outside the book
inline constexpr int kUnknownVoice = 6;      ///< the service lists no such voice or style
inline constexpr int kServiceFailed = 7;     ///< the speech service cannot start or answer
inline constexpr int kInterrupted = 130;     ///< stopped by Ctrl+C (128 + SIGINT)
}  // namespace export_exit

/// `lectoria --export BOOK --output DIR [--chapters A-B] [--voice NAME] [--style LABEL]
/// [--speech-service URL] [--jobs N] [--home DIR]`; texts as given (UTF-8).
struct ExportOptions {
  std::string book;
  std::string output;
  std::optional<ChapterRange> chapters;
  std::optional<std::string> voice;
  std::optional<std::string> style;
  std::string speechService;  ///< empty: the built-in service
  int jobs = 0;               ///< 0: as many as the machine has cores
  std::optional<std::string> home;
  bool help = false;
  std::string error;  ///< why the command line was refused; empty when accepted
};

/// True when the command line asks for an export (holds --export).
bool IsExportCommand(int argc, const char* const* argv);

/// Reads the command line (argv[0] is the program). Options take their value as the next
/// argument or after "=".
ExportOptions ParseExportOptions(int argc, const char* const* argv);

/// "A-B", "A", "A-" or "-B" with positive numbers; nothing for anything else.
std::optional<ChapterRange> ParseChapterRange(const std::string& text);

/// The usage lines for --help.
const char* ExportUsageText();

}  // namespace lectoria
