// The bodies of the three synthesis requests (multitune, split-ssmls, speak).
//
// Each body is JSON; two carry SSML inside a JSON string, and the SSML carries two comments
// with JSON of their own (a voice map and a lexicon setting). Every substituted value is
// escaped for the place it goes to: XML text and attribute escaping inside the SSML, JSON
// string escaping for the comments' JSON and for the SSML as a whole. So a line holding a
// quote, a backslash, "<" or "&" still gives well-formed requests, and words in the line never
// act as fields of the body. All texts are GBK; escaping steps over double-byte characters, whose
// second byte may look like "\" or another ASCII sign.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "tts/voice_catalogue.h"

namespace lectoria {

/// The number of bytes of a GBK text: two per Chinese character.
inline std::size_t LocalByteLength(std::string_view text) {
  return text.size();
}

/// `text` as the inside of a JSON string: quote, backslash and control characters escaped.
/// In both escapers a byte that starts no valid GBK character becomes "?".
std::string EscapeJsonString(std::string_view text);

/// `text` for XML: & < > as entities, and in a quoted attribute also " and '; control
/// characters that XML cannot hold (all below 0x20 but tab, LF and CR) become spaces.
std::string EscapeXml(std::string_view text, bool attribute = false);

/// Where the line's plain text stands in the service's split: both are JSON numbers as text.
struct SplitPosition {
  std::string paragraphIndex;
  std::string plainTextLength;
};

/// Reads "ssmlSplitResults[0].segments[0].paragraphIndex" and ".charLenghtOfPlainText" (so
/// spelt by the service) from a split-ssmls reply; nothing unless both are numbers.
std::optional<SplitPosition> ReadSplitPosition(std::string_view replyText);

/// The multitune body. `styleLabels` is the style box's labels joined with ",".
std::string BuildMultituneBody(const VoiceRecord& voice, std::string_view lineText,
                               std::string_view styleLabels, std::string_view serviceStyleName);

/// The split-ssmls body.
std::string BuildSplitSsmlsBody(const VoiceRecord& voice, std::string_view lineText);

/// The speak body.
std::string BuildSpeakBody(const VoiceRecord& voice, std::string_view lineText,
                           std::string_view serviceStyleName, const SplitPosition& position);

}  // namespace lectoria
