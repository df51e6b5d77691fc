// The start of a clip that had to be waited for (StartAfterWait with and without the wake-up
// clip), stopping for a new book, and closing while that thread runs.
#include <gtest/gtest.h>

#include <fstream>

#include "playback_fixture.h"

namespace lectoria {
namespace {

using testing::G;
using testing::PlaybackFixture;
using testing::Strings;

class StartAfterWaitTest : public PlaybackFixture {
 protected:
  // Start pressed before clip 0 exists; then it appears.
  void WaitForClipZero() {
    Press();
    ASSERT_EQ(Caption(), texts::kCaptionWaiting);
    ASSERT_EQ(s().CurrentClip, -1);
    Tick();  // still missing: the tick only keeps waiting
    ASSERT_EQ(Caption(), texts::kCaptionWaiting);
    MakeClips(0, 1);
  }
  std::filesystem::path WakeClip() const { return h_.dir.root() / "1.mp3"; }
};

TEST_F(StartAfterWaitTest, ClipZeroStartsOnTheTickAfterItAppears) {
  StartWithBook();
  WaitForClipZero();
  NewCalls();
  Tick();
  EXPECT_EQ(s().CurrentClip, 0);
  EXPECT_EQ(Caption(), texts::kCaptionPause);
  EXPECT_EQ(NewCalls(), (Strings{"close", "open 0.mp3", "play 0"}));
  EXPECT_TRUE(s().StartAfterWaitActive);
  EXPECT_TRUE(s().PlaybackStarted);
  EXPECT_EQ(StoredLine(), 1);
  // No queue shift for clip 0: slot 1 still holds it and the box shows it.
  EXPECT_EQ(s().ReadingQueue.Slot(1).QueueClip, 0);
  EXPECT_EQ(CurrentLine(), G("第一章 起"));

  // While the thread watches the clip, neither the tick nor an end seen elsewhere advances;
  // the thread hands the end over when it sees it.
  FinishClip();
  EXPECT_EQ(s().CurrentClip, 0);
  Advance(100);
  EXPECT_FALSE(pc_.StartAfterWaitRunning());
  EXPECT_FALSE(s().StartAfterWaitActive);
  EXPECT_EQ(s().CurrentClip, 1);
  EXPECT_EQ(OpenName(), "1.mp3");
  EXPECT_FALSE(ClipExists(0));
  EXPECT_EQ(CurrentLine(), G("甲一"));
}

TEST_F(StartAfterWaitTest, ThreadFollowsPauseAndResume) {
  StartWithBook();
  WaitForClipZero();
  Tick();
  ASSERT_TRUE(pc_.StartAfterWaitRunning());
  NewCalls();
  Press();  // pause: the controller pauses the clip itself
  EXPECT_EQ(Caption(), texts::kCaptionStart);
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kPaused);
  Advance(300);
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kPaused);
  Press();  // start: only the caption; the thread resumes the clip
  EXPECT_EQ(Caption(), texts::kCaptionPause);
  Advance(100);
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kPlaying);
  EXPECT_EQ(NewCalls(), (Strings{"pause", "play -1"}));
  EXPECT_EQ(s().CurrentClip, 0);
}

TEST_F(StartAfterWaitTest, WakeUpClipSoundsThreeTimesFirst) {
  StartWithBook();
  h_.dir.WriteFile("1.mp3", "wake");
  s().WakeOutput = true;
  WaitForClipZero();
  NewCalls();
  Tick();
  EXPECT_EQ(Caption(), texts::kCaptionWaking);
  EXPECT_EQ(h_.player.OpenPath(), WakeClip());
  EXPECT_EQ(s().CurrentClip, 0);
  // The wake-up clip ending, and the ticks during the wake-up, do not advance.
  FinishClip();
  Tick();
  Tick();
  EXPECT_EQ(Caption(), texts::kCaptionWaking);
  Tick();
  EXPECT_EQ(s().CurrentClip, 0);
  EXPECT_EQ(Caption(), texts::kCaptionPause);
  EXPECT_EQ(OpenName(), "0.mp3");
  EXPECT_EQ(NewCalls(), (Strings{"close", "open 1.mp3", "play 0", "open 1.mp3", "play 0",
                                 "open 1.mp3", "play 0", "open 0.mp3", "play 0"}));
}

