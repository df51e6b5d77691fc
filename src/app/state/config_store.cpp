#include "app/state/config_store.h"

#include <algorithm>

#include "app/state/app_state.h"

namespace lectoria {

using namespace config_keys;

bool ConfigStore::SkipNonChinese() const {
  return ini_.ReadBool(kSection, kSkipNonChinese, kIniTrue);
}

bool ConfigStore::WakeOutput() const {
  return ini_.ReadBool(kSection, kWakeOutput, kIniFalse);
}

std::int32_t ConfigStore::CacheSize() const {
  return std::clamp(ini_.ReadInt(kSection, kCacheSize, "10"), kMinCacheSize, kMaxCacheSize);
}

std::string ConfigStore::Voice() const {
  return ini_.Read(kSection, kVoice, kDefaultVoice);
}

std::int32_t ConfigStore::VoiceStyle() const {
  return ini_.ReadInt(kSection, kVoiceStyle, "0");
}

bool ConfigStore::WriteSkipNonChinese(bool value) {
  return ini_.WriteBool(kSection, kSkipNonChinese, value);
}

bool ConfigStore::WriteWakeOutput(bool value) {
  return ini_.WriteBool(kSection, kWakeOutput, value);
}

bool ConfigStore::WriteVoice(std::string_view voice) {
  return ini_.Write(kSection, kVoice, voice);
}

bool ConfigStore::WriteVoiceStyle(std::int32_t index) {
  return ini_.WriteInt(kSection, kVoiceStyle, index);
}

}  // namespace lectoria
