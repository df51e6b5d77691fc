#include "app/reading/voice_loader.h"

#include "app/window/control_names.h"
#include "app/window/texts.h"

namespace lectoria {

VoiceLoader::VoiceLoader(App& app, const SpeechClient& client)
    : app_(app), client_(client), speech_(app.state()) {}

VoiceLoader::~VoiceLoader() {
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
  // service is abandoned so that closing does not wait out its time-out.
  hooks.OnClose = [link = link_, previous = std::move(hooks.OnClose)] {
    if (previous) previous();
    if (*link != nullptr) (*link)->cancel_ = true;
  };
}

void VoiceLoader::LoadVoices() {
  MainWindow& window = app_.window();
  const std::string token = client_.FetchAuthToken(&cancel_);
  app_.state().CurrentToken.Set(token);

  std::vector<std::string> names;
  for (std::string& name : client_.LoadVoiceCatalogue(token, speech_, &cancel_)) {
    if (!name.empty()) names.push_back(std::move(name));
  }
  window.SetItems(ctl::组合框_语音, std::move(names));
  const std::string saved = app_.config().Voice();
  window.SetSelectedIndex(ctl::组合框_语音, window.FindItemWithPrefix(ctl::组合框_语音, saved));
  FillStyleBox();

  window.SetEnabled(ctl::按钮1, true);
  window.SetText(ctl::按钮1, texts::kCaptionStart);
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
