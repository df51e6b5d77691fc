#include "app/core/app.h"

#include "app/window/control_names.h"
#include "app/window/texts.h"

namespace lectoria {

App::App(const std::filesystem::path& runDir, AppPorts ports)
    : ports_(ports),
      state_(runDir),
      config_(state_.R),
      library_(state_.R),
      window_(ports.ui),
      hotkeys_(ports.hotkeys),
      saveNotices_(ports.ui, ports.messages) {}

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
  ports_.ui.StopTimer();
  AbandonImport();
  // The threads stop first: one that finished its step after the clean-up (StartAfterWait
  // starting a clip, a worker storing one) would leave the player open or a clip in temp/.
  RunHook(hooks_.OnClose);
  window_.Raise(WindowEvent::kDestroying);
  JoinVoiceLoader();
}

void App::JoinVoiceLoader() {
  if (voiceLoader_.joinable() && voiceLoader_.get_id() != std::this_thread::get_id())
    voiceLoader_.join();
}

void App::StartVoiceLoader() {
  auto body = [this] {
    if (hooks_.LoadVoices) {
      try {
        hooks_.LoadVoices();
        return;
      } catch (...) {
        // An exception leaving the thread would end the program. Reading can be started
        // without a voice list, as after any failed load: the last step follows.
      }
    }
    // The placeholder, and a loader that threw: only the last step.
    place_.VoicesReady();
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
