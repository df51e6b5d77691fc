// Collects the text of one chapter and writes it to its chapter file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "library/book_file.h"

namespace lectoria {

/// Writes chapter files "<dir>/<k>.txt". The text of the chapter being collected stays in memory
/// until it is finished; only a chapter larger than kSpillBytes (e.g. a whole book without
/// titles) goes to its file in pieces, so memory stays near one chapter whatever the book.
class ChapterWriter {
 public:
  static constexpr std::size_t kSpillBytes = 1 << 20;

  explicit ChapterWriter(std::filesystem::path dir);

  /// Starts collecting chapter file `k` with `firstLine`. Text collected before and not finished
  /// is dropped (a file it spilled to is rewritten when chapter `k` is finished, or left for the
  /// caller to discard).
  void Begin(std::int64_t k, std::string_view firstLine);

  /// Appends CR LF and `line` to the chapter.
  void AppendLine(std::string_view line);

  /// Writes out the collected text and closes the chapter file. False when anything written
  /// for this chapter failed.
  bool Finish();

  /// False once a write has failed.
  bool ok() const { return ok_; }

 private:
  void Spill();
  bool OpenFile();

  std::filesystem::path dir_;
  std::int64_t chapter_ = 0;
  std::string text_;
  OutputFile file_;
  bool ok_ = true;
};

}  // namespace lectoria
