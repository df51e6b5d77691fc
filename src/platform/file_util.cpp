#include "platform/file_util.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdint>

namespace lectoria {
namespace fs = std::filesystem;

namespace {

// Closes a file descriptor at the end of a scope.
class FdCloser {
 public:
  explicit FdCloser(int fd) : fd_(fd) {}
  ~FdCloser() {
    if (fd_ >= 0) ::close(fd_);
  }
  FdCloser(const FdCloser&) = delete;
  FdCloser& operator=(const FdCloser&) = delete;
  int Release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

bool Fail(std::error_code* error, int code) {
  if (error != nullptr) *error = std::error_code(code, std::generic_category());
  return false;
}

bool WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void SyncDirectory(const fs::path& directory) {
  const int fd = ::open(directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return;
  ::fsync(fd);  // best effort: the file itself is already on disk
  ::close(fd);
}

// Opens a new temporary file beside `target`. Hidden, and named after the target and this
// process so a leftover from a crash is recognisable.
int CreateTemporaryBeside(const fs::path& target, fs::path& temporary) {
  static std::atomic<unsigned> counter{0};
  const fs::path directory = target.has_parent_path() ? target.parent_path() : fs::path(".");
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = directory / ("." + target.filename().string() + "." + std::to_string(::getpid()) +
                             "." + std::to_string(counter++) + ".tmp");
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  return -1;
}

}  // namespace

bool ReadFileBytes(const fs::path& path, std::string& out, std::size_t maxBytes,
                   std::error_code* error) {
  out.clear();
  if (error != nullptr) error->clear();
  // O_NONBLOCK: opening a FIFO must not wait for a writer; it is refused below anyway.
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
  if (fd < 0) return Fail(error, errno);
  FdCloser closer(fd);
  struct stat info {};
  if (::fstat(fd, &info) != 0) return Fail(error, errno);
  if (S_ISDIR(info.st_mode)) return Fail(error, EISDIR);
  if (!S_ISREG(info.st_mode)) return Fail(error, EINVAL);
  if (static_cast<std::uint64_t>(info.st_size) > maxBytes) return Fail(error, EFBIG);
  out.resize(static_cast<std::size_t>(info.st_size));
  std::size_t filled = 0;
  // The file may grow or shrink while it is read: read until end of file, within the cap.
  for (;;) {
    if (filled == out.size()) {
      if (out.size() >= maxBytes) {
        char probe;
        const ssize_t more = ::read(fd, &probe, 1);
        if (more < 0 && errno == EINTR) continue;
        if (more == 0) break;
        out.clear();
        return Fail(error, more < 0 ? errno : EFBIG);
      }
      out.resize(std::min(maxBytes, std::max<std::size_t>(out.size() * 2, 4096)));
    }
    const ssize_t got = ::read(fd, out.data() + filled, out.size() - filled);
    if (got < 0) {
      if (errno == EINTR) continue;
      const int code = errno;
      out.clear();
      return Fail(error, code);
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  out.resize(filled);
  return true;
}

bool WriteFileAtomically(const fs::path& path, std::string_view bytes, bool syncToDisk) {
  std::error_code ec;
  fs::path target = path;
  if (fs::is_symlink(path, ec)) {
    fs::path resolved = fs::weakly_canonical(path, ec);
    if (ec) return false;
    target = std::move(resolved);
  }
  struct stat existing {};
  const bool keepMode = ::stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode);

  fs::path temporary;
  const int fd = CreateTemporaryBeside(target, temporary);
  if (fd < 0) return false;
  FdCloser closer(fd);
  const auto abandon = [&] {
    ::close(closer.Release());
    ::unlink(temporary.c_str());
    return false;
  };
  if (!WriteAll(fd, bytes)) return abandon();
  if (keepMode) ::fchmod(fd, existing.st_mode & 07777);
  if (syncToDisk && ::fsync(fd) != 0) return abandon();
  if (::close(closer.Release()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  if (::rename(temporary.c_str(), target.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  if (syncToDisk) SyncDirectory(target.has_parent_path() ? target.parent_path() : fs::path("."));
  return true;
}

bool FileExists(const fs::path& path) {
  std::error_code ec;
  const fs::file_status status = fs::status(path, ec);
  return !ec && fs::exists(status) && !fs::is_directory(status);
}

bool DirectoryExists(const fs::path& path) {
  std::error_code ec;
  return fs::is_directory(path, ec);
}

bool MakeDirectories(const fs::path& path) {
  std::error_code ec;
  fs::create_directories(path, ec);
  return DirectoryExists(path);
}

namespace {
bool NothingAt(const fs::path& path) {
  std::error_code ec;
  return fs::symlink_status(path, ec).type() == fs::file_type::not_found;
}
}  // namespace

bool RemoveTree(const fs::path& path) {
  std::error_code ec;
  fs::remove_all(path, ec);
  return NothingAt(path);
}

bool RemoveFile(const fs::path& path) {
  std::error_code ec;
  const fs::file_status status = fs::symlink_status(path, ec);
  if (status.type() == fs::file_type::not_found) return true;
  if (ec || fs::is_directory(status)) return false;
  fs::remove(path, ec);
  return NothingAt(path);
}

}  // namespace lectoria
