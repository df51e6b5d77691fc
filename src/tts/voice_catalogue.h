// Reading the service's voice list: short names for the voice box, the record of a chosen
// voice for the synthesis requests, and the style labels of a voice.
//
// The voice list is the voices reply as GBK text: a JSON array with one object per voice,
// read at "name", "id", "locale", "voiceType", "properties.ShortName" and
// "samples.styleSamples[j].styleName". Voices are looked up by their short name, the text the
// voice box shows, so the voice synthesized is always the one the user sees chosen, even when
// an entry lacks a name or the service's order changes between requests.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lectoria {

/// The voice box lists at most this many entries of the voice list.
inline constexpr std::size_t kMaxListedVoices = 350;

/// The fields of one voice that the synthesis requests carry (GBK texts; empty when absent).
struct VoiceRecord {
  std::string id;
  std::string name;
  std::string shortName;
  std::string locale;
  std::string voiceType;
  friend bool operator==(const VoiceRecord&, const VoiceRecord&) = default;
};

/// True when `text` is a JSON array: a usable voice list (an error reply is an object).
bool IsVoiceList(std::string_view text);

/// The short names of the first `limit` entries, in list order; an entry without one gives
/// empty text, so position k is entry k. Anything but an array gives no names.
std::vector<std::string> VoiceShortNames(std::string_view voiceListJson,
                                         std::size_t limit = kMaxListedVoices);

/// The record of the first entry whose short name is exactly `shortName`; nothing for an
/// empty name or a voice that is not listed.
std::optional<VoiceRecord> FindVoiceRecord(std::string_view voiceListJson,
                                           std::string_view shortName);

/// The style labels of the voice `shortName`: for each of its style samples in order, the
/// label of its style name when the style table lists it (unknown and empty names are
/// skipped), then "默认". A voice that is not listed gives "默认" alone.
std::vector<std::string> BuildStyleLabels(std::string_view voiceListJson,
                                          std::string_view shortName);

/// The texts joined with ",", no comma after the last.
std::string JoinWithCommas(const std::vector<std::string>& texts);

}  // namespace lectoria
