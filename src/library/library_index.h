// The library index data/data.ini: the one imported book's name, chapter titles and the
// reading position.
//
// Every access is a single read or write of the INI file; nothing is cached besides what the
// callers keep. Reads pass no default (a missing key is the empty text, and 0 as an integer).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ini_file.h"
#include "platform/run_dir.h"

namespace lectoria {

/// Section and key names of data.ini (GBK).
namespace index_keys {
inline constexpr std::string_view kProperties = "\xCA\xF4\xD0\xD4";            // 属性
inline constexpr std::string_view kBookName = "\xCE\xC4\xBC\xFE\xC3\xFB";      // 文件名
inline constexpr std::string_view kChapterCount = "\xD5\xC2\xBD\xDA\xCA\xFD";  // 章节数
inline constexpr std::string_view kReadingHistory = "\xD4\xC4\xB6\xC1\xC0\xFA\xCA\xB7";  // 阅读历史
inline constexpr std::string_view kLineNumber = "\xD0\xD0\xBA\xC5";                      // 行号
/// Where in the clip of that line reading stopped, in milliseconds (absent: 0).
inline constexpr std::string_view kPlaceInLine = "\xD0\xD0\xC4\xDA\xCE\xBB\xD6\xC3";  // 行内位置
inline constexpr std::string_view kChapterIndex = "\xD5\xC2\xBD\xDA\xCB\xF7\xD2\xFD";  // 章节索引
}  // namespace index_keys

/// The chapter list never holds more rows than this, whatever "章节数" says: a damaged index
/// must not make start-up read or list without bound.
inline constexpr std::int32_t kMaxChapterCount = 100000;

/// Width of the stored reading position ("阅读历史", "行号"): the number padded with spaces
/// (which every reader of the file drops), so that a later save can rewrite it in place.
inline constexpr std::size_t kPositionValueWidth = 11;

/// `value` as the position is stored: decimal, padded with spaces to kPositionValueWidth.
std::string PositionValue(std::int64_t value);

/// data/data.ini of one run directory.
class LibraryIndex {
 public:
  explicit LibraryIndex(const RunPaths& paths) : ini_(paths.DataIni()) {}
  /// The index at `dataIni`, e.g. that of a book on the shelf.
  explicit LibraryIndex(std::filesystem::path dataIni) : ini_(std::move(dataIni)) {}

  /// True when data.ini exists: a book has been imported.
  bool Exists() const;

  // Reads, no default.
  /// "属性"/"文件名": the book's name, shown as the window title.
  std::string BookName() const;
  /// "属性"/"章节数" by the leading-number rule.
  std::int32_t ChapterCount() const;
  /// "章节索引"/k: the title of chapter k (1-based).
  std::string ChapterTitle(std::int32_t k) const;
  /// "属性"/"阅读历史": the 0-based chapter row being heard.
  std::int32_t ReadingHistory() const;
  /// "属性"/"行号": the 1-based line within that chapter's file.
  std::int32_t LineNumber() const;
  /// "属性"/"行内位置": milliseconds into that line's clip; 0 when absent or negative.
  std::int64_t PlaceInLine() const;

  // Writes; each saves the file at once. Failures are not reported (false is returned).
  // The position writes rewrite only their values when the file was laid out by the import
  // (one small write and flush, whatever the number of chapters); otherwise, e.g. for a file
  // the original program wrote, the whole file is saved once and laid out for the next time.
  bool WriteReadingHistory(std::int32_t row);
  bool WriteLineNumber(std::int32_t line);
  /// "阅读历史", "行号" and "行内位置" together, in one save.
  bool SavePosition(std::int32_t row, std::int32_t line, std::int64_t placeMs = 0);

  const IniFile& file() const { return ini_; }

 private:
  IniFile ini_;
};

}  // namespace lectoria
