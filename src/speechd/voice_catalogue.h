// The voices the service offers, the speaking styles each one supports, and how a style is
// rendered: as changes of espeak-ng's rate, pitch, pitch range and volume.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "speechd/speech_engine.h"

namespace lectoria::speechd {

/// A speaking style: its service name and its changes relative to the voice's own settings.
struct StyleProsody {
  std::string_view name;  // the service's style name, e.g. "cheerful"
  double rateFactor;      // speaking rate multiplier
  int pitchShift;         // added to the base pitch (espeak scale 0..100)
  int rangeShift;         // added to the pitch range (espeak scale 0..100)
  double volumeFactor;    // volume multiplier
};

/// One voice of the catalogue.
struct VoiceProfile {
  std::string_view shortName;            // "zh-CN-XiaoxiaoNeural"
  std::string_view displayName;          // "Xiaoxiao"
  std::string_view localName;            // UTF-8, e.g. "晓晓"
  std::string_view locale;               // "zh-CN"
  std::string_view localeDescription;    // "Chinese (Mandarin, Simplified)"
  std::string_view gender;               // "Female" / "Male"
  std::string_view id;                   // fixed UUID text
  std::string_view espeakVoice;          // espeak-ng voice name with variant, e.g. "cmn+f2"
  int rate;                              // words per minute (espeak scale)
  int pitch;                             // 0..100
  int range;                             // 0..100
  int volume;                            // 0..200, 100 normal
  std::vector<std::string_view> styles;  // service style names this voice offers

  /// The voice's full name: "Lectoria Speech Voice (<locale>, <name part of the short name>)".
  std::string FullName() const;
};

/// The espeak-ng parameters of one stretch of speech.
struct SpeechSettings {
  std::string espeakVoice;
  int rate = 175;
  int pitch = 50;
  int range = 50;
  int volume = 100;

  bool operator==(const SpeechSettings&) const = default;
};

/// The voice type every catalogue voice carries (the client asks for standard voices).
inline constexpr std::string_view kStandardVoiceType = "StandardVoice";

/// Every voice, ordered by locale and then short name, as the service lists them.
const std::vector<VoiceProfile>& CatalogueVoices();

/// The voice used when a request names no voice or one that is not offered.
const VoiceProfile& DefaultVoice();

/// The voice whose short name or full name equals `name` (ASCII letters in any case).
const VoiceProfile* FindVoice(std::string_view name);

/// The rendering of a style by service name (any case), or nullptr when none is known.
const StyleProsody* FindStyle(std::string_view name);

/// The espeak-ng settings for `voice` speaking in `style`. A style the voice does not offer,
/// "Default", "general" and the empty name give the voice's own settings. `degree` (0.01..2,
/// clamped) scales the style's changes, as the service's styledegree attribute does.
SpeechSettings SettingsFor(const VoiceProfile& voice, std::string_view style, double degree = 1.0);

/// The catalogue as an engine's voice list (espeak-ng's).
VoiceList EspeakVoices();

/// The voice list reply of espeak-ng's catalogue (see VoiceListJson in speech_engine.h).
std::string VoiceListJson(const std::vector<std::string>& voiceTypes = {});

}  // namespace lectoria::speechd
