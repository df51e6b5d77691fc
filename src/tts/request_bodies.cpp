#include "tts/request_bodies.h"

#include <cstdio>

#include "json/json_document.h"
#include "platform/gbk_text.h"
#include "tts/service_identity.h"

namespace lectoria {
namespace {

namespace ids = speech_ids;

// The length of the GBK character at `pos`: 2 for a lead byte with a valid trail byte, 1 for
// a single byte (ASCII, or 0x80, the euro sign in code page 936). 0 marks a byte that is no
// character at all (0xFF, or a lead byte without a valid trail), which the escapers write as
// "?" so that no structural sign can hide behind it.
std::size_t CharLength(std::string_view text, std::size_t pos) {
  const auto c = static_cast<unsigned char>(text[pos]);
  if (c <= 0x80) return 1;
  if (!IsGbkLeadByte(c) || pos + 1 >= text.size()) return 0;
  const auto trail = static_cast<unsigned char>(text[pos + 1]);
  return (trail >= 0x40 && trail <= 0xFE && trail != 0x7F) ? 2 : 0;
}

// A JSON string (with its quotes).
std::string Quoted(std::string_view text) {
  return "\"" + EscapeJsonString(text) + "\"";
}

// A JSON string that sits inside an XML comment, which may not contain "--": a hyphen after a
// hyphen is written as the equivalent escape \u002d.
std::string QuotedInComment(std::string_view text) {
  const std::string quoted = Quoted(text);
  std::string out;
  out.reserve(quoted.size());
  for (char c : quoted) {
    if (c == '-' && !out.empty() && out.back() == '-') {
      out += "\\u002d";
    } else {
      out += c;
    }
  }
  return out;
}

std::string Attribute(std::string_view name, std::string_view value) {
  return " " + std::string(name) + "=\"" + EscapeXml(value, /*attribute=*/true) + "\"";
}

std::string NamespaceAttributes() {
  return Attribute("xmlns", ids::kSsmlNamespace) + Attribute("xmlns:mstts", ids::kMsttsNamespace) +
         Attribute("xmlns:emo", ids::kEmotionNamespace);
}

// The voice-map and lexicon comments with the line feed after each, ahead of a speak element.
std::string SsmlComments(const VoiceRecord& voice) {
  std::string text = "<!--ID=B7267351-473F-409D-9765-754A8EBCDE05;Version=1|";
  text += "{\"VoiceNameToIdMapItems\":[{\"Id\":" + QuotedInComment(voice.id) +
          ",\"Name\":" + QuotedInComment(voice.name) +
          ",\"ShortName\":" + QuotedInComment(voice.shortName) +
          ",\"Locale\":" + QuotedInComment(voice.locale) +
          ",\"VoiceType\":" + QuotedInComment(voice.voiceType) + "}]}-->\n";
  text += "<!--ID=5B95B1CC-2C7B-494F-B746-CF22A0E779B7;Version=1|";
  text += "{\"Locales\":{" + QuotedInComment(voice.locale) +
          ":{\"AutoApplyCustomLexiconFiles\":[{}]}}}-->\n";
  return text;
}

// Copies the double-byte characters of `text` as they are (a byte that starts no valid
// character becomes "?") and lets `escape` write each single-byte character.
template <typename Escape>
std::string EscapeSingleBytes(std::string_view text, Escape escape) {
  std::string out;
  out.reserve(text.size() + 8);
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t length = CharLength(text, i);
    const auto c = static_cast<unsigned char>(text[i]);
    if (length == 1 && c < 0x80) {
      escape(c, out);
      ++i;
    } else if (length > 0) {
      out.append(text.substr(i, length));
      i += length;
    } else {
      out += '?';
      ++i;
    }
  }
  return out;
}

}  // namespace

std::string EscapeJsonString(std::string_view text) {
  return EscapeSingleBytes(text, [](unsigned char c, std::string& out) {
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\f':
        out += "\\f";
        break;
      default:
        if (c < 0x20) {
          char escape[8];
          std::snprintf(escape, sizeof escape, "\\u%04x", static_cast<unsigned>(c));
          out += escape;
        } else {
          out += static_cast<char>(c);
        }
    }
  });
}

std::string EscapeXml(std::string_view text, bool attribute) {
  return EscapeSingleBytes(text, [attribute](unsigned char c, std::string& out) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      case '\'':
        out += attribute ? "&apos;" : "'";
        break;
      case '\t':
      case '\n':
      case '\r':
        out += static_cast<char>(c);
        break;
      default:
        out += c < 0x20 ? ' ' : static_cast<char>(c);
    }
  });
}