TEST_F(StartAfterWaitTest, MissingWakeUpClipOnlyDelays) {
  StartWithBook();
  s().WakeOutput = true;
  WaitForClipZero();
  Tick();
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kNone);
  Tick();
  Tick();
  EXPECT_EQ(Caption(), texts::kCaptionWaking);
  Tick();
  EXPECT_EQ(OpenName(), "0.mp3");
  EXPECT_EQ(Caption(), texts::kCaptionPause);
}

// A pause pressed during the wake-up holds: the rest of the wake-up stays silent and the
// clip waits paused at its start until start is pressed.
TEST_F(StartAfterWaitTest, PauseDuringTheWakeUpHolds) {
  StartWithBook();
  h_.dir.WriteFile("1.mp3", "wake");
  s().WakeOutput = true;
  WaitForClipZero();
  Tick();
  ASSERT_EQ(Caption(), texts::kCaptionWaking);
  NewCalls();
  Press();
  EXPECT_EQ(Caption(), texts::kCaptionStart);
  for (int i = 0; i < 3; ++i) Tick();
  EXPECT_EQ(Caption(), texts::kCaptionStart);
  EXPECT_EQ(NewCalls(), (Strings{"pause", "open 0.mp3", "play 0", "pause"}));
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kPaused);
  Press();
  Advance(100);
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kPlaying);
  EXPECT_EQ(Caption(), texts::kCaptionPause);
}

// Skip while the thread watches a clip: the advance takes the clip over and the thread ends.
TEST_F(StartAfterWaitTest, SkipTakesOverFromTheThread) {
  StartWithBook();
  WaitForClipZero();
  Tick();
  ASSERT_TRUE(pc_.StartAfterWaitRunning());
  Skip();
  EXPECT_FALSE(pc_.StartAfterWaitRunning());
  EXPECT_FALSE(s().StartAfterWaitActive);
  EXPECT_EQ(s().CurrentClip, 1);
  EXPECT_EQ(OpenName(), "1.mp3");
  MakeClip(2);
  FinishClip();  // the ordinary end of clip advances again
  EXPECT_EQ(s().CurrentClip, 2);
}

// A clip file that exists but cannot be opened must not keep the thread watching for ever.
TEST_F(StartAfterWaitTest, DamagedWaitedClipIsPassedOver) {
  StartWithBook();
  h_.player.RefuseToOpen("0.mp3");
  WaitForClipZero();
  Tick();
  EXPECT_FALSE(pc_.StartAfterWaitRunning());
  Tick();
  EXPECT_EQ(s().CurrentClip, 1);
  EXPECT_EQ(OpenName(), "1.mp3");
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kPlaying);
}

// An exception out of the player used to escape StartAfterWait's thread and end the program;
// the clip is now passed over as a damaged one is, and reading goes on.
TEST_F(StartAfterWaitTest, ExceptionInTheThreadDoesNotEndTheProgram) {
  StartWithBook();
  h_.player.ThrowOnOpen("0.mp3");
  WaitForClipZero();
  Tick();
  EXPECT_FALSE(pc_.StartAfterWaitRunning());
  EXPECT_FALSE(s().StartAfterWaitActive);
  Tick();
  EXPECT_EQ(s().CurrentClip, 1);
  EXPECT_EQ(OpenName(), "1.mp3");
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kPlaying);
}

// The thread's exception path left PlaybackStarted unset after clip 0 had been entered, so a
// pause and start before the next tick entered clip 0 again and, where a chapter starts at it,
// moved "阅读历史" on a second time.
TEST_F(StartAfterWaitTest, StartAfterAFailedThreadDoesNotEnterClipZeroTwice) {
  StartWithBook(/*row=*/0, /*line=*/9);  // past chapter 1: clip 0 starts chapter 2
  ASSERT_EQ(s().ReadingQueue.ChapterStartClips.front(), 0);
  h_.player.ThrowOnOpen("0.mp3");
  WaitForClipZero();
  Tick();
  ASSERT_EQ(StoredHistory(), 1);
  Press();  // pause
  Press();  // start again before the tick passes over clip 0
  EXPECT_EQ(s().CurrentClip, 0);
  EXPECT_EQ(StoredHistory(), 1);
  EXPECT_EQ(s().CurrentChapterRow, 1);
}

