#include "app/reading/voice_loader.h"

#include <algorithm>

#include "app/window/control_names.h"
#include "app/window/texts.h"

namespace lectoria {

VoiceLoader::VoiceLoader(App& app, const SpeechClient& client)
    : app_(app), client_(client), speech_(app.state()) {}

VoiceLoader::~VoiceLoader() {
  Stop();
  app_.JoinVoiceLoader();
  *link_ = nullptr;
}

void VoiceLoader::Install(AppHooks& hooks) {
  hooks.LoadVoices = [link = link_] {
    if (*link != nullptr) (*link)->LoadVoices();
  };
  hooks.FillStyleBox = [link = link_] {
    if (*link != nullptr) (*link)->FillStyleBox();
  };
  // The App joins the voice-loading thread after OnClose: a request still waiting for a slow
  // service is abandoned and a pause between attempts cut short, so that closing does not
  // wait for either.
  hooks.OnClose = [link = link_, previous = std::move(hooks.OnClose)] {
    if (previous) previous();
    if (*link != nullptr) (*link)->Stop();
  };
}

void VoiceLoader::Stop() {
  cancel_ = true;
  stop_.request_stop();
}

void VoiceLoader::LoadVoices() {
  MainWindow& window = app_.window();
  std::vector<std::string> names = FetchVoiceNames();
  bool loaded = !names.empty();
  ShowVoices(std::move(names));
  app_.place().VoicesReady();  // "开始", enabled when a book is loaded

  // A service that is away at start-up may come back: the loader asks again, less often as
  // time goes by, and fills the boxes once the list comes. Reading can start meanwhile; it
  // waits for its voice.
  std::int32_t pauseMs = kFirstRetryMs;
  while (!loaded && !cancel_) {
    app_.ports().ui.WaitPumpingUnlessStopped(pauseMs, stop_.get_token());
    if (cancel_) break;
    pauseMs = std::min(pauseMs * 2, kLastRetryMs);
    names = FetchVoiceNames();
    loaded = !names.empty() && !cancel_;
    if (loaded) ShowVoices(std::move(names));
  }
}

std::vector<std::string> VoiceLoader::FetchVoiceNames() {
  const std::string token = client_.FetchAuthToken(&cancel_);
  app_.state().CurrentToken.Set(token);
  std::vector<std::string> names;
  for (std::string& name : client_.LoadVoiceCatalogue(token, speech_, &cancel_)) {
    if (!name.empty()) names.push_back(std::move(name));
  }
  return names;
}

void VoiceLoader::ShowVoices(std::vector<std::string> names) {
  MainWindow& window = app_.window();
  window.SetItems(ctl::组合框_语音, std::move(names));
  const std::string saved = app_.config().Voice();
  window.SetSelectedIndex(ctl::组合框_语音, window.FindItemWithPrefix(ctl::组合框_语音, saved));
  FillStyleBox();
}

void VoiceLoader::FillStyleBox() {
  MainWindow& window = app_.window();
  std::vector<std::string> labels =
      BuildStyleLabels(speech_.VoiceListJson(), window.Text(ctl::组合框_语音));
  speech_.SetStyleLabels(labels);
  const auto count = static_cast<std::int32_t>(labels.size());
  window.SetItems(ctl::组合框_语音风格, std::move(labels));
  // A saved index outside the list (a damaged value, "-1" saved with nothing chosen, or a
  // voice with fewer styles) would leave no style chosen, and every synthesis would fail until
  // the user picked one: the list's last entry, "默认", is taken instead.
  std::int32_t index = app_.config().VoiceStyle();
  if (index < 0 || index >= count) index = count - 1;
  window.SetSelectedIndex(ctl::组合框_语音风格, index);
}

}  // namespace lectoria
