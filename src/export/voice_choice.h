// Which voice and speaking style an export speaks with.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lectoria {

/// The voice settings saved by the window's "保存配置" in config.ini (GBK).
struct SavedVoiceSettings {
  std::string voice;            ///< "语音", default "zh-CN-XiaoxiaoNeural"
  std::int32_t styleIndex = 0;  ///< "语音风格", default 0: the entry of the voice's style list
};

/// Reads them from `configIni`; a missing file or key gives the defaults.
SavedVoiceSettings ReadSavedVoiceSettings(const std::filesystem::path& configIni);

/// The outcome of ChooseVoiceAndStyle; texts GBK.
struct VoiceChoice {
  enum class Error { kNone, kUnknownVoice, kUnknownStyle };
  Error error = Error::kNone;
  std::string voice;                 ///< the short name
  std::string styleLabel;            ///< a label of the style table, e.g. "开心" or "默认"
  std::vector<std::string> choices;  ///< on an error, what could have been given instead
};

/// Picks the voice from the service's voice list (`voiceListJson`) and its style.
///
/// Voice: `voiceArg` when given, else the saved one. The listed short name equal to it
/// (ignoring ASCII case) wins; else, as the window selects a saved voice, the first one that
/// begins with it. Style: `styleArg` (a label) when given, which must be one of the voice's
/// labels; else the label at the saved index of the voice's list, or its first label when the
/// saved index lies outside the list.
VoiceChoice ChooseVoiceAndStyle(std::string_view voiceListJson,
                                const std::optional<std::string>& voiceArg,
                                const std::optional<std::string>& styleArg,
                                const SavedVoiceSettings& saved);

}  // namespace lectoria
