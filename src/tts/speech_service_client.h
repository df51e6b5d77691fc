// The speech service client: the token, the voice list and the synthesis of one line.
//
//   SpeechServiceClient client(SpeechServiceEndpoint::Local(port));   // the embedded service
//   std::string token = client.FetchAuthToken();
//   SpeechClientValues shared;
//   client.LoadVoiceCatalogue(token, shared);
//   std::string mp3 = client.SynthesizeLine(token, line, "zh-CN-XiaoxiaoNeural", label, shared,
//                                           nullptr);
//
// Every call is blocking, runs on the calling thread and keeps nothing between calls but what
// it writes into the SpeechClientState it is given. No call throws; failures give empty
// results, and nothing is shown to the user here.
#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tts/request_bodies.h"
#include "tts/service_endpoint.h"
#include "tts/speech_client_state.h"
#include "tts/voice_catalogue.h"

namespace lectoria {

/// What the voice loader and the synthesis worker need from a speech service. Tests of those
/// put a scripted version in its place.
class SpeechClient {
 public:
  virtual ~SpeechClient() = default;

  /// A new token from the service, or empty text when there is none. `cancel`, when given
  /// and set, abandons the request (the program is closing).
  virtual std::string FetchAuthToken(const std::atomic<bool>* cancel = nullptr) const = 0;

  /// Fetches the voice list; a usable reply (a JSON array) replaces the cached list in
  /// `state`, anything else leaves it. Returns the short names of the reply's first 350
  /// entries, positions kept (an entry without one gives empty text); no names when the token
  /// is empty (then nothing is sent) or the reply is unusable.
  virtual std::vector<std::string> LoadVoiceCatalogue(
      std::string_view token, SpeechClientState& state,
      const std::atomic<bool>* cancel = nullptr) const = 0;

  /// Turns `lineText` into an MP3 clip spoken by the voice `voiceName` (a short name of the
  /// cached list) in the style whose label is `styleLabel`. Returns the clip, or empty bytes
  /// on any failure. `cancel`, when given and set, ends the call early with empty bytes.
  virtual std::string SynthesizeLine(std::string_view token, std::string_view lineText,
                                     std::string_view voiceName, std::string_view styleLabel,
                                     SpeechClientState& state,
                                     const std::atomic<bool>* cancel) const = 0;
};

/// True when `bytes` start like an MP3 stream: an ID3 tag or an MPEG audio frame header.
bool LooksLikeMp3(std::string_view bytes);

/// How long one SynthesizeLine call may take in all, unless the caller chooses otherwise.
inline constexpr std::chrono::milliseconds kDefaultSynthesisDeadline{60'000};

/// The client of the service's demo API over HTTP(S).
class SpeechServiceClient : public SpeechClient {
 public:
  /// `synthesisDeadline` bounds each SynthesizeLine call as a whole: a service that keeps
  /// sending a byte now and then never trips a stall time-out, so without it one attempt
  /// could hold the synthesis worker for ever.
  explicit SpeechServiceClient(
      SpeechServiceEndpoint endpoint = {},
      std::chrono::milliseconds synthesisDeadline = kDefaultSynthesisDeadline);

  const SpeechServiceEndpoint& endpoint() const { return endpoint_; }
  std::chrono::milliseconds synthesisDeadline() const { return synthesisDeadline_; }

  /// GET of the auth-token path; the reply's "authToken" member, whatever the status.
  std::string FetchAuthToken(const std::atomic<bool>* cancel = nullptr) const override;

  /// The voices request; the reply as GBK text, or empty text when the token is empty (nothing
  /// is sent) or the service did not answer with success.
  std::string FetchVoiceList(std::string_view token, const std::atomic<bool>* cancel = nullptr,
                             ServiceDeadline deadline = kNoDeadline) const;

  std::vector<std::string> LoadVoiceCatalogue(
      std::string_view token, SpeechClientState& state,
      const std::atomic<bool>* cancel = nullptr) const override;

  /// Sends, in this order: voices, multitune, split-ssmls, speak.
  ///
  /// Nothing is sent when the line, the style label, the voice name, the cached voice list or
  /// the token is empty. A known label sets the state's service style name (an unknown one
  /// keeps the previous name). The fresh voice list replaces the cached one when usable; the
  /// call ends there when it is not, or when it does not list the voice. The multitune reply
  /// is not used. The split-ssmls reply must give the line's paragraph index and plain-text
  /// length, or the speak request is not sent. The speak reply is the clip only when the
  /// status is a success and the body is MP3. Setting `cancel` abandons the request under way
  /// (within about 100 ms) and sends no further one; so does passing the synthesis deadline,
  /// counted from the call's start, and the call then gives empty bytes.
  std::string SynthesizeLine(std::string_view token, std::string_view lineText,
                             std::string_view voiceName, std::string_view styleLabel,
                             SpeechClientState& state,
                             const std::atomic<bool>* cancel) const override;

  /// The multitune request; the reply as GBK text (the service's tuning, not used further).
  std::string PostMultitune(std::string_view token, const VoiceRecord& voice,
                            std::string_view lineText, std::string_view styleLabels,
                            std::string_view serviceStyleName,
                            const std::atomic<bool>* cancel = nullptr,
                            ServiceDeadline deadline = kNoDeadline) const;

  /// The split-ssmls request; the reply as GBK text.
  std::string PostSplitSsmls(std::string_view token, const VoiceRecord& voice,
                             std::string_view lineText, const std::atomic<bool>* cancel = nullptr,
                             ServiceDeadline deadline = kNoDeadline) const;

  /// The speak request; the MP3 clip, or empty bytes when the reply is not one.
  std::string PostSpeak(std::string_view token, const SplitPosition& position,
                        const VoiceRecord& voice, std::string_view lineText,
                        std::string_view serviceStyleName,
                        const std::atomic<bool>* cancel = nullptr,
                        ServiceDeadline deadline = kNoDeadline) const;

 private:
  SpeechServiceEndpoint endpoint_;
  std::chrono::milliseconds synthesisDeadline_;
};

}  // namespace lectoria
