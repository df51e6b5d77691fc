// Block-wise file access for the book import: the book read in large blocks, and the files
// written. Failures are reported as results, never as exceptions.
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

  /// The file's size when it was opened.
  std::int64_t Size() const { return size_; }

 private:
  int fd_ = -1;
  std::int64_t size_ = 0;
};

/// A file created (or truncated) for writing; every write goes straight to the system.
class OutputFile {
 public:
  OutputFile() = default;
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  bool Create(const std::filesystem::path& path);
  /// Creates `name` in the directory open as `dirFd` (no path lookup from the root).
  bool CreateAt(int dirFd, const char* name);
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

}  // namespace lectoria
