// Moving the reading: read from a chapter or a line, previous/next line and chapter, the place
// inside a line, the marked line following reading, a voice change, and a jump while a clip of
// the old place is being synthesized. On the book of playback_fixture.h.
#include "app/reading/reading_navigator.h"

#include <gtest/gtest.h>

#include <thread>

#include "app/reading/synthesis_worker.h"
#include "fake_speech_client.h"
#include "platform/file_util.h"
#include "playback_fixture.h"

namespace lectoria {
namespace {

using testing::G;
using testing::Strings;

class NavigatorTest : public testing::PlaybackFixture {
 protected:
  NavigatorTest() { nav_.Install(); }

  MainWindow& w() { return h_.app.window(); }
  void Run(Command command) {
    w().RunCommand(command);
    h_.ui.RunPending();
  }
  bool AnyClipCached() const {
    for (const auto& entry : std::filesystem::directory_iterator(h_.dir.paths().TempDir()))
      if (entry.path().extension() == ".mp3") return true;
    return false;
  }
  /// Reading from the book's start, clip 0 playing.
  void ReadingFromTheStart() {
    nav_.ReadFrom(0, 1);
    MakeClips(0, 3);
    if (Caption() == texts::kCaptionStart) {
      Press();
    } else {
      Tick();
    }
    ASSERT_EQ(OpenName(), "0.mp3");
    ASSERT_EQ(h_.player.Status(), PlayerStatus::kPlaying);
  }
  /// The queue was loaded afresh at `text` with nothing cached, and a reading that was on goes
  /// on there: once clip 0 is made, the next tick plays it with that line shown.
  void ExpectReadingRestartsAt(const std::string& text) {
    EXPECT_EQ(s().ReadingQueue.Slot(1).QueueText, text);
    EXPECT_EQ(s().ReadingQueue.Slot(1).QueueClip, 0);
    EXPECT_EQ(s().SynthesizedCount, 0);
    EXPECT_FALSE(AnyClipCached());
    EXPECT_EQ(Caption(), texts::kCaptionWaiting);
    MakeClip(0);
    Tick();
    EXPECT_EQ(OpenName(), "0.mp3");
    EXPECT_EQ(h_.player.Status(), PlayerStatus::kPlaying);
    EXPECT_EQ(CurrentLine(), text);
  }

  ReadingNavigator nav_{h_.app, pc_};
};

TEST_F(NavigatorTest, ReadFromAChapterOrALineRestartsThereAtOnce) {
  struct Case {
    const char* name;
    std::int32_t row;          // the chapter shown
    std::int32_t pointedLine;  // -1: read from the chapter
    std::string text;
    std::int32_t storedLine;
  };
  const Case cases[] = {
      {"chapter", 2, -1, G("第三章 转"), 1},
      {"line", 1, 1, G("乙一"), 2},
  };
  StartWithBook();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ReadingFromTheStart();
    w().UserSelectRow(ctl::超级列表框1, c.row);
    if (c.pointedLine < 0) {
      Run(Command::kReadFromChapter);
    } else {
      w().UserPointAtLine(ctl::编辑框1, c.pointedLine);
      Run(Command::kReadFromLine);
    }
    EXPECT_EQ(StoredHistory(), c.row);
    EXPECT_EQ(StoredLine(), c.storedLine);
    ExpectReadingRestartsAt(c.text);
  }
}

TEST_F(NavigatorTest, PreviousAndNextLineAndChapterAtBordersAndEnds) {
  struct Case {
    Command command;
    ReadingPosition from;
    ReadingPosition to;  // == from: nothing moves
  };
  const Case cases[] = {
      {Command::kNextLine, {0, 3}, {1, 1}},        {Command::kPreviousLine, {1, 1}, {0, 3}},
      {Command::kNextLine, {0, 1}, {0, 2}},        {Command::kPreviousLine, {0, 1}, {0, 1}},
      {Command::kNextLine, {2, 3}, {2, 3}},        {Command::kNextChapter, {1, 2}, {2, 1}},
      {Command::kPreviousChapter, {1, 2}, {0, 1}}, {Command::kPreviousChapter, {0, 2}, {0, 2}},
      {Command::kNextChapter, {2, 1}, {2, 1}},
  };
  StartWithBook();
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message()
                 << static_cast<int>(c.command) << " from " << c.from.row << ":" << c.from.line);
    nav_.ReadFrom(c.from.row, c.from.line);
    Run(c.command);
    EXPECT_EQ((ReadingPosition{StoredHistory(), StoredLine()}), c.to);
    EXPECT_EQ(nav_.Current(), c.to);
  }
}