TEST_F(StartAfterWaitTest, ClosingDuringTheWakeUpEndsTheThread) {
  StartWithBook();
  h_.dir.WriteFile("1.mp3", "wake");
  s().WakeOutput = true;
  WaitForClipZero();
  Tick();
  ASSERT_TRUE(pc_.StartAfterWaitRunning());
  ASSERT_EQ(h_.ui.WaitingThreads(), 1);
  h_.app.Close();  // joins the thread without the clock moving on
  EXPECT_FALSE(pc_.StartAfterWaitRunning());
  EXPECT_EQ(h_.ui.WaitingThreads(), 0);
  const std::size_t calls = h_.player.Calls().size();
  h_.ui.AdvanceBy(5000);
  Press();
  EXPECT_EQ(h_.player.Calls().size(), calls);
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kNone);
}

TEST_F(StartAfterWaitTest, DestroyingTheControllerWhileTheThreadWatches) {
  testing::AppHarness h;
  auto pc = std::make_unique<PlaybackController>(h.app);
  pc->Install();
  h.dir.WriteFile("data/data.ini", "");  // a book: 按钮1 is usable
  h.Start();
  h.app.state().BookLoaded = true;
  h.app.window().Click(ctl::按钮1);
  h.dir.WriteFile("temp/0.mp3", "mp3");
  h.ui.AdvanceBy(1000);
  ASSERT_TRUE(pc->StartAfterWaitRunning());
  ASSERT_TRUE(h.ui.AwaitWaitingThreads(1, std::chrono::seconds(20)));
  h.player.FinishClip();  // an end posted to the UI thread for a controller about to go
  pc.reset();
  // The hooks and the posted work find no controller and do nothing.
  h.ui.RunPending();
  h.app.window().Click(ctl::按钮1);
  h.ui.AdvanceBy(2000);
  EXPECT_EQ(h.player.Status(), PlayerStatus::kNone);
  h.app.Close();
}

// The import stops reading before the new book's queue is loaded.
TEST_F(StartAfterWaitTest, ImportStopsReadingAndStartsTheNewBookFromClipZero) {
  StartWithBook();
  MakeClips(0, 2);
  Press();
  FinishClip();
  ASSERT_EQ(s().CurrentClip, 1);

  const std::filesystem::path book =
      h_.dir.root().parent_path() / (h_.dir.root().filename().string() + "-new.txt");
  std::ofstream(book, std::ios::binary) << G("第一章 新\r\n新一\r\n新二\r\n");
  h_.fileDialog.QueueAnswer(book);
  h_.app.window().Click(ctl::按钮2);
  ASSERT_TRUE(h_.FinishImport());
  std::filesystem::remove(book);

  EXPECT_EQ(Caption(), texts::kCaptionStart);
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kNone);
  EXPECT_EQ(s().CurrentClip, 0);
  EXPECT_FALSE(s().PlaybackStarted);
  Tick();
  EXPECT_EQ(Caption(), texts::kCaptionStart);

  MakeClip(0);
  Press();
  EXPECT_EQ(OpenName(), "0.mp3");
  EXPECT_EQ(CurrentLine(), G("第一章 新"));
  MakeClip(1);
  FinishClip();
  EXPECT_EQ(s().CurrentClip, 1);
  EXPECT_EQ(CurrentLine(), G("新一"));
  EXPECT_EQ(StoredLine(), 2);
}

TEST_F(StartAfterWaitTest, ResetForNewBookEndsAWakeUp) {
  StartWithBook();
  s().WakeOutput = true;
  WaitForClipZero();
  Tick();
  ASSERT_EQ(Caption(), texts::kCaptionWaking);
  pc_.ResetForNewBook();
  EXPECT_FALSE(pc_.StartAfterWaitRunning());
  EXPECT_FALSE(s().StartAfterWaitActive);
  EXPECT_EQ(Caption(), texts::kCaptionStart);
  EXPECT_EQ(s().CurrentClip, 0);
  Tick();
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kNone);
}

}  // namespace
}  // namespace lectoria
