// The speech client's view of the application's shared values.
#pragma once

#include "app/state/app_state.h"
#include "tts/speech_client_state.h"

namespace lectoria {

/// SpeechClientState over AppState's VoiceListJson, StyleLabels and ServiceStyleName, so the
/// client, the voice loader and the synthesis worker all share the program's own values.
class AppSpeechState : public SpeechClientState {
 public:
  explicit AppSpeechState(AppState& state) : state_(state) {}

  std::string VoiceListJson() const override { return state_.VoiceListJson.Get(); }
  void SetVoiceListJson(std::string json) override { state_.VoiceListJson.Set(std::move(json)); }
  std::vector<std::string> StyleLabels() const override { return state_.StyleLabels.Get(); }
  void SetStyleLabels(std::vector<std::string> labels) override {
    state_.StyleLabels.Set(std::move(labels));
  }
  std::string ServiceStyleName() const override { return state_.ServiceStyleName.Get(); }
  void SetServiceStyleName(std::string name) override {
    state_.ServiceStyleName.Set(std::move(name));
  }

 private:
  AppState& state_;
};

}  // namespace lectoria
