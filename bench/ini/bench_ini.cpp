// Writes a new library index with 5000 chapter titles in one save, reads every title back the
// way start-up fills the chapter list (one read per key), then times the per-clip position
// update and a fresh parse of the whole index. Prints the figures and the goals.
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/ini_document.h"
#include "platform/ini_file.h"

namespace {

using Clock = std::chrono::steady_clock;

const std::string kProps = "\xCA\xF4\xD0\xD4";                  // 属性
const std::string kIndex = "\xD5\xC2\xBD\xDA\xCB\xF7\xD2\xFD";  // 章节索引
const std::string kCount = "\xD5\xC2\xBD\xDA\xCA\xFD";          // 章节数
const std::string kLine = "\xD0\xD0\xBA\xC5";                   // 行号
const std::string kDi = "\xB5\xDA";                             // 第
const std::string kZhang = "\xD5\xC2";                          // 章
// "风雪夜归人" as a title's text.
const std::string kTitleText = "\xB7\xE7\xD1\xA9\xD2\xB9\xB9\xE9\xC8\xCB";

double MillisSince(Clock::time_point start) {
  return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

}  // namespace

int main() {
  constexpr int kChapters = 5000;
  std::string pattern = (std::filesystem::temp_directory_path() / "lectoria-bench-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) {
    std::perror("mkdtemp");
    return 1;
  }
  const std::filesystem::path dir = pattern;
  const std::filesystem::path path = dir / "data.ini";

  std::vector<lectoria::IniFile::Entry> entries;
  entries.push_back({kProps, kCount, std::to_string(kChapters)});
  std::vector<std::string> titles;
  for (int k = 1; k <= kChapters; ++k) {
    titles.push_back(kDi + std::to_string(k) + kZhang + " " + kTitleText + std::to_string(k % 97));
    entries.push_back({kIndex, std::to_string(k), titles.back()});
  }
  entries.push_back({kProps, kLine, "1"});

  lectoria::IniFile ini(path);
  auto start = Clock::now();
  const bool saved = ini.WriteMany(entries);
  const double writeMs = MillisSince(start);

  start = Clock::now();
  int wrong = 0;
  for (int k = 1; k <= kChapters; ++k) {
    if (ini.Read(kIndex, std::to_string(k)) != titles[k - 1]) ++wrong;
  }
  const double readMs = MillisSince(start);

  // Once the copy has settled, a read is a stat() and a lookup.
  start = Clock::now();
  for (int k = 1; k <= kChapters; ++k) {
    if (ini.Read(kIndex, std::to_string(k)) != titles[k - 1]) ++wrong;
  }
  const double settledReadMs = MillisSince(start);

  start = Clock::now();
  constexpr int kUpdates = 20;
  for (int i = 0; i < kUpdates; ++i) ini.WriteInt(kProps, kLine, i + 2);
  const double updateMs = MillisSince(start) / kUpdates;

  const std::string bytes = [&] {
    std::string out;
    std::FILE* file = std::fopen(path.c_str(), "rb");
    char buffer[65536];
    for (std::size_t got; file && (got = std::fread(buffer, 1, sizeof buffer, file)) > 0;)
      out.append(buffer, got);
    if (file) std::fclose(file);
    return out;
  }();
  start = Clock::now();
  constexpr int kParses = 20;
  std::size_t sink = 0;
  for (int i = 0; i < kParses; ++i)
    sink += lectoria::IniDocument::Parse(bytes).Get(kIndex, "1").size();
  const double parseMs = MillisSince(start) / kParses;

  std::error_code ec;
  std::filesystem::remove_all(dir, ec);

  std::printf("INI index of %d chapter titles (%zu bytes)\n", kChapters, bytes.size());
  std::printf("  write all titles in one save:   %8.2f ms  (goal: well under 100 ms)%s\n", writeMs,
              saved ? "" : "  SAVE FAILED");
  std::printf("  read every title back (%d reads): %6.2f ms  (goal: well under 100 ms)%s\n",
              kChapters, readMs, wrong ? "  WRONG VALUES" : "");
  std::printf(
      "  the same reads again:           %8.2f ms  (the first reads after a save also "
      "compare the file's bytes)\n",
      settledReadMs);
  std::printf("  one position update (save):     %8.2f ms  (written at every clip)\n", updateMs);
  std::printf("  parse the whole index:          %8.2f ms  (%zu)\n", parseMs, sink / kParses);
  return saved && wrong == 0 ? 0 : 1;
}
