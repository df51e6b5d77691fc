#include "tts/speech_client_state.h"

namespace lectoria {

std::string SpeechClientValues::VoiceListJson() const {
  std::lock_guard lock(mutex_);
  return voiceListJson_;
}

void SpeechClientValues::SetVoiceListJson(std::string json) {
  std::lock_guard lock(mutex_);
  voiceListJson_ = std::move(json);
}

std::vector<std::string> SpeechClientValues::StyleLabels() const {
  std::lock_guard lock(mutex_);
  return styleLabels_;
}

void SpeechClientValues::SetStyleLabels(std::vector<std::string> labels) {
  std::lock_guard lock(mutex_);
  styleLabels_ = std::move(labels);
}

std::string SpeechClientValues::ServiceStyleName() const {
  std::lock_guard lock(mutex_);
  return serviceStyleName_;
}

void SpeechClientValues::SetServiceStyleName(std::string name) {
  std::lock_guard lock(mutex_);
  serviceStyleName_ = std::move(name);
}

}  // namespace lectoria
