#include "app/state/run_dir_claim.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string_view>
#include <system_error>

namespace lectoria {
namespace fs = std::filesystem;

namespace {

// The probe written at every start: about what two clips take, so that a disk too full to
// hold the audio cache is found now rather than when the first clip fails.
constexpr std::size_t kProbeBytes = 64 * 1024;

RunDirProblem ProblemOf(int error) {
  switch (error) {
    case ENOTDIR:
    case EEXIST:
      return RunDirProblem::kNotADirectory;
    case ENOSPC:
    case EDQUOT:
      return RunDirProblem::kNoSpace;
    default:
      return RunDirProblem::kNotWritable;
  }
}

// Writes and removes a probe file in `root`; 0 when it could be written and flushed to disk,
// otherwise the error.
int ProbeWrite(const fs::path& root) {
  // Named as a save leftover, so that one left by a crash is removed at the next start.
  const fs::path probe = root / (".lectoria-probe." + std::to_string(::getpid()) + ".0.tmp");
  const int fd = ::open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return errno;
  const std::string block(kProbeBytes, '\0');
  int error = 0;
  std::size_t done = 0;
  while (done < block.size() && error == 0) {
    const ssize_t n = ::write(fd, block.data() + done, block.size() - done);
    if (n < 0 && errno != EINTR) error = errno;
    if (n > 0) done += static_cast<std::size_t>(n);
  }
  // A full disk may only show when the blocks are allocated on the way to the disk.
  if (error == 0 && ::fsync(fd) != 0) error = errno;
  ::close(fd);
  ::unlink(probe.c_str());
  return error;
}

bool IsDigits(std::string_view text) {
  return !text.empty() && text.find_first_not_of("0123456789") == std::string_view::npos;
}

// ".<name>.<pid>.<n>.tmp", as the atomic save names its temporary file.
bool IsSaveLeftover(std::string_view name) {
  constexpr std::string_view kSuffix = ".tmp";
  if (name.size() < 2 + kSuffix.size() || name[0] != '.' || !name.ends_with(kSuffix)) return false;
  name.remove_suffix(kSuffix.size());
  const std::size_t counterDot = name.rfind('.');
  if (counterDot == std::string_view::npos || !IsDigits(name.substr(counterDot + 1))) return false;
  name = name.substr(0, counterDot);
  const std::size_t pidDot = name.rfind('.');
  return pidDot != std::string_view::npos && pidDot > 1 && IsDigits(name.substr(pidDot + 1));
}

}  // namespace

RunDirClaim RunDirClaim::Failed(RunDirProblem problem, int error) {
  RunDirClaim claim;
  claim.problem_ = problem;
  if (error != 0) claim.detail_ = std::strerror(error);
  return claim;
}

RunDirClaim RunDirClaim::Take(const fs::path& root) {
  std::error_code ec;
  if (fs::exists(root, ec) && !fs::is_directory(root, ec))
    return Failed(RunDirProblem::kNotADirectory, ENOTDIR);
  if (!fs::is_directory(root, ec)) {
    fs::create_directories(root, ec);
    if (ec) return Failed(ProblemOf(ec.value()), ec.value());
  }
  const fs::path lockFile = root / ".lock";
  const int fd = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
  if (fd < 0) {
    const int error = errno;
    return Failed(ProblemOf(error), error);
  }
  RunDirClaim claim;
  claim.fd_ = fd;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int error = errno;
    claim.Release();
    return Failed(error == EWOULDBLOCK ? RunDirProblem::kInUse : RunDirProblem::kNotWritable,
                  error == EWOULDBLOCK ? 0 : error);
  }
  if (const int error = ProbeWrite(root); error != 0) {
    claim.Release();
    return Failed(ProblemOf(error), error);
  }
  return claim;
}

RunDirClaim::RunDirClaim(RunDirClaim&& other) noexcept
    : fd_(other.fd_), problem_(other.problem_), detail_(std::move(other.detail_)) {
  other.fd_ = -1;
}

RunDirClaim& RunDirClaim::operator=(RunDirClaim&& other) noexcept {
  if (this != &other) {
    Release();
    fd_ = other.fd_;
    problem_ = other.problem_;
    detail_ = std::move(other.detail_);
    other.fd_ = -1;
  }
  return *this;
}

RunDirClaim::~RunDirClaim() {
  Release();
}

void RunDirClaim::Release() {
  if (fd_ >= 0) ::close(fd_);  // closing the only descriptor drops the lock
  fd_ = -1;
}

int RemoveStaleSaveFiles(const RunPaths& paths) {
  int removed = 0;
  for (const fs::path& directory : {paths.Root(), paths.DataDir()}) {
    std::error_code ec;
    for (fs::directory_iterator it(directory, ec), end; !ec && it != end; it.increment(ec)) {
      std::error_code typeError;
      if (!IsSaveLeftover(it->path().filename().string()) || !it->is_regular_file(typeError))
        continue;
      std::error_code removeError;
      if (fs::remove(it->path(), removeError)) ++removed;
    }
  }
  return removed;
}

}  // namespace lectoria
