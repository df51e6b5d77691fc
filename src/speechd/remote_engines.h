// Engines that speak through a web service: Microsoft's Azure Speech REST API with the user's
// own key, and any server that answers the widely used OpenAI-style audio/speech request.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "speechd/speech_engine.h"

namespace lectoria::speechd {

/// The audio format asked of Azure: the one the service delivers itself.
inline constexpr const char* kAzureOutputFormat = "audio-24khz-160kbitrate-mono-mp3";

struct AzureSettings {
  std::string region;    // e.g. "eastasia": https://eastasia.tts.speech.microsoft.com
  std::string endpoint;  // scheme and host (and port) in place of the region's; may be empty
  std::string key;       // the Speech resource key, sent only as Ocp-Apim-Subscription-Key
  std::chrono::milliseconds timeout{30000};  // each exchange
};

/// Azure: the voice list comes from GET /cognitiveservices/voices/list (fetched on first use
/// and kept once it succeeds; Mandarin and other Chinese voices first, since the window lists
/// only the first 350), and each piece is sent as SSML, its express-as style kept, to
/// POST /cognitiveservices/v1.
class AzureEngine final : public SpeechEngine {
 public:
  explicit AzureEngine(AzureSettings settings);
  std::string_view Name() const override { return "Azure"; }
  VoiceList Voices(std::string& error) override;
  SynthesisResult Speak(const PieceVoice& voice, std::string_view text, const StopCheck& stop,
                        double maxSeconds, EngineAudio& audio) override;

  /// The base address requests go to (endpoint, or the region's host).
  const std::string& BaseUrl() const { return baseUrl_; }

 private:
  AzureSettings settings_;
  std::string baseUrl_;
  std::mutex mutex_;
  VoiceList voices_;
};

/// The voice list of Azure's voices/list reply (a JSON array), or null with `error` set.
VoiceList ParseAzureVoiceList(std::string_view json, std::string& error);

/// The SSML Azure is sent for one piece: `text` (plain UTF-8) escaped, inside the voice and,
/// for a style the voice offers, an mstts:express-as element.
std::string AzurePieceSsml(const EngineVoice& voice, std::string_view style, double degree,
                           std::string_view text);

struct OpenAiSettings {
  std::string baseUrl;              // ".../v1": requests go to baseUrl + "/audio/speech"
  std::string model;                // sent as "model"
  std::vector<std::string> voices;  // the names offered, sent as "voice"
  std::string key;                  // optional; sent as "Authorization: Bearer KEY"
  std::chrono::milliseconds timeout{60000};
};

/// A server answering POST {base}/audio/speech with JSON model, input, voice and
/// response_format ("wav", so no sound is lost to a second MP3 encoding; an MP3 reply is taken
/// as well). Its voices have the default style only.
class OpenAiEngine final : public SpeechEngine {
 public:
  explicit OpenAiEngine(OpenAiSettings settings);
  std::string_view Name() const override { return "OpenAI-style speech server"; }
  VoiceList Voices(std::string& error) override;
  SynthesisResult Speak(const PieceVoice& voice, std::string_view text, const StopCheck& stop,
                        double maxSeconds, EngineAudio& audio) override;

 private:
  OpenAiSettings settings_;
  VoiceList voices_;
};

/// A voice list entry for a voice known only by name. A name that starts like a locale
/// ("zh-CN-...") gets that locale; any other name is taken as Mandarin.
EngineVoice NamedVoice(std::string_view name, std::string_view description);

/// Decodes an engine's audio reply into `audio` and checks its length: kOk, kTooLong or
/// kFailed (with audio.failure set).
SynthesisResult TakeEngineAudio(std::string_view bytes, double maxSeconds, EngineAudio& audio);

}  // namespace lectoria::speechd