std::optional<SplitPosition> ReadSplitPosition(std::string_view replyText) {
  static constexpr std::string_view kIndex = "ssmlSplitResults[0].segments[0].paragraphIndex";
  static constexpr std::string_view kLength =
      "ssmlSplitResults[0].segments[0].charLenghtOfPlainText";
  JsonDocument document;
  if (!document.Parse(replyText)) return std::nullopt;
  if (document.KindOf(kIndex) != JsonKind::kNumber || document.KindOf(kLength) != JsonKind::kNumber)
    return std::nullopt;
  return SplitPosition{document.GetJson(kIndex), document.GetJson(kLength)};
}

std::string BuildMultituneBody(const VoiceRecord& voice, std::string_view lineText,
                               std::string_view styleLabels, std::string_view serviceStyleName) {
  const std::string ssml = "<speak" + NamespaceAttributes() + Attribute("version", "1.0") +
                           Attribute("xml:lang", voice.locale) + ">" + EscapeXml(lineText) +
                           "</speak>";
  const std::string lexiconOperation =
      ",\"TuneLexiconTagOperation\":{\"ClearAllExistingLexiconTags\":true}}";
  std::string body = "[{\"SelectionBeginIndex\":0,\"SelectionLength\":";
  body += std::to_string(LocalByteLength(lineText));
  body += ",\"Ssml\":" + Quoted(ssml);
  body += ",\"UpdateType\":\"Voice\"";
  body += ",\"Parameters\":{\"Name\":" + Quoted(voice.shortName) +
          ",\"ExpressAsTagOperationKind\":\"KeepIfValid\"" +
          ",\"ExpressAsTagStyleNames\":" + Quoted(styleLabels) +
          ",\"ExpressAsTagDefaultStyleName\":" + Quoted(serviceStyleName) +
          ",\"LangTagOperationKind\":\"KeepIfValid\"}";
  body += ",\"TuneLexiconTag\":{\"IsApplyToFullSsml\":true,\"VoicesOperation\":[";
  body += "{\"VoiceName\":" + Quoted(voice.name) + lexiconOperation;
  body += ",{\"VoiceName\":" + Quoted(voice.shortName) + lexiconOperation;
  body += "]}}]";
  return body;
}

std::string BuildSplitSsmlsBody(const VoiceRecord& voice, std::string_view lineText) {
  const std::string ssml = SsmlComments(voice) + "<speak" + NamespaceAttributes() +
                           Attribute("version", "1.0") + Attribute("xml:lang", voice.locale) +
                           "><voice" + Attribute("name", voice.shortName) + ">" +
                           EscapeXml(lineText) + "</voice></speak>";
  std::string body = "{\"ssmls\":[" + Quoted(ssml) + "]";
  body +=
      ",\"splitFileOptions\":{\"splitSsmlByContentMode\":\"OneLinePerSegment\","
      "\"ssmlMaxCharLengthOfPlainTextPerSegmentMode\":"
      "\"SpeakMaxPlainTextCharLengthAutoDetectLanguageFromSsml\"}}";
  return body;
}

std::string BuildSpeakBody(const VoiceRecord& voice, std::string_view lineText,
                           std::string_view serviceStyleName, const SplitPosition& position) {
  // Here version comes before the namespaces.
  const std::string ssml =
      SsmlComments(voice) + "<speak" + Attribute("version", "1.0") + NamespaceAttributes() +
      Attribute("xml:lang", voice.locale) + "><voice" + Attribute("name", voice.shortName) +
      "><mstts:express-as" + Attribute("style", serviceStyleName) + ">" + EscapeXml(lineText) +
      "<prosody contour=\"(49%, -40%)\"></prosody></mstts:express-as></voice></speak>";
  std::string body = "{\"ssml\":" + Quoted(ssml);
  body += ",\"ttsAudioFormat\":" + Quoted(speech_ids::kAudioFormat);
  body += ",\"offsetInPlainText\":" + position.paragraphIndex;
  body += ",\"lengthInPlainText\":" + position.plainTextLength;
  body += ",\"properties\":{\"SpeakTriggerSource\":\"AccTuningPagePlayButton\"}}";
  return body;
}

}  // namespace lectoria
