#include "platform/run_dir.h"

#include <stdlib.h>

#include <gtest/gtest.h>

#include "platform/file_util.h"
#include "scratch_dir.h"

namespace lectoria {
namespace {

namespace fs = std::filesystem;
using testing::ScratchDir;
using testing::Spit;

TEST(RunDir, ChoiceFollowsTheOrderOfSources) {
  RunDirSources all;
  all.homeOption = "/opt/h/";
  all.lectoriaHome = "/env/h";
  all.executableDir = "/usr/bin";
  all.executableDirWritable = true;
  all.xdgDataHome = "/x/data";
  all.home = "/home/u";

  const struct {
    const char* name;
    void (*change)(RunDirSources&);
    const char* expected;
  } cases[] = {
      {"--home first (no trailing slash)", [](RunDirSources&) {}, "/opt/h"},
      {"empty --home is not given", [](RunDirSources& s) { s.homeOption = ""; }, "/env/h"},
      {"then LECTORIA_HOME", [](RunDirSources& s) { s.homeOption.reset(); }, "/env/h"},
      {"then a writable executable directory",
       [](RunDirSources& s) {
         s.homeOption.reset();
         s.lectoriaHome.clear();
       },
       "/usr/bin"},
      {"then XDG_DATA_HOME",
       [](RunDirSources& s) {
         s.homeOption.reset();
         s.lectoriaHome.clear();
         s.executableDirWritable = false;
       },
       "/x/data/lectoria"},
      {"relative XDG_DATA_HOME is ignored",
       [](RunDirSources& s) {
         s.homeOption.reset();
         s.lectoriaHome.clear();
         s.executableDirWritable = false;
         s.xdgDataHome = "rel";
       },
       "/home/u/.local/share/lectoria"},
      {"unknown executable directory",
       [](RunDirSources& s) {
         s.homeOption.reset();
         s.lectoriaHome.clear();
         s.executableDir.clear();
         s.xdgDataHome.clear();
       },
       "/home/u/.local/share/lectoria"},
  };
  for (const auto& c : cases) {
    RunDirSources sources = all;
    c.change(sources);
    EXPECT_EQ(ChooseRunDir(sources), fs::path(c.expected)) << c.name;
  }

  RunDirSources relative;
  relative.homeOption = "some/../dir";
  EXPECT_EQ(ChooseRunDir(relative), fs::current_path() / "dir");
}

TEST(RunDir, ResolveUsesTheOptionThenTheEnvironmentAndCreatesTheDirectory) {
  ScratchDir dir;
  const char* saved = std::getenv("LECTORIA_HOME");
  const std::string savedValue = saved ? saved : "";

  ::setenv("LECTORIA_HOME", (dir / "env").c_str(), 1);
  EXPECT_EQ(ResolveRunDir(dir.path().string() + "/opt/"), dir / "opt");
  EXPECT_TRUE(DirectoryExists(dir / "opt"));
  EXPECT_EQ(ResolveRunDir(), dir / "env");
  EXPECT_TRUE(DirectoryExists(dir / "env"));

  // The test program's own directory is writable, so it is R.
  ::unsetenv("LECTORIA_HOME");
  EXPECT_EQ(ResolveRunDir(), ExecutableDir());

  if (saved) ::setenv("LECTORIA_HOME", savedValue.c_str(), 1);
}

TEST(RunDir, ExecutableDirHoldsThisProgram) {
  const fs::path directory = ExecutableDir();
  ASSERT_TRUE(directory.is_absolute());
  EXPECT_TRUE(FileExists(directory / "platform_tests"));
}

TEST(RunPaths, FixedTails) {
  const RunPaths paths("/r");
  EXPECT_EQ(paths.ConfigIni(), "/r/config.ini");
  EXPECT_EQ(paths.DataIni(), "/r/data/data.ini");
  EXPECT_EQ(paths.ChapterFile(12), "/r/data/12.txt");
  EXPECT_EQ(paths.TempText(), "/r/temp/temp.txt");
  EXPECT_EQ(paths.Clip(0), "/r/temp/0.mp3");
}

TEST(RunPaths, WakeClipPrefersTheRunDirectory) {
  ScratchDir dir;
  const RunPaths paths(dir.path());
  EXPECT_EQ(paths.WakeClip(), ExecutableDir() / "1.mp3");
  Spit(dir / "1.mp3", "ID3");
  EXPECT_EQ(paths.WakeClip(), dir / "1.mp3");
}

}  // namespace
}  // namespace lectoria
