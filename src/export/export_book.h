// The book as the export reads it: its name, chapter titles and the lines to be spoken.
//
// The book goes through the program's own import, run in a private temporary directory that
// is deleted afterwards: the chapters and their titles are exactly those the reader would show,
// and the user's library is never touched.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace lectoria {

class RuleSet;

/// One chapter: its title line and its text, GBK, as the import stored them.
struct ExportChapter {
  std::string title;
  std::string text;
};

/// The imported book.
struct ExportBook {
  std::string name;  ///< GBK, the file's name without its extension
  std::vector<ExportChapter> chapters;
};

/// The outcome of LoadBookForExport.
struct ExportBookLoad {
  bool ok = false;
  std::string message;  ///< GBK, why the import refused the book; empty on success
  ExportBook book;
};

/// Imports `source` into a fresh directory under the system's temporary directory, reads the
/// chapters back and deletes the directory. Never throws.
ExportBookLoad LoadBookForExport(const std::filesystem::path& source);

/// A line to speak and its 1-based number within its chapter's text.
struct SpokenLine {
  int number = 0;
  std::string text;  ///< GBK, as spoken: trimmed of spaces and changed by the text rules
};

/// The lines of a chapter's text that the reader would read aloud with "跳过无中文行" on, as it
/// would speak them (SpokenText): the lines between CR LF, trimmed of spaces, changed by
/// `rules` (none when null), of at least 3 bytes and holding a Chinese character.
std::vector<SpokenLine> SpokenLines(std::string_view chapterText, const RuleSet* rules = nullptr);

}  // namespace lectoria
