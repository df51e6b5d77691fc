#include "tts/voice_catalogue.h"

#include <algorithm>

#include "json/json_document.h"
#include "tts/style_table.h"

namespace lectoria {
namespace {

std::string EntryPath(int index, std::string_view suffix) {
  std::string path = "[" + std::to_string(index) + "]";
  path += suffix;
  return path;
}

// The voice list as a document, or nothing when it is not an array.
std::optional<JsonDocument> ParseVoiceList(std::string_view text) {
  JsonDocument document;
  if (!document.Parse(text) || document.KindOf({}) != JsonKind::kArray) return std::nullopt;
  return document;
}

int FindVoiceIndex(const JsonDocument& list, std::string_view shortName) {
  if (shortName.empty()) return -1;
  const int count = list.GetCount();
  for (int i = 0; i < count; ++i) {
    if (list.GetText(EntryPath(i, ".properties.ShortName")) == shortName) return i;
  }
  return -1;
}

}  // namespace

bool IsVoiceList(std::string_view text) {
  return ParseVoiceList(text).has_value();
}

std::vector<std::string> VoiceShortNames(std::string_view voiceListJson, std::size_t limit) {
  std::vector<std::string> names;
  const std::optional<JsonDocument> list = ParseVoiceList(voiceListJson);
  if (!list) return names;
  const std::size_t count = std::min(static_cast<std::size_t>(list->GetCount()), limit);
  names.reserve(count);
  for (std::size_t i = 0; i < count; ++i)
    names.push_back(list->GetText(EntryPath(static_cast<int>(i), ".properties.ShortName")));
  return names;
}

std::optional<VoiceRecord> FindVoiceRecord(std::string_view voiceListJson,
                                           std::string_view shortName) {
  const std::optional<JsonDocument> list = ParseVoiceList(voiceListJson);
  if (!list) return std::nullopt;
  const int index = FindVoiceIndex(*list, shortName);
  if (index < 0) return std::nullopt;
  VoiceRecord record;
  record.name = list->GetText(EntryPath(index, ".name"));
  record.locale = list->GetText(EntryPath(index, ".locale"));
  record.voiceType = list->GetText(EntryPath(index, ".voiceType"));
  record.id = list->GetText(EntryPath(index, ".id"));
  record.shortName = list->GetText(EntryPath(index, ".properties.ShortName"));
  return record;
}

std::vector<std::string> BuildStyleLabels(std::string_view voiceListJson,
                                          std::string_view shortName) {
  std::vector<std::string> labels;
  if (const std::optional<JsonDocument> list = ParseVoiceList(voiceListJson)) {
    const int index = FindVoiceIndex(*list, shortName);
    if (index >= 0) {
      const std::string samples = EntryPath(index, ".samples.styleSamples");
      const int count = list->GetCount(samples);
      for (int j = 0; j < count; ++j) {
        const std::string name = list->GetText(samples + "[" + std::to_string(j) + "].styleName");
        if (name.empty()) continue;
        if (const auto label = LabelForStyle(name)) labels.emplace_back(*label);
      }
    }
  }
  labels.emplace_back(kDefaultStyleLabel);
  return labels;
}

std::string JoinWithCommas(const std::vector<std::string>& texts) {
  std::string joined;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    if (i > 0) joined += ',';
    joined += texts[i];
  }
  return joined;
}

}  // namespace lectoria
