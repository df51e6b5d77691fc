#include "library/book_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <cerrno>

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
  size_ = static_cast<std::int64_t>(st.st_size);
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

bool OutputFile::CreateAt(int dirFd, const char* name) {
  Close();
  fd_ = ::openat(dirFd, name, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0644);
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

}  // namespace lectoria
