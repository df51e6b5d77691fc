#include "app/state/run_dir_claim.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "support/run_dir_fixture.h"

namespace lectoria {
namespace {

using testing::TempRunDir;

TEST(RunDirClaim, OneProgramPerDirectoryAndUnusablePathsAreRefused) {
  TempRunDir dir;
  dir.WriteFile("file", "x");
  const std::filesystem::path fresh = dir.root() / "new" / "home";

  struct Case {
    std::filesystem::path root;
    RunDirProblem problem;
  };
  const Case cases[] = {
      {dir.root() / "file", RunDirProblem::kNotADirectory},
      {dir.root() / "file" / "below", RunDirProblem::kNotADirectory},
      {fresh, RunDirProblem::kNone},  // created
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RunDirClaim::Take(c.root).problem(), c.problem) << c.root;
  }
  EXPECT_TRUE(std::filesystem::is_directory(fresh));

  RunDirClaim first = RunDirClaim::Take(dir.root());
  ASSERT_TRUE(first.ok()) << first.detail();
  EXPECT_EQ(RunDirClaim::Take(dir.root()).problem(), RunDirProblem::kInUse);
  RunDirClaim moved = std::move(first);  // the hold goes with the object
  EXPECT_EQ(RunDirClaim::Take(dir.root()).problem(), RunDirProblem::kInUse);
  moved = RunDirClaim::Take(fresh);  // releases the first directory
  EXPECT_TRUE(RunDirClaim::Take(dir.root()).ok());
  // Only the lock file is left behind.
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(fresh), {}), 1);

  // A directory without write permission (which binds every user but root).
  if (::geteuid() != 0) {
    const std::filesystem::path locked = dir.root() / "locked";
    std::filesystem::create_directory(locked);
    std::filesystem::permissions(
        locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(RunDirClaim::Take(locked).problem(), RunDirProblem::kNotWritable);
    std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
  }
}

TEST(RunDirClaim, StaleSaveFilesAreRemovedAndOthersKept) {
  TempRunDir dir;
  struct Case {
    const char* path;
    bool removed;
  };
  const Case cases[] = {
      {".config.ini.4242.0.tmp", true},
      {"data/.data.ini.17.3.tmp", true},
      {".lectoria-probe.99.0.tmp", true},
      {"config.ini", false},
      {"data/1.txt", false},
      {".config.ini.tmp", false},      // not a save's name
      {".config.ini.x.1.tmp", false},  // no process number
      {"temp/.0.mp3.5.1.tmp", false},  // temp/ is renewed by start-up itself
      {"data/sub/.a.1.2.tmp", false},
  };
  for (const Case& c : cases) dir.WriteFile(c.path, "x");
  EXPECT_EQ(RemoveStaleSaveFiles(dir.paths()), 3);
  for (const Case& c : cases)
    EXPECT_EQ(std::filesystem::exists(dir.root() / c.path), !c.removed) << c.path;
}

}  // namespace
}  // namespace lectoria
