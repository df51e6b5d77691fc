// Playback gap benchmark: how long the silence lasts between the end of one clip and the start
// of the next when the next clip is already in the cache.
//
// The program's own player plays on its silent sink (which keeps real time), the controller
// runs on a real-time UI thread with the one-second timer, and every clip of a one-chapter
// book is in temp/ before reading starts. A round measures, for each clip after the first,
// the time from the player's end-of-clip notice for the previous clip to the play command of
// this one, and from the previous clip's nominal end (its start plus its length).
//
// Round 1 is the program as built: the end-of-clip notice moves reading on at once.
// Round 2 takes the notice away, so only the one-second tick notices the end.
// Goal: median gap under 50 ms in round 1.
//
// Usage: playback_gap_bench [clips] [clip_ms]   (defaults 10 and 1000)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "app/core/app.h"
#include "app/window/control_names.h"
#include "support/fake_ports.h"
#include "support/library_fixture.h"
#include "support/loop_ui_thread.h"
#include "app/reading/playback_controller.h"
#include "app/window/texts.h"
#include "audio/system_clip_player.h"
#include "audio/tools/mp3_writer.h"
#include "library/library_index.h"
#include "platform/codepage.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double Ms(Clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

// Passes every command to the real player and notes when each clip starts (with its length)
// and when each end is reported. With `forwardEnds` false the controller never hears of an
// end and relies on its tick.
class TimingPlayer : public lectoria::ClipPlayer {
 public:
  TimingPlayer(lectoria::SystemClipPlayer& inner, bool forwardEnds)
      : inner_(inner), forwardEnds_(forwardEnds) {}

  bool Open(const fs::path& path) override { return inner_.Open(path); }
  bool Play(std::int64_t fromMs) override {
    const bool ok = inner_.Play(fromMs);
    if (ok) {
      std::lock_guard lock(mutex_);
      starts_.push_back(Clock::now());
      lengths_.push_back(inner_.LengthMs() - std::max<std::int64_t>(fromMs, 0));
    }
    return ok;
  }
  bool Pause() override { return inner_.Pause(); }
  lectoria::PlayerStatus Status() override { return inner_.Status(); }
  void Close() override { inner_.Close(); }
  void SetEndOfClipNotice(std::function<void()> notice) override {
    if (!notice) {
      inner_.SetEndOfClipNotice({});
      return;
    }
    inner_.SetEndOfClipNotice([this, notice = std::move(notice)] {
      {
        std::lock_guard lock(mutex_);
        ends_.push_back(Clock::now());
      }
      if (forwardEnds_) notice();
    });
  }

  struct Gaps {
    std::vector<double> fromNotice;
    std::vector<double> fromNominalEnd;
  };
  Gaps Measure() {
    std::lock_guard lock(mutex_);
    Gaps gaps;
    for (std::size_t k = 1; k < starts_.size() && k - 1 < ends_.size(); ++k) {
      gaps.fromNotice.push_back(Ms(starts_[k] - ends_[k - 1]));
      const Clock::time_point nominalEnd =
          starts_[k - 1] + std::chrono::milliseconds(lengths_[k - 1]);
      gaps.fromNominalEnd.push_back(Ms(starts_[k] - nominalEnd));
    }
    return gaps;
  }

 private:
  lectoria::SystemClipPlayer& inner_;
  const bool forwardEnds_;
  std::mutex mutex_;
  std::vector<Clock::time_point> starts_;
  std::vector<std::int64_t> lengths_;
  std::vector<Clock::time_point> ends_;
};

struct Figures {
  double median = 0;
  double mean = 0;
  double max = 0;
};

Figures Summarize(std::vector<double> values) {
  Figures f;
  if (values.empty()) return f;
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  f.median = n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
  for (double v : values) f.mean += v;
  f.mean /= static_cast<double>(n);
  f.max = values.back();
  return f;
}

// A run directory holding a one-chapter book of `lines` lines.
fs::path MakeRunDir(const std::string& name, int lines) {
  const fs::path root =
      fs::temp_directory_path() / ("lectoria-gap-bench-" + std::to_string(::getpid()) + "-" + name);
  fs::remove_all(root);
  fs::create_directories(root / "data");
  std::string text = lectoria::Utf8ToGbk("第一章 夜色") + "\r\n";
  for (int i = 1; i < lines; ++i)
    text += lectoria::Utf8ToGbk("他抬头望向窗外，远处的灯火一盏接一盏地熄灭了。") + "\r\n";
  std::ofstream(root / "data" / "1.txt", std::ios::binary) << text;
  lectoria::testing::WriteLibraryIndex(lectoria::RunPaths(root), lectoria::Utf8ToGbk("夜色"),
                                      {lectoria::Utf8ToGbk("第一章 夜色")});
  lectoria::LibraryIndex index{lectoria::RunPaths(root)};
  index.WriteReadingHistory(0);
  index.WriteLineNumber(1);
  return root;
}

