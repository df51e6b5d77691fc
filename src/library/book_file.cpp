#include "library/book_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace lectoria {

BookFile::~BookFile() {
  if (fd_ >= 0) ::close(fd_);
}

bool BookFile::Open(const std::filesystem::path& path) {
  if (fd_ >= 0) ::close(fd_);
  // O_NONBLOCK keeps open() from waiting for a writer when the path names a FIFO; it has no
  // effect on regular files, which are all we accept.
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd_ < 0) return false;
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    return false;
  }
  return true;
}

std::ptrdiff_t BookFile::Read(char* buffer, std::size_t size) {
  if (fd_ < 0) return -1;
  for (;;) {
    const ssize_t n = ::read(fd_, buffer, size);
    if (n >= 0) return n;
    if (errno != EINTR) return -1;
  }
}

OutputFile::~OutputFile() {
  Close();
}

bool OutputFile::Create(const std::filesystem::path& path) {
  Close();
  fd_ = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0644);
  return fd_ >= 0;
}

bool OutputFile::Write(std::string_view data) {
  if (fd_ < 0) return false;
  while (!data.empty()) {
    const ssize_t n = ::write(fd_, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool OutputFile::Close() {
  if (fd_ < 0) return true;
  const int rc = ::close(fd_);
  fd_ = -1;
  return rc == 0;
}

void LineCounter::Add(std::string_view block) {
  if (block.empty()) return;
  const char* p = block.data();
  const char* const end = p + block.size();
  while ((p = static_cast<const char*>(std::memchr(p, '\n', end - p))) != nullptr) {
    ++lineEnds_;
    ++p;
  }
  lastEndsLine_ = block.back() == '\n';
}

LineReader::LineReader(BookFile& file)
    : file_(file), buffer_(std::make_unique<char[]>(kBookBlockBytes)) {}

bool LineReader::Fill() {
  if (atEnd_) return false;
  const std::ptrdiff_t n = file_.Read(buffer_.get(), kBookBlockBytes);
  if (n <= 0) {
    atEnd_ = true;
    failed_ = n < 0;
    return false;
  }
  pos_ = 0;
  end_ = static_cast<std::size_t>(n);
  return true;
}

bool LineReader::Next(std::string& line) {
  line.clear();
  bool started = false;
  for (;;) {
    if (pos_ == end_ && !Fill()) {
      // The last line of a file that does not end in a terminator.
      trailPending_ = false;
      return started && !failed_;
    }
    started = true;
    const auto* b = reinterpret_cast<const unsigned char*>(buffer_.get());
    std::size_t i = pos_;
    if (trailPending_) {
      trailPending_ = false;
      ++i;
    }
    while (i < end_) {
      const unsigned char c = b[i];
      if (c >= 0x81 && c <= 0xFE) {
        if (i + 1 < end_) {
          i += 2;
          continue;
        }
        trailPending_ = true;
        ++i;
        break;
      }
      if (c == '\n' || c == 0 || c == 0x1A) {
        line.append(buffer_.get() + pos_, i - pos_);
        pos_ = i + 1;
        if (c == '\n' && !line.empty() && line.back() == '\r') line.pop_back();
        return true;
      }
      ++i;
    }
    line.append(buffer_.get() + pos_, i - pos_);
    pos_ = i;
  }
}

}  // namespace lectoria
