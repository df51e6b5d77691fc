#include "speechd/remote_engines.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <nlohmann/json.hpp>

#include "speechd/audio_decoding.h"
#include "speechd/engine_http.h"

namespace lectoria::speechd {

namespace {

constexpr const char* kUserAgent = "User-Agent: Lectoria";

bool EqualsAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

std::string WithoutTrailingSlash(std::string url) {
  while (!url.empty() && url.back() == '/') url.pop_back();
  return url;
}

std::string XmlEscaped(std::string_view text) {
  std::string out;
  out.reserve(text.size() + 16);
  for (char c : text) {
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
        out += "&quot;";
        break;
      case '\'':
        out += "&apos;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string StringMember(const nlohmann::json& object, const char* name) {
  auto found = object.find(name);
  return (found != object.end() && found->is_string()) ? found->get<std::string>() : std::string();
}

// Sends `request` and turns the reply into audio, or into a result that says what failed.
SynthesisResult Exchange(const EngineHttpRequest& request, const StopCheck& stop, double maxSeconds,
                         EngineAudio& audio) {
  const EngineHttpReply reply = SendEngineRequest(request, stop);
  if (reply.cancelled) return SynthesisResult::kCancelled;
  if (reply.status < 200 || reply.status >= 300) {
    audio.failure = DescribeFailedReply(reply);
    return SynthesisResult::kFailed;
  }
  const SynthesisResult result = TakeEngineAudio(reply.body, maxSeconds, audio);
  if (result == SynthesisResult::kFailed && !reply.contentType.empty())
    audio.failure += " (Content-Type " + reply.contentType + ")";
  return result;
}

}  // namespace

SynthesisResult TakeEngineAudio(std::string_view bytes, double maxSeconds, EngineAudio& audio) {
  std::string error;
  if (!DecodeEngineAudio(bytes, audio, error)) {
    audio.failure = error;
    return SynthesisResult::kFailed;
  }
  if (static_cast<double>(audio.samples.size()) > maxSeconds * audio.rate)
    return SynthesisResult::kTooLong;
  return SynthesisResult::kOk;
}

EngineVoice NamedVoice(std::string_view name, std::string_view description) {
  const auto lower = [&](std::size_t i) { return name[i] >= 'a' && name[i] <= 'z'; };
  const auto upper = [&](std::size_t i) { return name[i] >= 'A' && name[i] <= 'Z'; };
  const bool hasLocale = name.size() > 6 && lower(0) && lower(1) && name[2] == '-' && upper(3) &&
                         upper(4) && name[5] == '-';
  EngineVoice voice;
  voice.shortName = voice.name = voice.displayName = voice.localName = std::string(name);
  voice.locale = hasLocale ? std::string(name.substr(0, 5)) : "zh-CN";
  voice.id = VoiceIdFrom(name);
  voice.description = std::string(description);
  return voice;
}

// --- Azure ---------------------------------------------------------------------------------

VoiceList ParseAzureVoiceList(std::string_view json, std::string& error) {
  const nlohmann::json list = nlohmann::json::parse(json, nullptr, /*allow_exceptions=*/false);
  if (!list.is_array()) {
    error = "Azure's voice list is not a JSON array";
    return nullptr;
  }
  std::vector<EngineVoice> chinese, others;
  for (const nlohmann::json& entry : list) {
    if (!entry.is_object()) continue;
    EngineVoice voice;
    voice.shortName = StringMember(entry, "ShortName");
    voice.locale = StringMember(entry, "Locale");
    if (voice.shortName.empty() || voice.locale.empty()) continue;
    voice.name = StringMember(entry, "Name");
    voice.displayName = StringMember(entry, "DisplayName");
    voice.localName = StringMember(entry, "LocalName");
    voice.localeDescription = StringMember(entry, "LocaleName");
    voice.gender = StringMember(entry, "Gender");
    voice.id = VoiceIdFrom(voice.shortName);
    voice.description = "Azure " + StringMember(entry, "VoiceType") + " voice";
    auto styles = entry.find("StyleList");
    if (styles != entry.end() && styles->is_array()) {
      for (const nlohmann::json& style : *styles)
        if (style.is_string()) voice.styles.push_back(style.get<std::string>());
    }
    (voice.locale.rfind("zh-", 0) == 0 ? chinese : others).push_back(std::move(voice));
  }
  if (chinese.empty() && others.empty()) {
    error = "Azure's voice list names no voice";
    return nullptr;
  }
  chinese.insert(chinese.end(), std::make_move_iterator(others.begin()),
                 std::make_move_iterator(others.end()));
  return std::make_shared<const std::vector<EngineVoice>>(std::move(chinese));
}

std::string AzurePieceSsml(const EngineVoice& voice, std::string_view style, double degree,
                           std::string_view text) {
  const bool styled = !style.empty() && !EqualsAsciiCase(style, "Default") &&
                      !EqualsAsciiCase(style, "general") &&
                      std::any_of(voice.styles.begin(), voice.styles.end(),
                                  [&](const std::string& s) { return EqualsAsciiCase(s, style); });
  std::string ssml =
      "<speak version=\"1.0\" xmlns=\"http://www.w3.org/2001/10/synthesis\" "
      "xmlns:mstts=\"https://www.w3.org/2001/mstts\" xml:lang=\"" +
      XmlEscaped(voice.locale) + "\"><voice name=\"" + XmlEscaped(voice.shortName) + "\">";
  if (styled) {
    ssml += "<mstts:express-as style=\"" + XmlEscaped(style) + "\"";
    if (degree != 1.0 && std::isfinite(degree)) {
      char number[16];
      std::snprintf(number, sizeof number, "%.2f", std::clamp(degree, 0.01, 2.0));
      ssml += std::string(" styledegree=\"") + number + "\"";
    }
    ssml += ">" + XmlEscaped(text) + "</mstts:express-as>";
  } else {
    ssml += XmlEscaped(text);
  }
  return ssml + "</voice></speak>";
}

AzureEngine::AzureEngine(AzureSettings settings)
    : settings_(std::move(settings)),
      baseUrl_(settings_.endpoint.empty()
                   ? "https://" + settings_.region + ".tts.speech.microsoft.com"
                   : WithoutTrailingSlash(settings_.endpoint)) {}

VoiceList AzureEngine::Voices(std::string& error) {
  std::lock_guard lock(mutex_);  // one fetch at a time; later callers get its result
  if (voices_) return voices_;
  EngineHttpRequest request;
  request.url = baseUrl_ + "/cognitiveservices/voices/list";
  request.headers = {"Ocp-Apim-Subscription-Key: " + settings_.key, kUserAgent};
  request.timeout = settings_.timeout;
  const EngineHttpReply reply = SendEngineRequest(request);
  if (reply.status != 200) {
    error = "Azure's voice list could not be fetched: " + DescribeFailedReply(reply);
    return nullptr;
  }
  voices_ = ParseAzureVoiceList(reply.body, error);
  return voices_;
}

SynthesisResult AzureEngine::Speak(const PieceVoice& voice, std::string_view text,
                                   const StopCheck& stop, double maxSeconds, EngineAudio& audio) {
  EngineHttpRequest request;
  request.url = baseUrl_ + "/cognitiveservices/v1";
  request.post = true;
  request.headers = {"Ocp-Apim-Subscription-Key: " + settings_.key,
                     "Content-Type: application/ssml+xml",
                     std::string("X-Microsoft-OutputFormat: ") + kAzureOutputFormat, kUserAgent};
  request.body = AzurePieceSsml(*voice.voice, voice.style, voice.styleDegree, text);
  request.timeout = settings_.timeout;
  return Exchange(request, stop, maxSeconds, audio);
}

// --- OpenAI-style ----------------------------------------------------------------------------

OpenAiEngine::OpenAiEngine(OpenAiSettings settings) : settings_(std::move(settings)) {
  settings_.baseUrl = WithoutTrailingSlash(settings_.baseUrl);
  auto voices = std::make_shared<std::vector<EngineVoice>>();
  for (const std::string& name : settings_.voices)
    voices->push_back(NamedVoice(name, "voice of the speech server at " + settings_.baseUrl));
  voices_ = std::move(voices);
}

VoiceList OpenAiEngine::Voices(std::string&) {
  return voices_;
}

SynthesisResult OpenAiEngine::Speak(const PieceVoice& voice, std::string_view text,
                                    const StopCheck& stop, double maxSeconds, EngineAudio& audio) {
  nlohmann::ordered_json body;
  body["model"] = settings_.model;
  body["input"] = text;
  body["voice"] = voice.voice->shortName;
  body["response_format"] = "wav";
  EngineHttpRequest request;
  request.url = settings_.baseUrl + "/audio/speech";
  request.post = true;
  request.headers = {"Content-Type: application/json", kUserAgent};
  if (!settings_.key.empty()) request.headers.push_back("Authorization: Bearer " + settings_.key);
  request.body = body.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
  request.timeout = settings_.timeout;
  return Exchange(request, stop, maxSeconds, audio);
}

}  // namespace lectoria::speechd
