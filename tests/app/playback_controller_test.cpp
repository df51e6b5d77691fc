// The playback controller on the simulated clock with the fake player: start, pause, skip, the
// tick's advance and the end-of-clip notice, the position written as clips start.
#include <gtest/gtest.h>

#include "app/core/notices.h"
#include "app/ports/hotkeys.h"
#include "playback_fixture.h"

namespace lectoria {
namespace {

using testing::G;
using testing::PlaybackFixture;
using testing::Strings;

class PlaybackTest : public PlaybackFixture {};

TEST_F(PlaybackTest, WithoutBookStartAndSkipAreDisabledWithAHint) {
  h_.Start();
  ASSERT_FALSE(s().BookLoaded);
  EXPECT_FALSE(h_.app.window().IsEnabled(ctl::按钮1));
  EXPECT_FALSE(h_.app.window().IsEnabled(ctl::按钮4));
  EXPECT_EQ(CurrentLine(), texts::kOpenBookFirst);
  MakeClip(0);  // even a clip lying around is not played without a book
  Press();
  h_.app.hooks().ToggleStartPause();  // Alt+Space
  Tick();
  Skip();
  EXPECT_EQ(Caption(), texts::kCaptionStart);
  EXPECT_EQ(NewCalls(), Strings{});
  EXPECT_EQ(s().CurrentClip, 0);
}

TEST_F(PlaybackTest, StartPlaysClipZeroAtOnceAndStoresItsLine) {
  StartWithBook();
  MakeClips(0, 1);
  Press();
  EXPECT_EQ(Caption(), texts::kCaptionPause);
  EXPECT_EQ(NewCalls(), (Strings{"open 0.mp3", "play -1"}));
  EXPECT_EQ(s().CurrentClip, 0);
  EXPECT_TRUE(s().PlaybackStarted);
  EXPECT_EQ(StoredLine(), 1);
  EXPECT_EQ(CurrentLine(), G("第一章 起"));  // shown since start-up
  // Playing on: the tick leaves a playing clip alone.
  Tick();
  EXPECT_EQ(s().CurrentClip, 0);
  EXPECT_EQ(NewCalls(), Strings{});
}

TEST_F(PlaybackTest, PauseAndResumeContinueTheSameClip) {
  StartWithBook();
  MakeClips(0, 1);
  Press();
  NewCalls();
  Press();
  EXPECT_EQ(Caption(), texts::kCaptionStart);
  EXPECT_EQ(NewCalls(), Strings{"pause"});
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kPaused);
  // While paused the tick never advances.
  Tick();
  Tick();
  EXPECT_EQ(s().CurrentClip, 0);
  Press();
  EXPECT_EQ(Caption(), texts::kCaptionPause);
  // Play without a position resumes where the clip was paused; nothing is reopened.
  EXPECT_EQ(NewCalls(), Strings{"play -1"});
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kPlaying);
  EXPECT_EQ(s().CurrentClip, 0);
}

TEST_F(PlaybackTest, EndOfClipAdvancesAtOnceInTheOrderOfSteps) {
  StartWithBook();
  MakeClips(0, 2);
  Press();
  NewCalls();
  const std::int64_t before = h_.ui.NowMs();
  FinishClip();
  // No tick was needed: the end of the clip moved reading on.
  EXPECT_EQ(h_.ui.NowMs(), before);
  EXPECT_EQ(s().CurrentClip, 1);
  EXPECT_EQ(Caption(), texts::kCaptionPause);
  EXPECT_EQ(NewCalls(), (Strings{"close", "open 1.mp3", "play 0"}));
  EXPECT_EQ(CurrentLine(), G("甲一"));
  EXPECT_EQ(s().ReadingQueue.Slot(1).QueueClip, 1);  // the queue moved on by one line
  EXPECT_EQ(StoredLine(), 2);
  EXPECT_FALSE(ClipExists(0));
  EXPECT_TRUE(ClipExists(1));
  EXPECT_TRUE(s().PlaybackStarted);
}

TEST_F(PlaybackTest, TickAdvancesWhenTheEndWasNotNoticed) {
  StartWithBook();
  MakeClips(0, 1);
  h_.player.SetEndOfClipNotice({});  // a player that never reports the end
  Press();
  h_.player.FinishClip();
  EXPECT_EQ(s().CurrentClip, 0);
  Tick();
  EXPECT_EQ(s().CurrentClip, 1);
  EXPECT_EQ(OpenName(), "1.mp3");
}

