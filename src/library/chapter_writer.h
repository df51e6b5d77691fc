// Collects the text of one chapter and writes it to its chapter file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "library/book_file.h"

namespace lectoria {

/// Writes chapter files "<dir>/<k>.txt". The text of the chapter being collected stays in memory
/// until it is finished, so a chapter costs one create, one write and one close; only a chapter
/// larger than kSpillBytes (e.g. a huge line) goes to its file in pieces, so memory stays near
/// one chapter whatever the book.
class ChapterWriter {
 public:
  static constexpr std::size_t kSpillBytes = 1 << 20;

  explicit ChapterWriter(const std::filesystem::path& dir);
  ~ChapterWriter();
  ChapterWriter(const ChapterWriter&) = delete;
  ChapterWriter& operator=(const ChapterWriter&) = delete;

  /// Starts chapter file `k` (the previous one must be finished).
  void Begin(std::int64_t k);

  /// Appends bytes to the chapter.
  void Append(std::string_view text);

  /// Writes out the collected text and closes the chapter file. False when anything written
  /// for this chapter failed.
  bool Finish();

  /// False once anything failed (the directory could not be opened, a write failed).
  bool ok() const { return ok_; }

 private:
  void Spill();

  int dirFd_ = -1;
  std::int64_t chapter_ = 0;
  std::string text_;
  OutputFile file_;
  bool ok_ = true;
};

}  // namespace lectoria
