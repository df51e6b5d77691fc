#include "app/app.h"

#include "app/control_names.h"
#include "app/texts.h"

namespace lectoria {

App::App(const std::filesystem::path& runDir, AppPorts ports)
    : ports_(ports),
      state_(runDir),
      config_(state_.R),
      library_(state_.R),
      window_(ports.ui),
      hotkeys_(ports.hotkeys) {}

App::~App() {
  Close();
  JoinVoiceLoader();
}

void App::Start() {
  if (started_) return;
  started_ = true;
  BindEvents();
  // 时钟1 runs from the window's creation to its destruction.
  const int interval = window_.Snapshot(ctl::时钟1).style.intervalMs;
  ports_.ui.StartTimer(interval, [this] { window_.Raise(ctl::时钟1, ControlEvent::kTimer); });
  window_.Raise(WindowEvent::kCreated);
}

void App::Close() {
  if (!started_ || closed_) return;
  closed_ = true;
  window_.Raise(WindowEvent::kDestroying);
  ports_.ui.StopTimer();
  RunHook(hooks_.OnClose);
  JoinVoiceLoader();
}

void App::JoinVoiceLoader() {
  if (voiceLoader_.joinable() && voiceLoader_.get_id() != std::this_thread::get_id())
    voiceLoader_.join();
}

void App::StartVoiceLoader() {
  auto body = [this] {
    if (hooks_.LoadVoices) {
      hooks_.LoadVoices();
      return;
    }
    // Until the speech client exists the loader only does its last step.
    window_.SetEnabled(ctl::按钮1, true);
    window_.SetText(ctl::按钮1, texts::kCaptionStart);
  };
  JoinVoiceLoader();
  try {
    voiceLoader_ = std::thread(body);
  } catch (const std::system_error&) {
    // No thread to be had: load here rather than leave the start button disabled for good.
    body();
  }
}

}  // namespace lectoria