TEST_F(PlaybackTest, NoticeAndTickNeverAdvanceTwiceForOneEnd) {
  StartWithBook();
  MakeClips(0, 2);
  h_.player.RefuseToOpen("1.mp3");  // clip 1 is damaged: after the advance nothing is open
  Press();
  h_.player.FinishClip();  // the end is posted but not handled yet
  pc_.OnTimerTick();       // the tick gets there first and advances to clip 1
  EXPECT_EQ(s().CurrentClip, 1);
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kNone);
  h_.ui.RunPending();  // the posted end of clip 0 must not advance once more
  EXPECT_EQ(s().CurrentClip, 1);
  EXPECT_EQ(StoredLine(), 2);  // written although the clip failed
  // The next tick passes over the clip that cannot be opened.
  Tick();
  EXPECT_EQ(s().CurrentClip, 2);
  EXPECT_EQ(OpenName(), "2.mp3");
}

TEST_F(PlaybackTest, SkipWithTheNextClipStartsItFromTheBeginning) {
  StartWithBook();
  MakeClips(0, 5);
  Press();
  for (int i = 0; i < 4; ++i) Skip();
  ASSERT_EQ(s().CurrentClip, 4);
  ASSERT_EQ(h_.player.Status(), PlayerStatus::kPlaying);
  NewCalls();
  Skip();
  EXPECT_EQ(s().CurrentClip, 5);
  EXPECT_EQ(NewCalls(), (Strings{"close", "open 5.mp3", "play 0"}));
  EXPECT_FALSE(ClipExists(4));
  EXPECT_EQ(StoredLine(), 1);  // clip 5 is line 1 of chapter 3
  EXPECT_EQ(CurrentLine(), G("第三章 转"));
}

TEST_F(PlaybackTest, SkipAlsoResumesAPausedReading) {
  StartWithBook();
  MakeClips(0, 1);
  Press();
  Press();
  ASSERT_EQ(Caption(), texts::kCaptionStart);
  Skip();
  EXPECT_EQ(Caption(), texts::kCaptionPause);
  EXPECT_EQ(s().CurrentClip, 1);
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kPlaying);
}

TEST_F(PlaybackTest, SkipWithoutTheNextClipWaitsAndTheClipPlaysOn) {
  StartWithBook();
  MakeClips(0, 1);
  Press();
  Skip();
  ASSERT_EQ(s().CurrentClip, 1);
  NewCalls();
  Skip();
  EXPECT_EQ(Caption(), texts::kCaptionWaiting);
  EXPECT_EQ(s().CurrentClip, 1);
  EXPECT_EQ(NewCalls(), Strings{});
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kPlaying);
  // The clip ends; clip 2 is still missing.
  FinishClip();
  Tick();
  EXPECT_EQ(Caption(), texts::kCaptionWaiting);
  EXPECT_EQ(s().CurrentClip, 1);
  // Once it exists the next tick starts it through StartAfterWait.
  MakeClip(2);
  Tick();
  EXPECT_EQ(s().CurrentClip, 2);
  EXPECT_EQ(Caption(), texts::kCaptionPause);
  EXPECT_EQ(OpenName(), "2.mp3");
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kPlaying);
  EXPECT_TRUE(s().StartAfterWaitActive);
  EXPECT_FALSE(ClipExists(1));
  EXPECT_EQ(CurrentLine(), G("甲二"));
}

TEST_F(PlaybackTest, ChapterStartsMoveTheListAndStoreTheHistory) {
  StartWithBook();
  ASSERT_EQ(s().ReadingQueue.ChapterStartClips, (std::vector<std::int32_t>{3, 5}));
  MakeClips(0, 7);
  Press();
  struct Expected {
    int clip;
    int row;
    int line;
  };
  const Expected expected[] = {{1, 0, 2}, {2, 0, 3}, {3, 1, 1}, {4, 1, 2},
                               {5, 2, 1}, {6, 2, 2}, {7, 2, 3}};
  for (const Expected& e : expected) {
    FinishClip();
    ASSERT_EQ(s().CurrentClip, e.clip);
    EXPECT_EQ(ChapterRow(), e.row) << "clip " << e.clip;
    EXPECT_EQ(s().CurrentChapterRow, e.row) << "clip " << e.clip;
    EXPECT_EQ(StoredHistory(), e.row) << "clip " << e.clip;
    EXPECT_EQ(StoredLine(), e.line) << "clip " << e.clip;
  }
  // The list shows the chapter being heard.
  EXPECT_EQ(h_.app.window().Text(ctl::编辑框1), G("第三章 转\r\n丙一\r\n丙二"));
  // The end of the book: the last clip has played, and reading waits for good.
  FinishClip();
  Tick();
  Tick();
  EXPECT_EQ(Caption(), texts::kCaptionWaiting);
  EXPECT_EQ(s().CurrentClip, 7);
  for (int n = 0; n < 7; ++n) EXPECT_FALSE(ClipExists(n)) << n;
  EXPECT_TRUE(ClipExists(7));
}

