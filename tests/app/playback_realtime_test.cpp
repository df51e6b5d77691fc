// Reading in real time through the program's own player on the silent sink: two short MP3
// clips made here with LAME play in order, each played clip is deleted as the next starts,
// and the position of the clip being heard is stored.
#include <gtest/gtest.h>

#include <mutex>

#include "app/core/app.h"
#include "app/reading/playback_controller.h"
#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "audio/system_clip_player.h"
#include "audio/test_clips.h"
#include "library/library_index.h"
#include "support/fake_ports.h"
#include "support/library_fixture.h"
#include "support/loop_ui_thread.h"
#include "support/run_dir_fixture.h"

namespace lectoria {
namespace {

using namespace std::chrono_literals;
using testing::CrLf;
using testing::G;

// Passes every command to the real player and notes the clips opened and the ends reported.
class RecordingPlayer : public ClipPlayer {
 public:
  explicit RecordingPlayer(ClipPlayer& inner) : inner_(inner) {}

  bool Open(const std::filesystem::path& path) override {
    Note("open " + path.filename().string());
    return inner_.Open(path);
  }
  bool Play(std::int64_t fromMs) override { return inner_.Play(fromMs); }
  bool Pause() override { return inner_.Pause(); }
  PlayerStatus Status() override { return inner_.Status(); }
  void Close() override { inner_.Close(); }
  void SetEndOfClipNotice(std::function<void()> notice) override {
    if (!notice) {
      inner_.SetEndOfClipNotice({});
      return;
    }
    inner_.SetEndOfClipNotice([this, notice = std::move(notice)] {
      Note("end");
      notice();
    });
  }

  std::vector<std::string> Events() {
    std::lock_guard lock(mutex_);
    return events_;
  }

 private:
  void Note(std::string event) {
    std::lock_guard lock(mutex_);
    events_.push_back(std::move(event));
  }

  ClipPlayer& inner_;
  std::mutex mutex_;
  std::vector<std::string> events_;
};

TEST(PlaybackRealTime, TwoClipsPlayInOrderThroughTheSilentSink) {
  testing::TempRunDir dir;
  dir.WriteFile("data/1.txt", CrLf({G("第一章 起"), G("甲一"), G("甲二")}));
  testing::WriteLibraryIndex(dir.paths(), G("一章书"), {G("第一章 起")});
  LibraryIndex index(dir.paths());
  index.WriteReadingHistory(0);
  index.WriteLineNumber(1);

  LoopUiThread ui;
  FakeHotkeyBackend hotkeys;
  FakeMessageBox messages;
  FakeFileDialog fileDialog;
  AudioOptions options;
  options.silent = true;
  SystemClipPlayer system(options);
  RecordingPlayer player(system);
  App app(dir.root(), AppPorts{ui, hotkeys, messages, fileDialog, player});
  PlaybackController controller(app);
  controller.Install();
  app.Start();
  app.JoinVoiceLoader();
  ASSERT_TRUE(app.state().BookLoaded);

  // The clips as the synthesis worker would leave them.
  testing::WriteToneMp3(dir.paths().Clip(0), 300);
  testing::WriteToneMp3(dir.paths().Clip(1), 400);

  MainWindow& w = app.window();
  w.Click(ctl::按钮1);
  ASSERT_EQ(w.Text(ctl::按钮1), texts::kCaptionPause);
  // Both clips play, then reading waits for clip 2, which never comes.
  ASSERT_TRUE(ui.RunUntil([&] { return w.Text(ctl::按钮1) == texts::kCaptionWaiting; }, 10s));

  EXPECT_EQ(player.Events(), (std::vector<std::string>{"open 0.mp3", "end", "open 1.mp3", "end"}));
  EXPECT_EQ(app.state().CurrentClip, 1);
  EXPECT_FALSE(std::filesystem::exists(dir.paths().Clip(0)));
  EXPECT_TRUE(std::filesystem::exists(dir.paths().Clip(1)));
  EXPECT_EQ(index.LineNumber(), 2);
  EXPECT_EQ(index.ReadingHistory(), 0);
  EXPECT_EQ(w.Text(ctl::编辑框3), G("甲一"));
  EXPECT_EQ(system.Status(), PlayerStatus::kStopped);

  app.Close();
  EXPECT_EQ(system.Status(), PlayerStatus::kNone);
}

}  // namespace
}  // namespace lectoria
