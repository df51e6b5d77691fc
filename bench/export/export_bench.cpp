// Speed of `lectoria --export` on the built-in speech service: a generated book of 50,000
// Chinese characters exported whole with --jobs 1 and --jobs 2, as audio made per second of
// wall time.
//
//   goal: at least 100x real time with two jobs, and the second job worth at least 1.6x
#include <stdlib.h>
#include <sys/resource.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>

#include "export/export_runner.h"
#include "export/mp3_frames.h"
#include "novel_generator.h"
#include "platform/file_util.h"

namespace {

namespace fs = std::filesystem;
using namespace lectoria;

constexpr int kChapters = 20;
constexpr std::size_t kChapterBytes = 5000;  // GBK: 2 bytes a character, so 50,000 in all

// CPU seconds used so far by this process and its finished children (the service processes).
double CpuSeconds() {
  double total = 0;
  for (int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
    rusage usage{};
    getrusage(who, &usage);
    for (const timeval& t : {usage.ru_utime, usage.ru_stime}) total += t.tv_sec + t.tv_usec / 1e6;
  }
  return total;
}

// Seconds of audio in the chapter files of `dir`.
double AudioSeconds(const fs::path& dir) {
  double seconds = 0;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir)) {
    std::string bytes;
    if (!ReadFileBytes(entry.path(), bytes)) continue;
    if (const auto clip = WalkMp3Frames(bytes)) seconds += clip->Seconds();
  }
  return seconds;
}

// Exports the whole book with `jobs` and returns audio seconds per wall second (0 on failure).
double Run(const fs::path& book, const fs::path& work, int jobs) {
  const fs::path output = work / ("jobs" + std::to_string(jobs));
  ExportOptions options;
  options.book = book.string();
  options.output = output.string();
  options.jobs = jobs;
  options.home = (work / "home").string();
  ExportConsole quiet;
  quiet.out = std::fopen("/dev/null", "w");
  std::atomic<bool> stop{false};
  const double cpuBefore = CpuSeconds();
  const auto start = std::chrono::steady_clock::now();
  const int status = RunExportCommand(options, quiet, stop);
  const double wall =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const double cpu = CpuSeconds() - cpuBefore;
  std::fclose(quiet.out);
  if (status != 0) {
    std::fprintf(stderr, "export with --jobs %d failed with status %d\n", jobs, status);
    return 0;
  }
  const double audio = AudioSeconds(output);
  std::printf("--jobs %d: %.0f s of audio in %.1f s: %.0fx real time (%.1f s of CPU)\n", jobs,
              audio, wall, audio / wall, cpu);
  return audio / wall;
}

}  // namespace

int main() {
  char pattern[] = "/tmp/lectoria-export-bench-XXXXXX";
  if (::mkdtemp(pattern) == nullptr) return 1;
  const fs::path work = pattern;
  const fs::path book = work / "book.txt";
  bench::WriteNovel(book, work / "book-utf8.txt", kChapters, kChapterBytes);
  std::printf("book: %d chapters, %zu characters\n", kChapters, kChapters * kChapterBytes / 2);

  const double one = Run(book, work, 1);
  const double two = Run(book, work, 2);
  RemoveTree(work);
  if (one <= 0 || two <= 0) return 1;
  const bool fast = two >= 100;
  const bool scales = two >= 1.6 * one;
  std::printf("two jobs: %.0fx real time   goal: at least 100x  [%s]\n", two,
              fast ? "met" : "NOT met");
  std::printf("second job: %.2fx the first   goal: at least 1.6x  [%s]\n", two / one,
              scales ? "met" : "NOT met");
  return fast && scales ? 0 : 1;
}
