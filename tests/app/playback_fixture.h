// An App with the playback controller installed, on the simulated clock and the fake player,
// with a small stored book of three chapters:
//
//   clip  line  text        chapter (row)
//   0     1     第一章 起    1 (0)
//   1     2     甲一
//   2     3     甲二
//   3     1     第二章 承    2 (1)     ChapterStartClips = {3, 5}
//   4     2     乙一
//   5     1     第三章 转    3 (2)
//   6     2     丙一
//   7     3     丙二
//   8, 9        end marker
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "app/reading/playback_controller.h"
#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "app_harness.h"
#include "library/library_index.h"
#include "support/library_fixture.h"

namespace lectoria::testing {

class PlaybackFixture : public ::testing::Test {
 protected:
  PlaybackFixture() { pc_.Install(); }

  /// Writes the book above; the stored position is chapter row `row`, line `line`.
  void WriteBook(std::int32_t row = 0, std::int32_t line = 1) {
    h_.dir.WriteFile("data/1.txt", CrLf({G("第一章 起"), G("甲一"), G("甲二")}));
    h_.dir.WriteFile("data/2.txt", CrLf({G("第二章 承"), G("乙一")}));
    h_.dir.WriteFile("data/3.txt", CrLf({G("第三章 转"), G("丙一"), G("丙二")}));
    testing::WriteLibraryIndex(h_.dir.paths(), G("三章书"),
                               {G("第一章 起"), G("第二章 承"), G("第三章 转")});
    LibraryIndex index(h_.dir.paths());
    index.WriteReadingHistory(row);
    index.WriteLineNumber(line);
  }

  /// Start-up with the book; the placeholder voice loader enables 按钮1 with "开始".
  void StartWithBook(std::int32_t row = 0, std::int32_t line = 1) {
    WriteBook(row, line);
    h_.Start();
  }

  /// A synthesized clip n in temp/ (the fake player opens any regular file).
  void MakeClip(int n) { h_.dir.WriteFile("temp/" + std::to_string(n) + ".mp3", "mp3"); }
  void MakeClips(int first, int last) {
    for (int n = first; n <= last; ++n) MakeClip(n);
  }
  bool ClipExists(int n) const { return std::filesystem::exists(h_.dir.paths().Clip(n)); }

  void Press() {
    h_.app.window().Click(ctl::按钮1);
    h_.ui.RunPending();
  }
  void Skip() {
    h_.app.window().Click(ctl::按钮4);
    h_.ui.RunPending();
  }
  /// One tick of 时钟1, with StartAfterWait settled afterwards.
  void Tick() { Advance(1000); }
  void Advance(std::int64_t ms) {
    h_.ui.AdvanceBy(ms);
    Settle();
  }
  /// The open clip ends; the end is handled on the UI thread at once.
  void FinishClip() {
    h_.player.FinishClip();
    h_.ui.RunPending();
  }

  /// Lets a StartAfterWait thread run until it blocks in its next wait or has ended, then runs
  /// the work it posted.
  void Settle() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (pc_.StartAfterWaitRunning() &&
           !h_.ui.AwaitWaitingThreads(1, std::chrono::milliseconds(1))) {
      ASSERT_LT(std::chrono::steady_clock::now(), deadline) << "StartAfterWait never settled";
    }
    h_.ui.RunPending();
  }

  /// Player commands since the last call.
  std::vector<std::string> NewCalls() {
    const std::vector<std::string> all = h_.player.Calls();
    std::vector<std::string> fresh(all.begin() + static_cast<std::ptrdiff_t>(seenCalls_),
                                   all.end());
    seenCalls_ = all.size();
    return fresh;
  }

  std::string Caption() { return h_.app.window().Text(ctl::按钮1); }
  std::string CurrentLine() { return h_.app.window().Text(ctl::编辑框3); }
  std::int32_t ChapterRow() { return h_.app.window().CurrentRow(ctl::超级列表框1); }
  std::int32_t StoredLine() const { return LibraryIndex(h_.dir.paths()).LineNumber(); }
  std::int32_t StoredHistory() const { return LibraryIndex(h_.dir.paths()).ReadingHistory(); }
  std::string OpenName() const { return h_.player.OpenPath().filename().string(); }
  AppState& s() { return h_.app.state(); }

  AppHarness h_;
  PlaybackController pc_{h_.app};

 private:
  std::size_t seenCalls_ = 0;
};

using Strings = std::vector<std::string>;

}  // namespace lectoria::testing
