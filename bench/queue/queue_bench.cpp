// Reading-queue benchmark: a book without title lines is one chapter of the whole book. The
// loader keeps that chapter in memory, so an advance costs a short scan, not a re-read.
//
// Prints the time of a reload (read, split, fill 10 slots) and of 1000 advances on a
// single-chapter 20 MB book. Goal: under 1 ms per advance.
#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "library/chapter_list.h"
#include "library/library_index.h"
#include "platform/codepage.h"
#include "reader/reading_queue.h"

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// 20 MB of GBK lines: mostly Chinese sentences, with blank, punctuation-only and Latin lines
// between them so the filter has work to do.
std::string MakeBook(std::size_t bytes) {
  using lectoria::Utf8ToGbk;
  const std::string lines[] = {
      Utf8ToGbk("　　他抬头望向窗外，夜色沉沉，远处的灯火一盏接一盏地熄灭了。"),
      "",
      Utf8ToGbk("……"),
      Utf8ToGbk("　　“你终于来了。”她轻声说道，声音里带着几分疲惫。"),
      "    Chapter notes: nothing to read here",
      Utf8ToGbk("　　风从山谷里吹上来，带着湿润的泥土气息。"),
  };
  std::string text;
  text.reserve(bytes + 256);
  for (std::size_t i = 0; text.size() < bytes; ++i) {
    text += lines[i % std::size(lines)];
    text += "\r\n";
  }
  return text;
}

}  // namespace

