// The sleep timer on the simulated clock: it never cuts a line, it shows what is left, and it
// can stop at the end of a chapter or be cancelled.
#include "app/listening/sleep_timer.h"

#include "app/listening/comforts.h"
#include "platform/codepage.h"
#include "playback_fixture.h"

namespace lectoria {
namespace {

using testing::PlaybackFixture;
using testing::Strings;

class SleepTimerTest : public PlaybackFixture {
 protected:
  SleepTimerTest() { comforts_.Install(); }

  void Choose(int choice) {
    h_.app.window().UserSelectItem(ctl::组合框_定时, choice);
    h_.ui.RunPending();
  }
  // The sleep timer's part of the status line (the reading position has its own).
  std::string Status() { return GbkToUtf8(h_.app.statusLine().Get(StatusLine::Part::kSleepTimer)); }

  Comforts comforts_{h_.app};
};

TEST_F(SleepTimerTest, MinutesRunOutThenReadingPausesAtTheEndOfTheLine) {
  StartWithBook();
  MakeClips(0, 3);
  Press();
  Choose(SleepTimer::k15);
  EXPECT_EQ(Status(), "定时：还剩 15:00");
  Advance(61'000);
  EXPECT_EQ(Status(), "定时：还剩 13:59");
  NewCalls();

  // The time runs out in the middle of a line: the line is read to its end.
  Advance(14 * 60'000);
  EXPECT_EQ(Status(), "定时已到：读完这一行后暂停");
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kPlaying);
  EXPECT_EQ(NewCalls(), Strings{});

  FinishClip();
  EXPECT_EQ(Caption(), texts::kCaptionStart);
  EXPECT_EQ(s().CurrentClip, 0);
  EXPECT_EQ(NewCalls(), Strings{});  // the next line does not start
  EXPECT_EQ(Status(), "定时已到，已暂停");
  EXPECT_EQ(h_.app.window().SelectedIndex(ctl::组合框_定时), SleepTimer::kOff);
  Advance(5000);
  EXPECT_EQ(s().CurrentClip, 0);

  // Start goes on with the next line; the notice goes with the next tick.
  Press();
  FinishClip();
  EXPECT_EQ(s().CurrentClip, 1);
  Tick();
  EXPECT_EQ(Status(), "");
}

TEST_F(SleepTimerTest, EndOfChapterHoldsBeforeTheNextChapterAndCancelLetsReadingOn) {
  StartWithBook();
  MakeClips(0, 5);
  Press();
  Choose(SleepTimer::kEndOfChapter);
  EXPECT_EQ(Status(), "定时：读完本章后暂停");
  FinishClip();  // clip 1
  FinishClip();  // clip 2, the chapter's last line
  EXPECT_EQ(s().CurrentClip, 2);
  FinishClip();
  EXPECT_EQ(s().CurrentClip, 2);  // clip 3 opens chapter 2: held before it
  EXPECT_EQ(Caption(), texts::kCaptionStart);
  EXPECT_EQ(ChapterRow(), 0);

  // A timer chosen and cancelled again stops nothing.
  Press();
  Choose(SleepTimer::k30);
  Choose(SleepTimer::kOff);
  EXPECT_EQ(Status(), "");
  Advance(31 * 60'000);
  FinishClip();
  FinishClip();
  EXPECT_EQ(s().CurrentClip, 4);
  EXPECT_EQ(Caption(), texts::kCaptionPause);
}

TEST_F(SleepTimerTest, TimeRunningOutWhilePausedEndsTheTimer) {
  StartWithBook();
  MakeClips(0, 1);
  Press();
  Press();  // paused
  Choose(SleepTimer::k45);
  Advance(45 * 60'000);
  EXPECT_EQ(Status(), "");
  EXPECT_EQ(comforts_.sleepTimer().Current(), SleepTimer::kOff);
  Press();
  FinishClip();
  EXPECT_EQ(s().CurrentClip, 1);  // nothing holds the next line
}

}  // namespace
}  // namespace lectoria
