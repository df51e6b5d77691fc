#include "platform/file_util.h"

#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "scratch_dir.h"

namespace lectoria {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;
using testing::Slurp;
using testing::Spit;

TEST(ReadFileBytes, ReadsExactBytesWithinTheCap) {
  ScratchDir dir;
  const std::string bytes("a\0b\r\n\xFF", 6);
  Spit(dir / "f", bytes);
  std::string out = "old";
  std::error_code error;
  ASSERT_TRUE(ReadFileBytes(dir / "f", out, 6, &error));
  EXPECT_EQ(out, bytes);
  EXPECT_FALSE(error);

  EXPECT_FALSE(ReadFileBytes(dir / "f", out, 5, &error));
  EXPECT_EQ(error, std::errc::file_too_large);
  EXPECT_TRUE(out.empty());

  Spit(dir / "empty", "");
  EXPECT_TRUE(ReadFileBytes(dir / "empty", out, 0));
  EXPECT_TRUE(out.empty());
}

TEST(ReadFileBytes, RefusesWhatIsNoRegularFile) {
  ScratchDir dir;
  std::string out;
  std::error_code error;
  EXPECT_FALSE(ReadFileBytes(dir / "missing", out, 100, &error));
  EXPECT_EQ(error, std::errc::no_such_file_or_directory);
  EXPECT_FALSE(ReadFileBytes(dir.path(), out));
  // A pipe with no writer would block a plain read for ever.
  ASSERT_EQ(::mkfifo((dir / "pipe").c_str(), 0600), 0);
  EXPECT_FALSE(ReadFileBytes(dir / "pipe", out));
}

TEST(WriteFileAtomically, CreatesAndReplacesKeepingPermissions) {
  ScratchDir dir;
  const fs::path path = dir / "f.txt";
  ASSERT_TRUE(WriteFileAtomically(path, "one"));
  EXPECT_EQ(Slurp(path), "one");
  ::chmod(path.c_str(), 0604);
  ASSERT_TRUE(WriteFileAtomically(path, std::string("t\0o", 3), /*syncToDisk=*/false));
  EXPECT_EQ(Slurp(path), std::string("t\0o", 3));
  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0604u);

  // A link is followed: its target gets the new bytes, the link stays.
  fs::create_symlink(path, dir / "link");
  ASSERT_TRUE(WriteFileAtomically(dir / "link", "three"));
  EXPECT_TRUE(fs::is_symlink(dir / "link"));
  EXPECT_EQ(Slurp(path), "three");

  EXPECT_FALSE(WriteFileAtomically(dir / "no" / "f", "x"));
  EXPECT_FALSE(WriteFileAtomically(dir.path(), "x"));  // a directory is not replaced
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : fs::directory_iterator(dir.path())) ++entries;
  EXPECT_EQ(entries, 2) << "temporary files left behind";
}

TEST(FileHelpers, ExistenceCreationAndRemoval) {
  ScratchDir dir;
  const fs::path tree = dir / "a" / "b" / "c";
  EXPECT_FALSE(DirectoryExists(tree));
  ASSERT_TRUE(MakeDirectories(tree));
  ASSERT_TRUE(MakeDirectories(tree));  // already there
  EXPECT_TRUE(DirectoryExists(tree));
  EXPECT_FALSE(FileExists(tree));
  Spit(tree / "f", "x");
  EXPECT_TRUE(FileExists(tree / "f"));
  EXPECT_FALSE(DirectoryExists(tree / "f"));
  EXPECT_FALSE(MakeDirectories(tree / "f"));  // a file is in the way

  EXPECT_FALSE(RemoveFile(tree));  // directories are not files
  EXPECT_TRUE(RemoveFile(tree / "f"));
  EXPECT_FALSE(FileExists(tree / "f"));
  EXPECT_TRUE(RemoveFile(tree / "f"));  // missing is no error

  Spit(tree / "g", "x");
  EXPECT_TRUE(RemoveTree(dir / "a"));
  EXPECT_FALSE(DirectoryExists(dir / "a"));
  EXPECT_TRUE(RemoveTree(dir / "a"));  // missing is no error
  EXPECT_TRUE(DirectoryExists(dir.path()));
}

}  // namespace
}  // namespace lectoria