// Reads `clips` cached clips of `mp3` from the start of the book; returns the gaps.
bool RunRound(const std::string& name, bool forwardEnds, int clips,
              const std::vector<std::uint8_t>& mp3, std::chrono::milliseconds clipLength,
              TimingPlayer::Gaps& gaps) {
  const fs::path root = MakeRunDir(name, clips + 20);
  lectoria::LoopUiThread ui;
  lectoria::FakeHotkeyBackend hotkeys;
  lectoria::FakeMessageBox messages;
  lectoria::FakeFileDialog dialog;
  lectoria::AudioOptions options;
  options.silent = true;
  lectoria::SystemClipPlayer system(options);
  TimingPlayer player(system, forwardEnds);
  bool finished = false;
  {
    lectoria::App app(root, lectoria::AppPorts{ui, hotkeys, messages, dialog, player});
    lectoria::PlaybackController controller(app);
    controller.Install();
    app.Start();
    app.JoinVoiceLoader();
    const lectoria::RunPaths paths(root);
    for (int n = 0; n < clips; ++n) lectoria::WriteBytes(paths.Clip(n), mp3);

    lectoria::MainWindow& w = app.window();
    w.Click(lectoria::ctl::按钮1);
    const auto budget = (clipLength + std::chrono::milliseconds(1500)) * clips;
    finished = ui.RunUntil(
        [&] {
          return app.state().CurrentClip == clips - 1 &&
                 w.Text(lectoria::ctl::按钮1) == lectoria::texts::kCaptionWaiting;
        },
        std::chrono::duration_cast<std::chrono::milliseconds>(budget));
    app.Close();
  }
  gaps = player.Measure();
  fs::remove_all(root);
  return finished;
}

void Print(const char* what, const std::vector<double>& values) {
  const Figures f = Summarize(values);
  std::printf("    %-34s median %7.2f ms   mean %7.2f ms   max %7.2f ms\n", what, f.median, f.mean,
              f.max);
}

}  // namespace

int main(int argc, char** argv) {
  const int clips = argc > 1 ? std::max(2, std::atoi(argv[1])) : 10;
  const int clipMs = argc > 2 ? std::max(100, std::atoi(argv[2])) : 1000;
  const int tickClips = std::min(clips, 4);

  // A speech-like clip: 24 kHz mono, as the speech service delivers it.
  constexpr int kRate = 24000;
  const std::vector<std::uint8_t> mp3 =
      lectoria::EncodeMp3(lectoria::MakeTone(clipMs, kRate, 1, 220.0, 0.3), kRate, 1, 64);
  if (mp3.empty()) {
    std::fprintf(stderr, "playback_gap_bench: could not encode the test clip\n");
    return 2;
  }

  std::printf("playback_gap_bench: cached clips of %d ms (24 kHz mono MP3), silent sink\n", clipMs);
  TimingPlayer::Gaps notice;
  const bool ok1 = RunRound("notice", true, clips, mp3, std::chrono::milliseconds(clipMs), notice);
  std::printf("  round 1, end-of-clip notice on (%d clips, %zu gaps)%s\n", clips,
              notice.fromNotice.size(), ok1 ? "" : "  -- DID NOT FINISH");
  Print("gap from the end notice:", notice.fromNotice);
  Print("gap from the nominal end:", notice.fromNominalEnd);

  TimingPlayer::Gaps tick;
  const bool ok2 = RunRound("tick", false, tickClips, mp3, std::chrono::milliseconds(clipMs), tick);
  std::printf("  round 2, one-second tick only (%d clips, %zu gaps)%s\n", tickClips,
              tick.fromNotice.size(), ok2 ? "" : "  -- DID NOT FINISH");
  Print("gap from the end notice:", tick.fromNotice);
  Print("gap from the nominal end:", tick.fromNominalEnd);

  const double median = Summarize(notice.fromNotice).median;
  const bool met = ok1 && !notice.fromNotice.empty() && median < 50.0;
  std::printf("  goal: median gap under 50 ms with the notice: %s (%.2f ms)\n",
              met ? "met" : "NOT MET", median);
  return met ? 0 : 1;
}
