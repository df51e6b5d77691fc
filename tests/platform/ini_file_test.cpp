#include "platform/ini_file.h"

#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <random>
#include <thread>

#include <gtest/gtest.h>

#include "platform/file_util.h"
#include "platform/ini_document.h"
#include "scratch_dir.h"

namespace lectoria {
namespace {

using testing::ScratchDir;
using testing::Slurp;
using testing::Spit;

const std::string kSettings = "\xCF\xB5\xCD\xB3\xC9\xE8\xD6\xC3";              // 系统设置
const std::string kSkip = "\xCC\xF8\xB9\xFD\xCE\xDE\xD6\xD0\xCE\xC4\xD0\xD0";  // 跳过无中文行
const std::string kWake = "\xD0\xE8\xD2\xAA\xC6\xF4\xB6\xAF\xCA\xE4\xB3\xF6";  // 需要启动输出
const std::string kCache = "\xBB\xBA\xB4\xE6\xCA\xFD";                         // 缓存数
const std::string kProps = "\xCA\xF4\xD0\xD4";                                 // 属性
const std::string kIndex = "\xD5\xC2\xBD\xDA\xCB\xF7\xD2\xFD";                 // 章节索引
const std::string kLine = "\xD0\xD0\xBA\xC5";                                  // 行号
const std::string kDi = "\xB5\xDA";                                            // 第
const std::string kZhang = "\xD5\xC2";                                         // 章

bool RunningAsRoot() {
  return ::geteuid() == 0;
}

// Counts the files renamed onto `name` in a directory: one per save.
class SaveCounter {
 public:
  SaveCounter(const std::filesystem::path& directory, std::string name) : name_(std::move(name)) {
    fd_ = ::inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    ::inotify_add_watch(fd_, directory.c_str(), IN_MOVED_TO);
  }
  ~SaveCounter() { ::close(fd_); }
  int Count() {
    alignas(inotify_event) char buffer[4096];
    for (;;) {
      const ssize_t got = ::read(fd_, buffer, sizeof buffer);
      if (got <= 0) break;
      for (ssize_t at = 0; at < got;) {
        const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
        if (event->len > 0 && name_ == event->name) ++count_;
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    return count_;
  }

 private:
  std::string name_;
  int fd_ = -1;
  int count_ = 0;
};

TEST(IniFile, MissingFileGivesDefaultsAndReadsCreateNothing) {
  ScratchDir dir;
  const IniFile ini(dir / "config.ini");
  EXPECT_EQ(ini.Read(kSettings, kSkip, "\xD5\xE6  "), "\xD5\xE6");  // 真
  EXPECT_TRUE(ini.ReadBool(kSettings, kSkip, kIniTrue));
  EXPECT_FALSE(ini.ReadBool(kSettings, kWake, kIniFalse));
  EXPECT_EQ(ini.ReadInt(kSettings, kCache, "10"), 10);
  EXPECT_EQ(ini.Read(kSettings, "x"), "");
  EXPECT_FALSE(std::filesystem::exists(dir / "config.ini"));
}

TEST(IniFile, WritesTheSettingsFileByteForByte) {
  ScratchDir dir;
  IniFile ini(dir / "config.ini");
  ASSERT_TRUE(ini.WriteBool(kSettings, kSkip, false));
  ASSERT_TRUE(ini.WriteBool(kSettings, kWake, true));
  ASSERT_TRUE(ini.WriteInt(kSettings, "n", -1));
  ASSERT_TRUE(ini.WriteBool(kSettings, kSkip, true));
  EXPECT_EQ(Slurp(dir / "config.ini"), "[" + kSettings + "]\r\n" + kSkip + "=\xD5\xE6\r\n" + kWake +
                                           "=\xD5\xE6\r\n" + "n=-1\r\n");
  EXPECT_TRUE(ini.ReadBool(kSettings, kSkip));
  EXPECT_EQ(ini.ReadInt(kSettings, "N"), -1);
}

TEST(IniFile, LogicalAndIntegerReading) {
  ScratchDir dir;
  Spit(dir / "c.ini",
       "[s]\r\none=1\r\ntrue=true\r\nyes=\xD5\xE6\r\nno=\xBC\xD9\r\nnum= 42abc\r\n"
       "neg=-7\r\nword=abc\r\n");
  const IniFile ini(dir / "c.ini");
  EXPECT_FALSE(ini.ReadBool("s", "one"));
  EXPECT_FALSE(ini.ReadBool("s", "true"));
  EXPECT_TRUE(ini.ReadBool("s", "yes"));
  EXPECT_FALSE(ini.ReadBool("s", "no", kIniTrue));
  EXPECT_EQ(ini.ReadInt("s", "num"), 42);
  EXPECT_EQ(ini.ReadInt("s", "neg"), -7);
  EXPECT_EQ(ini.ReadInt("s", "word", "5"), 0);
  EXPECT_EQ(ini.ReadInt("s", "missing"), 0);
}

TEST(IniFile, ChapterTitlesRoundTripInGbk) {
  ScratchDir dir;
  IniFile ini(dir / "data.ini");
  const std::string titles[] = {
      kDi + "1" + kZhang + " a=b",              // "=" inside a title
      kDi + "2" + kZhang + "\xB0\x5D\xB0\x5C",  // trail bytes ']' and '\'
      "\xA1\xA1" + kDi + "3" + kZhang,          // full-width space is not a blank
      kDi + "4" + kZhang + " ;x",               // ";" after the start is literal
  };
  for (int k = 0; k < 4; ++k) ASSERT_TRUE(ini.Write(kIndex, std::to_string(k + 1), titles[k]));
  const IniFile other(dir / "data.ini");
  for (int k = 0; k < 4; ++k) EXPECT_EQ(other.Read(kIndex, std::to_string(k + 1)), titles[k]);

  // As the Windows reader returns values: outer blanks and one pair of quotes do not come back.
  ASSERT_TRUE(ini.Write(kIndex, "5", "  \"" + kDi + "5" + kZhang + "\"  "));
  EXPECT_EQ(ini.Read(kIndex, "5"), kDi + "5" + kZhang);
}

TEST(IniFile, SeesChangesMadeByAnotherProgram) {
  ScratchDir dir;
  const auto path = dir / "data.ini";
  IniFile ini(path);
  for (int round = 0; round < 20; ++round) {
    // Same size and (very likely) the same clock tick as the save just before.
    ASSERT_TRUE(ini.Write(kProps, kLine, "1"));
    ASSERT_EQ(ini.Read(kProps, kLine), "1");
    Spit(path, "[" + kProps + "]\r\n" + kLine + "=2\r\n");
    EXPECT_EQ(ini.Read(kProps, kLine), "2") << round;
  }
  // Replaced by rename, then deleted.
  Spit(dir / "new", "[" + kProps + "]\r\n" + kLine + "=3\r\n");
  std::filesystem::rename(dir / "new", path);
  EXPECT_EQ(ini.Read(kProps, kLine), "3");
  std::filesystem::remove(path);
  EXPECT_EQ(ini.Read(kProps, kLine, "gone"), "gone");
  // A write after an outside edit edits the outside version.
  Spit(path, "[a]\r\nx=1\r\n");
  ASSERT_TRUE(ini.Write("a", "y", "2"));
  EXPECT_EQ(Slurp(path), "[a]\r\nx=1\r\ny=2\r\n");
}

TEST(IniFile, ManyWritesAreSavedOnce) {
  ScratchDir dir;
  const auto path = dir / "data.ini";
  SaveCounter saves(dir.path(), "data.ini");
  std::vector<IniFile::Entry> entries;
  entries.push_back({kProps, "a", "1"});
  for (int k = 1; k <= 500; ++k) entries.push_back({kIndex, std::to_string(k), "t"});
  entries.push_back({kProps, "a", "2"});  // applied in order: the later write wins
  IniFile ini(path);
  ASSERT_TRUE(ini.WriteMany(entries));
  EXPECT_EQ(saves.Count(), 1);
  EXPECT_EQ(ini.Read(kProps, "a"), "2");
  EXPECT_EQ(ini.Read(kIndex, "500"), "t");

  // Writing what is already there saves nothing.
  ASSERT_TRUE(ini.Write(kIndex, "7", "t"));
  ASSERT_TRUE(ini.WriteMany({}));
  EXPECT_EQ(saves.Count(), 1);

  // An entry that cannot be stored is skipped; the rest is saved.
  EXPECT_FALSE(ini.WriteMany({{kProps, ";bad", "x"}, {kProps, "b", "3"}}));
  EXPECT_EQ(ini.Read(kProps, "b"), "3");
  EXPECT_EQ(saves.Count(), 2);
}

TEST(IniFile, SaveReplacesTheFileWhole) {
  ScratchDir dir;
  const auto path = dir / "data.ini";
  const std::string big(200000, 'a');
  const std::string small(100000, 'b');
  const std::string bigFile = "[s]\r\nk=" + big + "\r\n";
  const std::string smallFile = "[s]\r\nk=" + small + "\r\n";
  IniFile ini(path);
  ASSERT_TRUE(ini.Write("s", "k", big));
  ::chmod(path.c_str(), 0640);

  std::atomic<bool> done{false};
  std::atomic<int> torn{0};
  std::thread reader([&] {
    std::string bytes;
    while (!done) {
      if (!ReadFileBytes(path, bytes) || (bytes != bigFile && bytes != smallFile)) ++torn;
    }
  });
  for (int i = 0; i < 20; ++i) {
    ASSERT_TRUE(ini.Write("s", "k", i % 2 ? big : small));
  }
  done = true;
  reader.join();
  EXPECT_EQ(torn, 0);

  struct stat info {};
  ASSERT_EQ(::stat(path.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0640u);
  int entries = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.path()))
    ++entries;
  EXPECT_EQ(entries, 1) << "temporary files left behind";
}

TEST(IniFile, NeverReplacesAFileItCannotRead) {
  ScratchDir dir;
  // A directory where the file should be.
  std::filesystem::create_directory(dir / "d.ini");
  IniFile directory(dir / "d.ini");
  EXPECT_EQ(directory.Read("s", "k", "def"), "def");
  EXPECT_FALSE(directory.Write("s", "k", "v"));
  EXPECT_TRUE(std::filesystem::is_directory(dir / "d.ini"));

  // A missing directory is not created.
  EXPECT_FALSE(IniFile(dir / "no" / "x.ini").Write("s", "k", "v"));
  EXPECT_FALSE(std::filesystem::exists(dir / "no"));
}

TEST(IniFile, UnreadableFileOrDirectoryIsLeftAlone) {
  if (RunningAsRoot()) GTEST_SKIP() << "permissions do not bind root";
  ScratchDir dir;
  const auto locked = dir / "locked.ini";
  Spit(locked, "[s]\r\nk=keep\r\n");
  ::chmod(locked.c_str(), 0);
  IniFile unreadable(locked);
  EXPECT_EQ(unreadable.Read("s", "k", "def"), "def");
  EXPECT_FALSE(unreadable.Write("s", "k", "v"));
  ::chmod(locked.c_str(), 0600);
  EXPECT_EQ(Slurp(locked), "[s]\r\nk=keep\r\n");

  // A directory that cannot be written: the save fails and the file and its reads stay right.
  ScratchDir readOnly;
  const auto path = readOnly / "c.ini";
  IniFile ini(path);
  ASSERT_TRUE(ini.Write("s", "k", "1"));
  ::chmod(readOnly.path().c_str(), 0555);
  EXPECT_FALSE(ini.Write("s", "k", "2"));
  EXPECT_EQ(ini.Read("s", "k"), "1");
  EXPECT_EQ(Slurp(path), "[s]\r\nk=1\r\n");
}

TEST(IniFile, BadFilesParseAndKeepTheirBytes) {
  ScratchDir dir;
  std::mt19937 random(7);
  std::string garbage(100000, '\0');
  for (char& c : garbage) c = static_cast<char>(random());
  const std::string files[] = {
      std::string(5000, '\0'),
      std::string(300000, 'x'),                            // no line end
      "[s]\r\nk=" + std::string(1 << 20, '=') + "\r\n",    // a 1 MB line
      "[\x81\xFF]\r\n\x80\x81=\xFE\r\n[s\x81]\r\nk=\x81",  // invalid GBK
      garbage,
  };
  int n = 0;
  for (const std::string& bytes : files) {
    const auto path = dir / ("bad" + std::to_string(n++) + ".ini");
    Spit(path, bytes);
    IniFile ini(path);
    EXPECT_EQ(ini.Read("zz", "k", "d"), "d");
    ini.Read("s", "k");
    ASSERT_TRUE(ini.Write("zz", "k", "v"));
    const std::string after = Slurp(path);
    EXPECT_EQ(after.substr(0, bytes.size()), bytes);
    EXPECT_EQ(ini.Read("zz", "k"), "v");
  }
  // The 1 MB line's value comes back cut to the buffer.
  EXPECT_EQ(IniFile(dir / "bad2.ini").Read("s", "k").size(), kIniMaxValueBytes);
}

TEST(IniFile, SeveralThreadsLoseNoWrite) {
  ScratchDir dir;
  const auto path = dir / "data.ini";
  constexpr int kWriters = 4;
  constexpr int kKeys = 20;
  std::atomic<bool> done{false};
  std::atomic<int> wrong{0};
  std::vector<std::thread> threads;
  for (int w = 0; w < kWriters; ++w) {
    threads.emplace_back([&, w] {
      IniFile ini(path);  // one object per thread, as separate callers would have
      for (int k = 0; k < kKeys; ++k) {
        if (!ini.Write("w" + std::to_string(w), std::to_string(k), std::to_string(k * 7))) ++wrong;
      }
    });
  }
  for (int r = 0; r < 2; ++r) {
    threads.emplace_back([&, r] {
      const IniFile ini(path);
      std::mt19937 random(r);
      while (!done) {
        const int k = static_cast<int>(random() % kKeys);
        const std::string value =
            ini.Read("w" + std::to_string(random() % kWriters), std::to_string(k));
        if (!value.empty() && value != std::to_string(k * 7)) ++wrong;
      }
    });
  }
  for (int w = 0; w < kWriters; ++w) threads[w].join();
  done = true;
  for (std::size_t t = kWriters; t < threads.size(); ++t) threads[t].join();
  EXPECT_EQ(wrong, 0);

  const IniDocument final = IniDocument::Parse(Slurp(path));
  for (int w = 0; w < kWriters; ++w) {
    for (int k = 0; k < kKeys; ++k) {
      EXPECT_EQ(final.Get("w" + std::to_string(w), std::to_string(k)), std::to_string(k * 7));
    }
  }
}

}  // namespace
}  // namespace lectoria
