// Voice lists of any engine: lookup, the default voice and the voices reply.
#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "speechd/speech_engine.h"
#include "speechd/voice_catalogue.h"

namespace lectoria::speechd {

namespace {

bool EqualsAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

}  // namespace

const EngineVoice* FindEngineVoice(const std::vector<EngineVoice>& voices, std::string_view name) {
  if (name.empty()) return nullptr;
  for (const EngineVoice& voice : voices) {
    if (EqualsAsciiCase(voice.shortName, name) || EqualsAsciiCase(voice.name, name)) return &voice;
  }
  return nullptr;
}

const EngineVoice* DefaultEngineVoice(const std::vector<EngineVoice>& voices) {
  if (const EngineVoice* preferred = FindEngineVoice(voices, "zh-CN-XiaoxiaoNeural"))
    return preferred;
  for (const EngineVoice& voice : voices) {
    if (EqualsAsciiCase(voice.locale, "zh-CN")) return &voice;
  }
  return voices.empty() ? nullptr : &voices.front();
}

std::string VoiceIdFrom(std::string_view seed) {
  // Two FNV-1a hashes with different offsets give 128 bits; the id only has to be stable.
  std::uint64_t a = 0xcbf29ce484222325ULL;
  std::uint64_t b = 0x84222325cbf29ce4ULL;
  for (unsigned char c : seed) {
    a = (a ^ c) * 0x100000001b3ULL;
    b = (b ^ c) * 0x100000001b3ULL;
  }
  char text[40];
  std::snprintf(text, sizeof text, "%08x-%04x-4%03x-8%03x-%012llx", static_cast<unsigned>(a >> 32),
                static_cast<unsigned>((a >> 16) & 0xFFFF), static_cast<unsigned>(a & 0xFFF),
                static_cast<unsigned>((b >> 52) & 0xFFF),
                static_cast<unsigned long long>(b & 0xFFFFFFFFFFFFULL));
  return text;
}

std::string VoiceListJson(const std::vector<EngineVoice>& voices, std::string_view engineName,
                          const std::vector<std::string>& voiceTypes) {
  nlohmann::ordered_json list = nlohmann::ordered_json::array();
  // Every voice is listed as a standard voice (the type the client asks for), so a filter
  // either keeps them all or none.
  const bool wanted = voiceTypes.empty() ||
                      std::any_of(voiceTypes.begin(), voiceTypes.end(), [](const std::string& t) {
                        return EqualsAsciiCase(t, kStandardVoiceType);
                      });
  if (!wanted) return list.dump();
  for (const EngineVoice& voice : voices) {
    nlohmann::ordered_json styleSamples = nlohmann::ordered_json::array();
    std::string styleNames;
    for (const std::string& style : voice.styles) {
      styleSamples.push_back({{"styleName", style}});
      if (!styleNames.empty()) styleNames += ',';
      styleNames += style;
    }
    nlohmann::ordered_json entry;
    entry["id"] = voice.id;
    entry["name"] = voice.name;
    entry["description"] = voice.description;
    entry["locale"] = voice.locale;
    entry["voiceType"] = kStandardVoiceType;
    entry["properties"] = {
        {"DisplayName", voice.displayName},
        {"LocalName", voice.localName},
        {"ShortName", voice.shortName},
        {"Gender", voice.gender},
        {"Locale", voice.locale},
        {"LocaleDescription", voice.localeDescription},
        {"SampleRateHertz", "24000"},
        {"VoiceStyleNames", styleNames},
        {"Engine", engineName},
    };
    entry["samples"] = {{"styleSamples", styleSamples},
                        {"languageSamples", nlohmann::ordered_json::array()}};
    list.push_back(std::move(entry));
  }
  // Texts from an outside engine may hold bad UTF-8; they are replaced, not thrown over.
  return list.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

}  // namespace lectoria::speechd
