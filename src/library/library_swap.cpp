#include "library/library_swap.h"

#include <fcntl.h>
#include <cerrno>
#include <cstdio>
#include <system_error>

#include "platform/file_util.h"

namespace lectoria {
namespace {

namespace fs = std::filesystem;

bool Exists(const fs::path& path) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(path, ec));
}

bool Rename(const fs::path& from, const fs::path& to) {
  std::error_code ec;
  fs::rename(from, to, ec);
  return !ec;
}

}  // namespace

fs::path StagingDataDir(const RunPaths& paths) {
  return paths.Root() / "data.new";
}

fs::path RetiredDataDir(const RunPaths& paths) {
  return paths.Root() / "data.old";
}

void RecoverInterruptedImport(const RunPaths& paths) {
  const fs::path data = paths.DataDir();
  const fs::path retired = RetiredDataDir(paths);
  // Between the two renames of a swap only R/data.old holds a complete library: put it back.
  if (!Exists(data) && Exists(retired)) Rename(retired, data);
  RemoveTree(StagingDataDir(paths));
  RemoveTree(retired);
}

void DiscardStagingDir(const RunPaths& paths) {
  RemoveTree(StagingDataDir(paths));
}

bool SwapInStagedLibrary(const RunPaths& paths) {
  const fs::path data = paths.DataDir();
  const fs::path staging = StagingDataDir(paths);
  if (!Exists(data)) return Rename(staging, data);

  // One atomic step where the file system supports it: afterwards R/data.new holds the old
  // library, which a crash before its removal leaves to RecoverInterruptedImport.
  if (::renameat2(AT_FDCWD, staging.c_str(), AT_FDCWD, data.c_str(), RENAME_EXCHANGE) == 0) {
    RemoveTree(staging);
    return true;
  }
  if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return false;

  // Two renames; a crash between them leaves only R/data.old, which recovery moves back.
  const fs::path retired = RetiredDataDir(paths);
  RemoveTree(retired);
  if (!Rename(data, retired)) return false;
  if (!Rename(staging, data)) {
    Rename(retired, data);
    return false;
  }
  RemoveTree(retired);
  return true;
}

}  // namespace lectoria
