// Claiming the run directory R for one running program.
#pragma once

#include <filesystem>
#include <string>

#include "platform/run_dir.h"

namespace lectoria {

/// Why a run directory cannot be used.
enum class RunDirProblem {
  kNone,
  kNotADirectory,  // the path, or a part of it, is a file
  kNotWritable,    // no permission, or a read-only file system
  kNoSpace,        // the disk is full
  kInUse,          // another program holds it
};

/// An exclusive hold on a run directory for the life of the object: the lock file R/.lock,
/// locked with flock. The kernel drops the lock when the process ends, however it ends, so a
/// crash never leaves the directory claimed. A second program on the same directory — which
/// would renew temp/ under the first one's feet and read along with it — is refused.
class RunDirClaim {
 public:
  /// Creates `root` when missing, checks that it is a writable directory with room for a
  /// clip, and locks it. Nothing in the directory is changed when the claim fails (beyond
  /// creating the lock file).
  static RunDirClaim Take(const std::filesystem::path& root);

  RunDirClaim(RunDirClaim&& other) noexcept;
  RunDirClaim& operator=(RunDirClaim&& other) noexcept;
  RunDirClaim(const RunDirClaim&) = delete;
  RunDirClaim& operator=(const RunDirClaim&) = delete;
  ~RunDirClaim();

  bool ok() const { return problem_ == RunDirProblem::kNone; }
  RunDirProblem problem() const { return problem_; }
  /// The system's words for the failure (strerror), empty when there are none.
  const std::string& detail() const { return detail_; }

 private:
  RunDirClaim() = default;
  static RunDirClaim Failed(RunDirProblem problem, int error);
  void Release();

  int fd_ = -1;
  RunDirProblem problem_ = RunDirProblem::kNone;
  std::string detail_;
};

/// Removes the hidden temporary files (".<name>.<pid>.<n>.tmp") that saves interrupted by a
/// crash leave beside config.ini and data.ini, in R and R/data. Call only while holding the
/// claim, when no save of another program can be under way. Returns how many were removed.
int RemoveStaleSaveFiles(const RunPaths& paths);

}  // namespace lectoria
