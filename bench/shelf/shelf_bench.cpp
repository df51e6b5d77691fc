// Bookshelf benchmark: a shelf of 200 books, each with an index of 1000 chapters (as long web
// novels have), is opened in the window (every book's index read, the rows formatted) and
// books are switched back and forth (reading stopped, the directories exchanged and flushed,
// the chapter list, position and queue restored). The core runs over the tests' headless ports;
// times are wall clock, the median of the rounds.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/core/app.h"
#include "library/bookshelf.h"
#include "library/library_index.h"
#include "platform/codepage.h"
#include "support/fake_clip_player.h"
#include "support/fake_dialogs.h"
#include "support/fake_ports.h"
#include "support/manual_ui_thread.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using lectoria::BookId;

constexpr int kBooks = 200;
constexpr int kChapters = 1000;
constexpr int kRounds = 20;

// A book's library in `dir`: its index of kChapters titles and the first three chapter files
// (the ones a restore reads; the others play no part in listing or switching).
void WriteBook(const fs::path& dir, BookId id) {
  fs::create_directories(dir);
  using namespace lectoria::index_keys;
  const std::string props(kProperties);
  std::vector<lectoria::IniFile::Entry> entries;
  entries.push_back(
      {props, std::string(kBookName), lectoria::Utf8ToGbk("第" + std::to_string(id) + "本书")});
  for (int k = 1; k <= kChapters; ++k)
    entries.push_back({std::string(kChapterIndex), std::to_string(k),
                       lectoria::Utf8ToGbk("第" + std::to_string(k) + "章 夜色沉沉")});
  entries.push_back({props, std::string(kChapterCount), std::to_string(kChapters)});
  entries.push_back({props, std::string(kReadingHistory), lectoria::PositionValue(id % 3)});
  entries.push_back({props, std::string(kLineNumber), lectoria::PositionValue(2)});
  lectoria::IniFile(dir / "data.ini").WriteMany(entries);
  for (int k = 1; k <= 3; ++k) {
    std::ofstream out(dir / (std::to_string(k) + ".txt"), std::ios::binary);
    out << lectoria::Utf8ToGbk("第" + std::to_string(k) + "章 夜色沉沉");
    for (int line = 0; line < 40; ++line)
      out << "\r\n" << lectoria::Utf8ToGbk("他抬头望向窗外，远处的灯火一盏接一盏地熄灭了。");
  }
  lectoria::WriteBookRecord(dir, id, "/books/" + std::to_string(id) + ".txt", 1000000 + id);
}

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

}  // namespace

int main() {
  const fs::path root =
      fs::temp_directory_path() / ("lectoria-shelf-bench-" + std::to_string(::getpid()));
  fs::remove_all(root);
  const lectoria::RunPaths paths(root);
  WriteBook(paths.DataDir(), 1);
  for (BookId id = 2; id <= kBooks; ++id) WriteBook(lectoria::ShelfBookDir(paths, id), id);
  ::sync();

  lectoria::ManualUiThread ui;
  lectoria::FakeHotkeyBackend hotkeys;
  lectoria::FakeMessageBox messages;
  lectoria::FakeFileDialog fileDialog;
  lectoria::testing::FakeClipPlayer player;
  lectoria::FakeProgressDialog progress;
  lectoria::FakeShelfView shelf;
  lectoria::FakeQuestions questions;
  int failures = 0;
  std::vector<double> firstOpen, open, switches;
  {
    lectoria::App app(root, lectoria::AppPorts{ui, hotkeys, messages, fileDialog, player, &progress,
                                               &shelf, &questions});
    app.Start();
    app.JoinVoiceLoader();

    for (int round = 0; round < kRounds; ++round) {
      const auto start = Clock::now();
      app.ShowShelf();
      (round == 0 ? firstOpen : open).push_back(Ms(Clock::now() - start));
      if (shelf.Rows().size() != kBooks) ++failures;

      // To a book far down the list and back: two switches.
      const BookId there = 2 + (round * 37) % (kBooks - 1);
      for (const BookId id : {there, BookId{1}}) {
        const auto t = Clock::now();
        if (!app.SwitchBook(id)) ++failures;
        switches.push_back(Ms(Clock::now() - t));
      }
      if (app.window().RowCount("超级列表框1") != kChapters) ++failures;
    }
    app.Close();
  }
  fs::remove_all(root);

  std::printf("bookshelf of %d books, %d chapters each:\n", kBooks, kChapters);
  std::printf("  open the shelf list: first %.1f ms, then %.1f ms (median of %d)\n",
              firstOpen.front(), Median(open), kRounds - 1);
  std::printf(
      "  switch book (stop, swap, flush, restore chapters and position): %.1f ms median,"
      " %.1f ms worst (%zu switches)\n",
      Median(switches), *std::max_element(switches.begin(), switches.end()), switches.size());
  std::printf("  goal: each well under a second (under 200 ms)%s\n",
              failures ? "; FAILED: a switch or listing went wrong" : "");
  return failures == 0 ? 0 : 1;
}