// A stored position past the chapter's last usable line: clip 0 already lies in the next
// chapter, however it is started.
TEST_F(PlaybackTest, ChapterStartAtClipZeroAppliesWhenStartedDirectly) {
  StartWithBook(0, 9);
  ASSERT_EQ(s().ReadingQueue.ChapterStartClips.front(), 0);
  MakeClip(0);
  Press();
  ASSERT_EQ(OpenName(), "0.mp3");
  EXPECT_EQ(ChapterRow(), 1);
  EXPECT_EQ(StoredHistory(), 1);
  EXPECT_EQ(StoredLine(), 1);
}

TEST_F(PlaybackTest, ChapterStartAtClipZeroAppliesWhenClipZeroWasWaitedFor) {
  StartWithBook(0, 9);
  ASSERT_EQ(s().ReadingQueue.ChapterStartClips.front(), 0);
  Press();
  ASSERT_EQ(Caption(), texts::kCaptionWaiting);
  MakeClip(0);
  Tick();
  EXPECT_EQ(s().CurrentClip, 0);
  EXPECT_EQ(ChapterRow(), 1);
  EXPECT_EQ(StoredHistory(), 1);
  EXPECT_EQ(StoredLine(), 1);
}

TEST_F(PlaybackTest, StatusLabelShowsTheClipsAhead) {
  StartWithBook();
  Tick();
  EXPECT_EQ(h_.app.window().Text(ctl::标签1), std::string(texts::kCachePrefix) + "0");
  MakeClips(0, 9);
  s().SynthesizedCount = 10;
  Tick();
  EXPECT_EQ(h_.app.window().Text(ctl::标签1), std::string(texts::kCachePrefix) + "10");
  Press();
  FinishClip();
  Tick();
  EXPECT_EQ(h_.app.window().Text(ctl::标签1), std::string(texts::kCachePrefix) + "9");
}

TEST_F(PlaybackTest, AnyCaptionButStartPausesAndShowsStart) {
  StartWithBook();
  MakeClip(0);
  for (const std::string_view caption :
       {texts::kCaptionPause, texts::kCaptionWaiting, texts::kCaptionWaking}) {
    Press();  // start or resume: clip 0 plays
    ASSERT_EQ(h_.player.Status(), PlayerStatus::kPlaying);
    h_.app.window().SetText(ctl::按钮1, caption);
    Press();
    EXPECT_EQ(Caption(), texts::kCaptionStart);
    EXPECT_EQ(h_.player.Status(), PlayerStatus::kPaused);
  }
}

// The player's pause resumes a clip that is paused already; pressing 按钮1 must never leave
// a clip sounding under the caption "开始".
TEST_F(PlaybackTest, PressOnAPausedClipKeepsItPaused) {
  StartWithBook();
  MakeClip(0);
  Press();
  Press();
  ASSERT_EQ(h_.player.Status(), PlayerStatus::kPaused);
  Skip();  // the next clip is missing: "等待合成", the paused clip stays as it is
  ASSERT_EQ(Caption(), texts::kCaptionWaiting);
  Press();
  EXPECT_EQ(Caption(), texts::kCaptionStart);
  EXPECT_EQ(h_.player.Status(), PlayerStatus::kPaused);
}

// PlaybackStarted is set by every start of a clip: after a pause pressed between the end of
// a clip and the advance, start goes on from CurrentClip instead of waiting for a clip 0 that
// was deleted long ago.
TEST_F(PlaybackTest, StartAfterPauseAtTheEndOfAClipGoesOn) {
  StartWithBook();
  Press();
  ASSERT_EQ(Caption(), texts::kCaptionWaiting);
  MakeClips(0, 2);
  Tick();  // clip 0 through StartAfterWait
  ASSERT_EQ(s().CurrentClip, 0);
  EXPECT_TRUE(s().PlaybackStarted);
  h_.player.FinishClip();
  Advance(100);
  ASSERT_EQ(s().CurrentClip, 1);
  ASSERT_FALSE(ClipExists(0));

  h_.player.FinishClip();  // clip 1 ends; before its end is handled the user pauses
  h_.app.window().Click(ctl::按钮1);
  h_.ui.RunPending();
  ASSERT_EQ(Caption(), texts::kCaptionStart);
  EXPECT_EQ(s().CurrentClip, 1);
  NewCalls();
  Press();
  EXPECT_EQ(Caption(), texts::kCaptionPause);
  EXPECT_EQ(s().CurrentClip, 1);
  EXPECT_EQ(NewCalls(), Strings{"play -1"});
  FinishClip();
  EXPECT_EQ(s().CurrentClip, 2);
  EXPECT_EQ(OpenName(), "2.mp3");
}

