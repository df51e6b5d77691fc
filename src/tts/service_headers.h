// The header blocks of the service requests, as the demo page sends them: browser headers,
// client hints, fetch metadata, the page's origin and the token.
//
// Each block is "Name: value" lines joined by CR LF (GBK). HttpRequest completes it (only
// its Referer line is missing), writes the names with capitalised words and sends the true
// byte count of the UTF-8 body as Content-Length; the value given here is the GBK count.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "tts/service_endpoint.h"

namespace lectoria {

/// The token request's block: only the Edge user agent.
std::string AuthTokenHeaders();

/// The voices request's block (20 headers).
std::string VoicesHeaders(const SpeechServiceEndpoint& endpoint, std::string_view token,
                          std::size_t contentLength);

/// The multitune request's block (22 headers).
std::string MultituneHeaders(const SpeechServiceEndpoint& endpoint, std::string_view token,
                             std::size_t contentLength);

/// The split-ssmls request's block: one fixed text whose last line carries the token.
std::string SplitSsmlsHeaders(const SpeechServiceEndpoint& endpoint, std::string_view token,
                              std::size_t contentLength);

/// The speak request's block (18 headers).
std::string SpeakHeaders(const SpeechServiceEndpoint& endpoint, std::string_view token,
                         std::size_t contentLength);

}  // namespace lectoria
