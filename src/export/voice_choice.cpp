#include "export/voice_choice.h"

#include <algorithm>

#include "app/state/config_store.h"
#include "platform/gbk_text.h"
#include "tts/voice_catalogue.h"

namespace lectoria {

SavedVoiceSettings ReadSavedVoiceSettings(const std::filesystem::path& configIni) {
  const ConfigStore config{RunPaths(configIni.parent_path())};
  return {config.Voice(), config.VoiceStyle()};
}

VoiceChoice ChooseVoiceAndStyle(std::string_view voiceListJson,
                                const std::optional<std::string>& voiceArg,
                                const std::optional<std::string>& styleArg,
                                const SavedVoiceSettings& saved) {
  VoiceChoice choice;
  const std::string wanted = voiceArg ? *voiceArg : saved.voice;
  std::vector<std::string> names = VoiceShortNames(voiceListJson);
  std::erase(names, std::string());
  auto found = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
    return EqualsIgnoreCase(name, wanted);
  });
  if (found == names.end()) {
    found = std::find_if(names.begin(), names.end(), [&](const std::string& name) {
      return EqualsIgnoreCase(std::string_view(name).substr(0, wanted.size()), wanted);
    });
  }
  if (found == names.end()) {
    choice.error = VoiceChoice::Error::kUnknownVoice;
    choice.choices = std::move(names);
    return choice;
  }
  choice.voice = *found;

  std::vector<std::string> labels = BuildStyleLabels(voiceListJson, choice.voice);
  if (styleArg) {
    if (std::find(labels.begin(), labels.end(), *styleArg) == labels.end()) {
      choice.error = VoiceChoice::Error::kUnknownStyle;
      choice.choices = std::move(labels);
      return choice;
    }
    choice.styleLabel = *styleArg;
  } else {
    const bool listed =
        saved.styleIndex >= 0 && static_cast<std::size_t>(saved.styleIndex) < labels.size();
    choice.styleLabel = labels[listed ? static_cast<std::size_t>(saved.styleIndex) : 0];
  }
  return choice;
}

}  // namespace lectoria