TEST_F(PlaybackTest, HotkeyAndSkipWaitUntilTheButtonIsEnabled) {
  h_.app.hooks().LoadVoices = [] {};  // the voice list never arrives
  StartWithBook();
  MakeClips(0, 1);
  ASSERT_FALSE(h_.app.window().IsEnabled(ctl::按钮1));
  const std::string initial = Caption();
  EXPECT_TRUE(h_.hotkeys.Press(kModAlt, kVkSpace));
  h_.ui.RunPending();
  h_.app.window().Raise(ctl::按钮4, ControlEvent::kClicked);
  h_.ui.RunPending();
  Tick();
  EXPECT_EQ(Caption(), initial);
  EXPECT_EQ(NewCalls(), Strings{});
  EXPECT_EQ(s().CurrentClip, 0);

  h_.app.window().SetEnabled(ctl::按钮1, true);
  h_.app.window().SetText(ctl::按钮1, texts::kCaptionStart);
  EXPECT_TRUE(h_.hotkeys.Press(kModAlt, kVkSpace));
  h_.ui.RunPending();
  EXPECT_EQ(Caption(), texts::kCaptionPause);
  EXPECT_EQ(OpenName(), "0.mp3");
}

TEST_F(PlaybackTest, LaunchStepRunsLastOnUsableTicksOnly) {
  std::vector<std::int32_t> seen;  // CurrentClip as the launch step saw it
  pc_.SetLaunchStep([&] { seen.push_back(s().CurrentClip); });
  h_.app.hooks().LoadVoices = [] {};
  StartWithBook();
  Tick();
  EXPECT_TRUE(seen.empty());  // 按钮1 disabled
  h_.app.window().SetEnabled(ctl::按钮1, true);
  h_.app.window().SetText(ctl::按钮1, texts::kCaptionStart);
  MakeClips(0, 1);
  Press();
  h_.player.SetEndOfClipNotice({});
  h_.player.FinishClip();
  Tick();
  // The tick advanced to clip 1 before the launch step ran.
  EXPECT_EQ(seen, std::vector<std::int32_t>{1});
  s().BookLoaded = false;
  Tick();
  EXPECT_EQ(seen.size(), 1u);
}

// Saves that failed (a full disk) went unnoticed while the window showed the new state. The
// user is told once per kind, and again only after a save of that kind has worked.
TEST_F(PlaybackTest, FailedSavesAreToldOncePerKindUntilOneWorks) {
  StartWithBook();
  MakeClips(0, 4);
  const std::filesystem::path dataIni = h_.dir.paths().DataIni();
  const std::string index = h_.dir.ReadFile("data/data.ini");
  auto breakFile = [](const std::filesystem::path& path) {
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);  // no save can replace it
  };
  auto texts = [this] {
    std::vector<std::string> seen;
    for (const auto& m : h_.messages.Messages()) seen.push_back(m.text);
    return seen;
  };

  breakFile(dataIni);
  Press();  // clip 0: its line cannot be stored
  Skip();   // clip 1: nor this one, and no second box
  EXPECT_EQ(texts(), Strings{std::string(texts::kPositionNotSaved)});
  breakFile(h_.dir.paths().ConfigIni());
  h_.app.window().Click(ctl::选择框1);  // another kind: told as well
  h_.ui.RunPending();
  EXPECT_EQ(texts().size(), 2u);
  EXPECT_EQ(texts().back(), texts::kSettingsNotSaved);

  std::filesystem::remove(dataIni);
  h_.dir.WriteFile("data/data.ini", index);
  Skip();  // clip 2 is stored
  EXPECT_EQ(StoredLine(), 3);
  breakFile(dataIni);
  Skip();  // failing again after a save that worked: told again
  EXPECT_EQ(texts().size(), 3u);
  EXPECT_EQ(texts().back(), texts::kPositionNotSaved);
}

}  // namespace
}  // namespace lectoria
