// The service's five requests, answered from plain request values: token, voices, multitune,
// split-ssmls and speak. No sockets here; the HTTP server and the fuzzer both call Handle.
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string_view>

#include "speechd/service_types.h"
#include "speechd/speech_engine.h"
#include "speechd/speech_stream.h"
#include "speechd/ssml_reader.h"
#include "speechd/token_store.h"

namespace lectoria::speechd {

inline constexpr std::string_view kAuthTokenPath =
    "/api/texttospeech/v3.0-beta1/accdemopageentry/auth-token";
inline constexpr std::string_view kVoicesPath = "/api/texttospeech/v3.0-beta1/accdemopage/voices";
inline constexpr std::string_view kMultitunePath =
    "/api/texttospeech/v3.0-beta1/accdemopage/multitune";
inline constexpr std::string_view kSplitSsmlsPath =
    "/api/texttospeech/v3.0-beta1/accdemopage/split-ssmls";
inline constexpr std::string_view kSpeakPath = "/api/texttospeech/v3.0-beta1/accdemopage/speak";

/// The header that carries the token on every request but the token request.
inline constexpr std::string_view kTokenHeader = "AccDemoPageAuthToken";

/// The content type of every JSON reply.
inline constexpr std::string_view kJsonContentType = "application/json; charset=utf-8";

/// Settings of the request handlers.
struct HandlerOptions {
  std::chrono::seconds tokenLifetime{600};
  ServiceClock clock;                     // empty: the steady clock
  std::size_t maxBodyBytes = 512 * 1024;  // room for a 64 KiB paragraph, markup escaped
  std::size_t maxJsonDepth = 32;
  std::size_t maxListItems = 16;  // entries of the multitune and split-ssmls arrays
  SsmlLimits ssml;
  SpeechLimits speech;
  std::shared_ptr<SpeechEngine> engine;  // empty: espeak-ng
};

/// How a reply is wanted.
struct ReplyOptions {
  /// true: a speak reply may come as its first part plus a ReplyStream for the rest, so that
  /// sending starts early and memory stays small; false: every body is complete.
  bool stream = false;
  /// Tells whether the client has gone, so that its work can stop. May be empty.
  StopCheck clientGone;
};

/// Answers requests. Thread-safe.
class RequestHandlers {
 public:
  explicit RequestHandlers(HandlerOptions options = {});

  /// The reply to `request`. Never throws; bad input gets a 4xx reply with a JSON error body.
  ServiceReply Handle(const ServiceRequest& request, const ReplyOptions& how = {});

  /// true: stops running syntheses and makes later speak requests fail with 503 (used at
  /// shutdown); false: serves normally again.
  void SetCancelled(bool cancelled) { cancelled_.store(cancelled); }

  TokenStore& Tokens() { return tokens_; }
  const HandlerOptions& Options() const { return options_; }

 private:
  ServiceReply AuthToken(const ServiceRequest& request);
  ServiceReply Voices(const ServiceRequest& request, const ReplyOptions& how);
  ServiceReply Multitune(const ServiceRequest& request, const ReplyOptions& how);
  ServiceReply SplitSsmls(const ServiceRequest& request, const ReplyOptions& how);
  ServiceReply Speak(const ServiceRequest& request, const ReplyOptions& how);

  HandlerOptions options_;
  std::shared_ptr<SpeechEngine> engine_;
  TokenStore tokens_;
  std::atomic<bool> cancelled_{false};
};

/// A JSON error reply: {"error":{"code":..., "message":...}}.
ServiceReply ErrorReply(int status, std::string_view message);

/// The short English name of an HTTP status used as the error code ("BadRequest", ...).
std::string_view StatusCodeName(int status);

}  // namespace lectoria::speechd
