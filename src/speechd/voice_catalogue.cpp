#include "speechd/voice_catalogue.h"

#include <algorithm>
#include <cmath>
#include <nlohmann/json.hpp>

namespace lectoria::speechd {

namespace {

bool EqualsAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// Rate, pitch, range and volume changes per style. They are chosen so that each style is
// audibly different on espeak-ng's formant voices: lively styles speak faster, higher and
// with a wider pitch range; subdued ones slower, lower and flatter.
const std::vector<StyleProsody>& StyleTable() {
  static const std::vector<StyleProsody> kStyles = {
      {"assistant", 1.05, 4, 5, 1.00},
      {"chat", 1.10, 2, 12, 1.00},
      {"customerservice", 1.00, 6, 5, 1.05},
      {"newscast", 1.12, -2, -12, 1.10},
      {"affectionate", 0.90, 10, 20, 0.95},
      {"angry", 1.18, -5, 30, 1.20},
      {"calm", 0.85, -5, -20, 0.90},
      {"cheerful", 1.15, 12, 25, 1.10},
      {"disgruntled", 0.95, -8, -5, 1.05},
      {"fearful", 1.25, 15, 35, 0.85},
      {"gentle", 0.82, 5, -15, 0.80},
      {"lyrical", 0.78, 2, 35, 0.95},
      {"sad", 0.72, -15, -25, 0.80},
      {"serious", 0.90, -10, -20, 1.05},
      {"depressed", 0.70, -18, -30, 0.75},
      {"embarrassed", 0.92, 8, -10, 0.80},
      {"narration-professional", 1.00, -3, -8, 1.00},
  };
  return kStyles;
}

std::vector<VoiceProfile> BuildCatalogue() {
  // Ordered by locale, then short name. Mandarin reads at a higher espeak rate than the other
  // languages: at the normal 175 words per minute espeak-ng speaks about 2.5 characters a
  // second, well below a natural reading pace.
  const std::string_view kMandarin = "Chinese (Mandarin, Simplified)";
  const std::string_view kCantonese = "Chinese (Cantonese, Traditional)";
  // clang-format off
  return {
    // short name, display name, local name, locale, locale description, gender, id,
    // espeak voice, rate, pitch, range, volume, styles
    {"en-GB-RyanNeural", "Ryan", "Ryan", "en-GB", "English (United Kingdom)", "Male",
     "0d5ca971-c3fc-4bb0-83b6-e0716ece4354", "en+m3", 175, 45, 50, 100, {}},
    {"en-GB-SoniaNeural", "Sonia", "Sonia", "en-GB", "English (United Kingdom)", "Female",
     "f92d6487-6188-4e64-8cd6-d265216479cf", "en+f3", 175, 50, 50, 100, {}},
    {"en-US-AriaNeural", "Aria", "Aria", "en-US", "English (United States)", "Female",
     "50610e04-36ef-4de8-bc16-8cf865fbacac", "en-us+f2", 175, 50, 50, 100,
     {"angry", "chat", "cheerful", "customerservice", "sad"}},
    {"en-US-GuyNeural", "Guy", "Guy", "en-US", "English (United States)", "Male",
     "b8f199a7-9fe1-41db-b812-082d51ac031c", "en-us+m1", 175, 45, 50, 100, {}},
    {"ja-JP-NanamiNeural", "Nanami", "\xE4\xB8\x83\xE6\xB5\xB7" /* 七海 */, "ja-JP",
     "Japanese (Japan)", "Female",
     "8ff9217a-6d8c-47b7-a01c-199951df84b9", "ja+f1", 175, 50, 50, 100, {}},
    {"zh-CN-XiaoxiaoNeural", "Xiaoxiao", "\xE6\x99\x93\xE6\x99\x93" /* 晓晓 */, "zh-CN",
     kMandarin, "Female",
     "fa9f3c43-b3a8-4152-99d3-d91bbfe1c0d6", "cmn+f2", 230, 50, 50, 100,
     {"assistant", "chat", "customerservice", "newscast", "affectionate", "angry", "calm",
      "cheerful", "disgruntled", "fearful", "gentle", "lyrical", "sad", "serious"}},
    {"zh-CN-XiaoyiNeural", "Xiaoyi", "\xE6\x99\x93\xE4\xBC\x8A" /* 晓伊 */, "zh-CN",
     kMandarin, "Female",
     "cf08a1a6-601e-4d46-9f90-a2b77068cef8", "cmn+f4", 230, 58, 55, 100,
     {"affectionate", "angry", "cheerful", "disgruntled", "embarrassed", "fearful", "gentle",
      "sad", "serious"}},
    {"zh-CN-YunxiNeural", "Yunxi", "\xE4\xBA\x91\xE5\xB8\x8C" /* 云希 */, "zh-CN",
     kMandarin, "Male",
     "66ed949a-3f88-40a5-ad5e-65e71ac6d2ec", "cmn+m3", 230, 50, 50, 100,
     {"assistant", "chat", "newscast", "angry", "cheerful", "depressed", "disgruntled",
      "embarrassed", "fearful", "sad", "serious"}},
    {"zh-CN-YunyangNeural", "Yunyang", "\xE4\xBA\x91\xE6\x89\xAC" /* 云扬 */, "zh-CN",
     kMandarin, "Male",
     "4d703cae-950d-4954-aa9e-a9bcf811453a", "cmn+m1", 225, 42, 45, 100,
     {"customerservice", "narration-professional", "newscast"}},
    {"zh-HK-HiuMaanNeural", "HiuMaan", "\xE6\x9B\x89\xE6\x9B\xBC" /* 曉曼 */, "zh-HK",
     kCantonese, "Female",
     "d9c6202a-ceca-4e66-bce8-61574967943f", "yue+f2", 175, 50, 50, 100, {}},
    {"zh-HK-WanLungNeural", "WanLung", "\xE9\x9B\xB2\xE9\xBE\x8D" /* 雲龍 */, "zh-HK",
     kCantonese, "Male",
     "635f92ef-d459-4056-b207-242307702a90", "yue+m2", 175, 45, 50, 100, {}},
  };
  // clang-format on
}

int ClampInt(double value, int low, int high) {
  return std::clamp(static_cast<int>(std::lround(value)), low, high);
}

}  // namespace

std::string VoiceProfile::FullName() const {
  std::string_view tail = shortName;
  if (tail.size() > locale.size() + 1) tail.remove_prefix(locale.size() + 1);
  return "Lectoria Speech Voice (" + std::string(locale) + ", " + std::string(tail) + ")";
}

const std::vector<VoiceProfile>& CatalogueVoices() {
  static const std::vector<VoiceProfile> kVoices = BuildCatalogue();
  return kVoices;
}

const VoiceProfile& DefaultVoice() {
  static const VoiceProfile& kDefault = *FindVoice("zh-CN-XiaoxiaoNeural");
  return kDefault;
}

const VoiceProfile* FindVoice(std::string_view name) {
  if (name.empty()) return nullptr;
  for (const auto& voice : CatalogueVoices()) {
    if (EqualsAsciiCase(voice.shortName, name) || EqualsAsciiCase(voice.FullName(), name)) {
      return &voice;
    }
  }
  return nullptr;
}

const StyleProsody* FindStyle(std::string_view name) {
  for (const auto& style : StyleTable()) {
    if (EqualsAsciiCase(style.name, name)) return &style;
  }
  return nullptr;
}

SpeechSettings SettingsFor(const VoiceProfile& voice, std::string_view style, double degree) {
  SpeechSettings settings;
  settings.espeakVoice = std::string(voice.espeakVoice);
  settings.rate = voice.rate;
  settings.pitch = voice.pitch;
  settings.range = voice.range;
  settings.volume = voice.volume;

  const bool offered = std::any_of(voice.styles.begin(), voice.styles.end(),
                                   [&](std::string_view s) { return EqualsAsciiCase(s, style); });
  const StyleProsody* prosody = offered ? FindStyle(style) : nullptr;
  if (prosody == nullptr) return settings;

  if (!std::isfinite(degree)) degree = 1.0;
  degree = std::clamp(degree, 0.01, 2.0);
  settings.rate = ClampInt(voice.rate * (1.0 + (prosody->rateFactor - 1.0) * degree), 80, 450);
  settings.pitch = ClampInt(voice.pitch + prosody->pitchShift * degree, 0, 100);
  settings.range = ClampInt(voice.range + prosody->rangeShift * degree, 0, 100);
  // Above about 125 espeak-ng's output starts to clip.
  settings.volume =
      ClampInt(voice.volume * (1.0 + (prosody->volumeFactor - 1.0) * degree), 10, 125);
  return settings;
}

VoiceList EspeakVoices() {
  static const VoiceList kVoices = [] {
    auto voices = std::make_shared<std::vector<EngineVoice>>();
    for (const VoiceProfile& profile : CatalogueVoices()) {
      EngineVoice voice;
      voice.shortName = profile.shortName;
      voice.name = profile.FullName();
      voice.displayName = profile.displayName;
      voice.localName = profile.localName;
      voice.locale = profile.locale;
      voice.localeDescription = profile.localeDescription;
      voice.gender = profile.gender;
      voice.id = profile.id;
      voice.description = "espeak-ng voice " + std::string(profile.espeakVoice);
      voice.styles.assign(profile.styles.begin(), profile.styles.end());
      voices->push_back(std::move(voice));
    }
    return voices;
  }();
  return kVoices;
}

std::string VoiceListJson(const std::vector<std::string>& voiceTypes) {
  return VoiceListJson(*EspeakVoices(), "espeak-ng", voiceTypes);
}

}  // namespace lectoria::speechd