TEST_F(NavigatorTest, TheMarkedLineFollowsReadingIntoTheNextChapterUnlessTheUserBrowses) {
  StartWithBook(0, 3);
  MakeClips(0, 2);
  Press();
  EXPECT_EQ(w().HighlightLine(ctl::编辑框1), 2);
  EXPECT_EQ(h_.app.statusLine().Get(StatusLine::Part::kPosition),
            ProgressText(0, 3, 3, h_.app.place().Share(0, 3)));
  FinishClip();  // clip 1: chapter 2, line 1
  EXPECT_EQ(ChapterRow(), 1);
  EXPECT_EQ(w().Text(ctl::编辑框1).substr(0, G("第二章 承").size()), G("第二章 承"));
  EXPECT_EQ(w().HighlightLine(ctl::编辑框1), 0);
  EXPECT_EQ(h_.app.statusLine().Get(StatusLine::Part::kPosition),
            ProgressText(1, 3, 1, h_.app.place().Share(1, 1)));

  w().UserSelectRow(ctl::超级列表框1, 0);  // the user looks at chapter 1
  EXPECT_EQ(w().HighlightLine(ctl::编辑框1), -1);
  FinishClip();  // clip 2: chapter 2, line 2; the view stays where the user is
  EXPECT_EQ(ChapterRow(), 0);
  EXPECT_EQ(StoredLine(), 2);
  Run(Command::kShowReadingLine);
  EXPECT_EQ(ChapterRow(), 1);
  EXPECT_EQ(w().HighlightLine(ctl::编辑框1), 1);
}

TEST_F(NavigatorTest, ThePlaceInsideALineIsSavedAndResumed) {
  StartWithBook();
  MakeClip(0);
  Press();
  h_.player.SetClipLength(300000);
  h_.player.SetPosition(42000);
  Press();  // pause: the place is saved with the position
  EXPECT_EQ(LibraryIndex(h_.dir.paths()).PlaceInLine(), 42000);
  h_.player.SetPosition(50000);
  Advance(5000);  // paused: nothing more is saved
  EXPECT_EQ(LibraryIndex(h_.dir.paths()).PlaceInLine(), 42000);

  // A restart at the saved place resumes there rather than at the line's start.
  nav_.ReadFrom(StoredHistory(), StoredLine(), LibraryIndex(h_.dir.paths()).PlaceInLine());
  MakeClip(0);
  NewCalls();
  Press();
  EXPECT_EQ(NewCalls(), (Strings{"open 0.mp3", "seek to 42000", "play -1"}));
  Run(Command::kSeekBack);
  Run(Command::kSeekForward);
  EXPECT_EQ(NewCalls(), (Strings{"seek by -10000", "seek by 10000"}));
  FinishClip();
  EXPECT_EQ(LibraryIndex(h_.dir.paths()).PlaceInLine(), 0) << "a new line starts at 0";
}

TEST_F(NavigatorTest, AVoiceOrStyleChangeIsHeardFromTheNextLine) {
  StartWithBook();
  for (const bool save : {false, true}) {
    SCOPED_TRACE(save ? "保存配置" : "style picked");
    ReadingFromTheStart();
    s().SynthesizedCount = 4;  // clips 0-3 made with the old voice
    w().SetItems(ctl::组合框_语音风格, {G("默认"), G("欢快")});
    if (save) {
      w().Click(ctl::按钮3);
    } else {
      w().UserSelectItem(ctl::组合框_语音风格, 1);
    }
    h_.ui.RunPending();
    EXPECT_EQ(StoredLine(), 2);
    ExpectReadingRestartsAt(G("甲一"));
  }
}

class NavigatorWithWorkerTest : public NavigatorTest {
 protected:
  NavigatorWithWorkerTest() {
    worker_.Install(h_.app.hooks());
    pc_.SetLaunchStep([this] { worker_.LaunchIfNeeded(); });
  }
  void AwaitIdle() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (worker_.Running() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(worker_.Running());
  }

  testing::FakeSpeechClient client_;
  SynthesisWorker worker_{h_.app, client_};
};

TEST_F(NavigatorWithWorkerTest, AJumpWhileAClipIsSynthesizedDiscardsThatClip) {
  testing::Gate gate;
  client_.SetScript([&gate](const testing::FakeSpeechClient::Call& call, const std::atomic<bool>*) {
    if (call.text == G("甲一")) gate.Wait(nullptr);  // deaf to the cancel: it still arrives
    return "MP3:" + call.text;
  });
  StartWithBook();
  Tick();  // clip 0 is made
  AwaitIdle();
  Press();
  Tick();  // clip 1 ("甲一") is being synthesized
  ASSERT_TRUE(client_.AwaitCalls(2));
  Run(Command::kNextChapter);
  EXPECT_EQ(Caption(), texts::kCaptionWaiting);
  gate.Open();
  AwaitIdle();
  EXPECT_FALSE(ClipExists(1));
  EXPECT_EQ(s().SynthesizedCount, 0);

  Tick();  // clip 0 of the new place
  AwaitIdle();
  std::string audio;
  ASSERT_TRUE(ReadFileBytes(h_.dir.paths().Clip(0), audio));
  EXPECT_EQ(audio, "MP3:" + G("第二章 承"));
  Tick();
  EXPECT_EQ(OpenName(), "0.mp3");
  EXPECT_EQ(CurrentLine(), G("第二章 承"));
  EXPECT_EQ(StoredHistory(), 1);
  EXPECT_EQ(StoredLine(), 1);
}

}  // namespace
}  // namespace lectoria