int main() {
  namespace fs = std::filesystem;
  const fs::path root =
      fs::temp_directory_path() / ("lectoria-queue-bench-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "data");
  const lectoria::RunPaths paths(root);
  {
    const std::string book = MakeBook(20u << 20);
    std::ofstream(paths.ChapterFile(1), std::ios::binary).write(book.data(), book.size());
    lectoria::IniFile(paths.DataIni())
        .Write(lectoria::index_keys::kProperties, lectoria::index_keys::kChapterCount, "1");
    lectoria::LibraryIndex index(paths);
    index.WriteReadingHistory(0);
    index.WriteLineNumber(1);
  }

  std::atomic<bool> skipNonChinese{true};
  lectoria::ReadingQueue queue(paths, skipNonChinese);
  queue.ChapterCount = 1;
  queue.Reset(10);

  queue.FillLine = 1;
  const auto reloadStart = Clock::now();
  queue.LoadQueue(true);
  const double reloadMs = Ms(Clock::now() - reloadStart);

  constexpr int kAdvances = 1000;
  const auto advanceStart = Clock::now();
  for (int i = 0; i < kAdvances; ++i) queue.LoadQueue(false);
  const double advanceMs = Ms(Clock::now() - advanceStart);
  const int lastClip = queue.Slot(10).QueueClip;
  const int lastLine = queue.Slot(10).QueueLine;

  // A reload from deep inside the chapter: the position is searched from line 1 of the file.
  queue.FillLine = 300000;
  const auto deepStart = Clock::now();
  queue.LoadQueue(true);
  const double deepMs = Ms(Clock::now() - deepStart);

  const double perAdvance = advanceMs / kAdvances;
  std::printf("queue_bench: one chapter of 20 MB, 10 slots, lines filtered for Chinese\n");
  std::printf("  reload from the start:        %8.2f ms\n", reloadMs);
  std::printf("  reload at line 300000:        %8.2f ms\n", deepMs);
  std::printf("  %d advances:                %8.2f ms  (%.4f ms per advance)\n", kAdvances,
              advanceMs, perAdvance);
  std::printf("  goal: under 1 ms per advance: %s\n", perAdvance < 1.0 ? "met" : "NOT MET");
  std::printf("  after the advances the last slot holds clip %d, line %d\n", lastClip, lastLine);

  // Start-up also lists every chapter title from the index: one INI read per chapter.
  constexpr int kChapters = 5000;
  {
    std::vector<lectoria::IniFile::Entry> entries;
    for (int k = 1; k <= kChapters; ++k)
      entries.push_back({std::string(lectoria::index_keys::kChapterIndex), std::to_string(k),
                         lectoria::Utf8ToGbk("第" + std::to_string(k) + "章 夜色沉沉")});
    entries.push_back({std::string(lectoria::index_keys::kProperties),
                       std::string(lectoria::index_keys::kChapterCount),
                       std::to_string(kChapters)});
    lectoria::IniFile(paths.DataIni()).WriteMany(entries);
  }
  const auto listStart = Clock::now();
  const auto rows = lectoria::ReadChapterRows(lectoria::LibraryIndex(paths));
  const double listMs = Ms(Clock::now() - listStart);
  std::printf("  chapter list of %zu titles read from data.ini: %.2f ms\n", rows.size(), listMs);

  // A book of one 50 MB line: the queue reads it in pieces, never the whole line.
  double lineReloadMs = 0;
  long peakKb = 0;
  {
    std::string line;
    const std::string sentence = lectoria::Utf8ToGbk("他抬头望向窗外，夜色沉沉，远处的灯火一盏接一盏地熄灭了。");
    while (line.size() < (50u << 20)) line += sentence;
    std::ofstream(paths.ChapterFile(1), std::ios::binary | std::ios::trunc)
        .write(line.data(), static_cast<std::streamsize>(line.size()));
    line.clear();
    line.shrink_to_fit();
    struct rusage before {};
    ::getrusage(RUSAGE_SELF, &before);
    queue.ChapterCount = 1;
    queue.FillLine = 1;
    const auto start = Clock::now();
    queue.LoadQueue(true);
    for (int i = 0; i < 100; ++i) queue.LoadQueue(false);
    lineReloadMs = Ms(Clock::now() - start);
    struct rusage after {};
    ::getrusage(RUSAGE_SELF, &after);
    peakKb = after.ru_maxrss;
  }
  std::printf("  one 50 MB line: reload and 100 advances %.2f ms (peak RSS of the whole run, test data included: %.1f MB)\n",
              lineReloadMs, peakKb / 1024.0);

  // Saving the position while reading a book of 100,000 chapters: the index as the import
  // lays it out, then one save per clip.
  constexpr int kBigBook = 100000;
  constexpr int kSaves = 200;
  double saveMs = 0, wholeMs = 0;
  {
    lectoria::RunPaths big(root / "big");
    fs::create_directories(big.DataDir());
    std::vector<lectoria::IniFile::Entry> entries;
    const std::string props(lectoria::index_keys::kProperties);
    entries.push_back({props, std::string(lectoria::index_keys::kBookName), "book"});
    for (int k = 1; k <= kBigBook; ++k)
      entries.push_back({std::string(lectoria::index_keys::kChapterIndex), std::to_string(k),
                         lectoria::Utf8ToGbk("第" + std::to_string(k) + "章 夜色沉沉")});
    entries.push_back({props, std::string(lectoria::index_keys::kChapterCount),
                       std::to_string(kBigBook)});
    entries.push_back({props, std::string(lectoria::index_keys::kReadingHistory),
                       lectoria::PositionValue(0)});
    entries.push_back({props, std::string(lectoria::index_keys::kLineNumber),
                       lectoria::PositionValue(1)});
    lectoria::IniFile ini(big.DataIni());
    ini.WriteMany(entries);
    lectoria::LibraryIndex index(big);
    const auto saveStart = Clock::now();
    for (int i = 0; i < kSaves; ++i) index.SavePosition(i / 50, i + 1);
    saveMs = Ms(Clock::now() - saveStart) / kSaves;
    // For comparison: what a save of the whole file costs.
    const auto wholeStart = Clock::now();
    for (int i = 0; i < 5; ++i)
      ini.Write(lectoria::index_keys::kProperties, lectoria::index_keys::kBookName,
                "book" + std::to_string(i));
    wholeMs = Ms(Clock::now() - wholeStart) / 5;
  }
  const bool saveMet = saveMs < 5.0;
  std::printf("  position save, %d chapters:  %8.2f ms per save (whole-file save: %.2f ms)\n",
              kBigBook, saveMs, wholeMs);
  std::printf("  goal: under 5 ms per position save: %s\n", saveMet ? "met" : "NOT MET");

  fs::remove_all(root);
  return perAdvance < 1.0 && saveMet ? 0 : 1;
}
