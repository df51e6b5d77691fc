// Block-wise file access for the book import: the book read in large blocks, its lines, and
// the files written. Failures are reported as results, never as exceptions.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace lectoria {

/// A regular file opened for reading. Anything else (a directory, a pipe, a device) is refused,
/// so that reading can neither block nor run forever.
class BookFile {
 public:
  BookFile() = default;
  ~BookFile();
  BookFile(const BookFile&) = delete;
  BookFile& operator=(const BookFile&) = delete;

  /// Opens `path`; false when it is missing, not a regular file or not readable.
  bool Open(const std::filesystem::path& path);

  /// Reads up to `size` bytes into `buffer`: the count, 0 at the end of the file, -1 on error.
  std::ptrdiff_t Read(char* buffer, std::size_t size);

 private:
  int fd_ = -1;
};

/// A file created (or truncated) for writing; every write goes straight to the system.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Create(const std::filesystem::path& path);
  bool IsOpen() const { return fd_ >= 0; }
  /// Writes all of `data`; false on any failure (e.g. a full disk).
  bool Write(std::string_view data);
  /// Closes the file; false when closing reported an error. Closing a closed file is fine.
  bool Close();

 private:
  int fd_ = -1;
};

/// Size of the blocks the import reads and writes.
inline constexpr std::size_t kBookBlockBytes = 1 << 20;

/// Counts the lines of a book fed to it block by block, splitting at every LF: each LF ends one
/// line, and what follows the last LF is one more line when it is not empty.
class LineCounter {
 public:
  void Add(std::string_view block);
  std::int64_t Lines() const { return lastEndsLine_ ? lineEnds_ : lineEnds_ + 1; }

 private:
  std::int64_t lineEnds_ = 0;
  bool lastEndsLine_ = true;  // nothing seen yet: no unterminated last line
};

/// Reads a GBK book line by line. A line ends at a LF, a NUL or a 0x1A byte (the byte is
/// consumed); a CR right before a LF is dropped. A GBK lead byte (81-FE) always takes the next
/// byte along as its trail byte, so a malformed trail byte is never taken for a line end.
class LineReader {
 public:
  explicit LineReader(BookFile& file);

  /// The next line into `line`; false at the end of the file or on a read error.
  bool Next(std::string& line);
  bool failed() const { return failed_; }

 private:
  bool Fill();

  BookFile& file_;
  std::unique_ptr<char[]> buffer_;
  std::size_t pos_ = 0;
  std::size_t end_ = 0;
  bool trailPending_ = false;  // the block ended right after a lead byte
  bool atEnd_ = false;
  bool failed_ = false;
};

}  // namespace lectoria
