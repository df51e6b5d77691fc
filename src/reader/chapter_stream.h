// Reading a chapter file forward in pieces, never holding more of it than one piece needs.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace lectoria {

/// Lines of more than this many bytes are read in pieces: the speech service takes a limited
/// text per request, and a huge line must not be loaded whole.
inline constexpr std::size_t kMaxPieceBytes = 1000;

/// One piece of a chapter's line: the whole line, or a part of a long one.
struct ChapterPiece {
  std::string text;
  std::int32_t line = 0;  ///< 1-based line of the chapter file
  bool endsLine = true;   ///< the rest of the line follows in the next piece when false
};

/// Reads a chapter file (GBK, lines split at CR LF on character boundaries, the text ending at
/// the first NUL or 0x1A byte, as ReadChapterText gives it) piece by piece. A line longer than
/// kMaxPieceBytes is cut after the last sentence mark, comma or space in its first
/// kMaxPieceBytes (or there, on a character boundary). Memory stays at one read block and one
/// piece; time is proportional to the bytes read.
class ChapterStream {
 public:
  /// A place in the file to come back to.
  struct Mark {
    std::int64_t offset = 0;
    std::int32_t line = 1;
  };

  ChapterStream() = default;
  ~ChapterStream();
  ChapterStream(const ChapterStream&) = delete;
  ChapterStream& operator=(const ChapterStream&) = delete;

  /// Opens the file at its first line. A missing or unreadable file reads as empty.
  void Open(const std::filesystem::path& path);
  void Close();

  /// Moves to the start of line `line` (1-based) by reading from the start of the file.
  void SeekLine(std::int32_t line);
  Mark Tell() const { return {bufferOffset_ + static_cast<std::int64_t>(pos_), line_}; }
  void Seek(const Mark& mark);

  /// The next piece; false at the end of the text.
  bool Next(ChapterPiece& piece);

 private:
  bool Fill(std::size_t want);

  int fd_ = -1;
  std::string buffer_;
  std::size_t pos_ = 0;
  std::int64_t bufferOffset_ = 0;  // file offset of buffer_[0]
  bool end_ = true;                // nothing more to read from the file
  std::int32_t line_ = 1;
};

}  // namespace lectoria
