// Soak benchmark: resident memory over a long listen.
//
// The reading pipeline as the program wires it — the built-in speech service in-process, the
// real speech client, the voice loader, the synthesis worker, the playback controller and the
// program's own player on its silent sink — reads a book of short lines. The UI clock runs
// 100 times faster than real time (the one-second tick every 10 ms), and the listener skips
// to the next line as soon as it is synthesized, so the clips go by as fast as the service
// makes them. Resident memory (VmRSS) is read after a warm-up and at the end.
//
// Goal: growth under 5 MB over 2,000 clips after the warm-up.
//
// Usage: soak_bench [clips] [warmup_clips]   (defaults 2000 and 200)
// With SOAK_DEVICE set the player opens SDL's audio device instead of the silent sink (with
// SDL_AUDIODRIVER=dummy where there is no sound card), to follow the device's path too.
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/core/app.h"
#include "app/reading/playback_controller.h"
#include "app/reading/synthesis_worker.h"
#include "app/reading/voice_loader.h"
#include "app/window/control_names.h"
#include "audio/system_clip_player.h"
#include "library/library_index.h"
#include "platform/codepage.h"
#include "speechd/speech_service.h"
#include "support/fake_ports.h"
#include "support/library_fixture.h"
#include "support/loop_ui_thread.h"
#include "tts/speech_service_client.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using lectoria::Utf8ToGbk;

constexpr int kSpeedup = 100;
constexpr int kLinesPerChapter = 100;

// VmRSS of this process in kB, from /proc/self/status.
long ResidentKb() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmRSS:", 0) == 0) return std::atol(line.c_str() + 6);
  }
  return -1;
}

// A book of `lines` short lines in chapters of kLinesPerChapter.
fs::path MakeRunDir(int lines) {
  const fs::path root = fs::temp_directory_path() / ("lectoria-soak-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "data");
  const char* phrases[] = {"好的。", "他笑了。", "天黑了。", "走吧。", "雨停了。", "我知道。"};
  lectoria::LibraryIndex index{lectoria::RunPaths(root)};
  const int chapters = (lines + kLinesPerChapter - 1) / kLinesPerChapter;
  std::vector<std::string> titles;
  for (int k = 1; k <= chapters; ++k) {
    const std::string title = Utf8ToGbk("第" + std::to_string(k) + "章");
    std::string text = title;
    for (int i = 1; i < kLinesPerChapter; ++i) text += "\r\n" + Utf8ToGbk(phrases[(k * 7 + i) % 6]);
    std::ofstream(root / "data" / (std::to_string(k) + ".txt"), std::ios::binary) << text;
    titles.push_back(title);
  }
  lectoria::testing::WriteLibraryIndex(lectoria::RunPaths(root), Utf8ToGbk("长夜"), titles);
  index.WriteReadingHistory(0);
  index.WriteLineNumber(1);
  return root;
}

}  // namespace

int main(int argc, char** argv) {
  const int clips = argc > 1 ? std::max(10, std::atoi(argv[1])) : 2000;
  const int warmup = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;
  const fs::path root = MakeRunDir(warmup + clips + 50);

  lectoria::speechd::SpeechService service;
  const int port = service.Start("127.0.0.1", 0);
  if (port == 0) {
    std::fprintf(stderr, "soak_bench: the speech service did not start: %s\n",
                 service.LastError().c_str());
    return 2;
  }
  lectoria::SpeechServiceClient client(lectoria::SpeechServiceEndpoint::Local(port));

  lectoria::LoopUiThread ui(kSpeedup);
  lectoria::FakeHotkeyBackend hotkeys;
  lectoria::FakeMessageBox messages;
  lectoria::FakeFileDialog dialog;
  lectoria::AudioOptions audio;
  audio.silent = std::getenv("SOAK_DEVICE") == nullptr;
  lectoria::SystemClipPlayer player(audio);

  long warmKb = 0;
  long endKb = 0;
  bool finished = false;
  double seconds = 0;
  {
    lectoria::App app(root, lectoria::AppPorts{ui, hotkeys, messages, dialog, player});
    lectoria::PlaybackController playback(app);
    lectoria::VoiceLoader voices(app, client);
    lectoria::SynthesisWorker worker(app, client);
    playback.Install();
    voices.Install(app.hooks());
    worker.Install(app.hooks());
    playback.SetLaunchStep([&worker] { worker.LaunchIfNeeded(); });
    app.Start();
    lectoria::MainWindow& w = app.window();
    const lectoria::AppState& s = app.state();
    ui.RunUntil([&] { return w.IsEnabled(lectoria::ctl::按钮1); }, std::chrono::seconds(30));
    w.Click(lectoria::ctl::按钮1);

    // Skips to each line as soon as its clip exists, until clip `target` is being heard.
    auto readTo = [&](int target) {
      const Clock::time_point deadline = Clock::now() + std::chrono::minutes(30);
      while (s.CurrentClip < target && Clock::now() < deadline) {
        ui.RunFor(std::chrono::milliseconds(1));
        if (fs::exists(s.R.Clip(s.CurrentClip + 1))) w.Click(lectoria::ctl::按钮4);
      }
      return s.CurrentClip >= target;
    };

    const Clock::time_point start = Clock::now();
    finished = readTo(warmup);
    warmKb = ResidentKb();
    std::printf("soak_bench: %d clips of short lines, UI clock x%d, %s\n", clips, kSpeedup,
                audio.silent ? "silent sink" : "SDL audio device");
    std::printf("  after %5d clips (warm-up): VmRSS %7ld kB\n", warmup, warmKb);
    for (int step = 1; finished && step <= 4; ++step) {
      finished = readTo(warmup + clips * step / 4);
      std::printf("  after %5d clips:           VmRSS %7ld kB\n", s.CurrentClip.load(),
                  ResidentKb());
    }
    endKb = ResidentKb();
    seconds = std::chrono::duration<double>(Clock::now() - start).count();
    app.Close();
  }
  service.Stop();
  fs::remove_all(root);

  const double growthMb = (endKb - warmKb) / 1024.0;
  const bool met = finished && growthMb < 5.0;
  std::printf("  %s in %.0f s; messages shown: %zu\n", finished ? "finished" : "DID NOT FINISH",
              seconds, messages.Messages().size());
  std::printf("  goal: growth under 5 MB over %d clips: %s (%+.2f MB)\n", clips,
              met ? "met" : "NOT MET", growthMb);
  return met ? 0 : 1;
}
