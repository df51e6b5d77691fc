#include "tts/service_headers.h"

#include "net/name_value_list.h"
#include "tts/service_identity.h"

namespace lectoria {
namespace {

namespace ids = speech_ids;

// The headers the three synthesis requests share up to and including Origin, after Accept
// (and Accept-Encoding where given).
void AddCommonHeaders(NameValueList& list, const SpeechServiceEndpoint& endpoint,
                      std::size_t contentLength, std::string_view connectionId) {
  list.Add("Accept-Language", ids::kAcceptLanguage);
  list.Add("Cache-Control", "no-cache");
  list.Add("Connection", "keep-alive");
  list.Add("Content-Length", std::to_string(contentLength));
  list.Add("Content-Type", ids::kJsonContentType);
  list.Add("CustomvoiceConnectionId", connectionId);
  list.Add("Host", endpoint.Host());
  list.Add("Origin", endpoint.origin);
  list.Add("Pragma", "no-cache");
  list.Add("Sec-Fetch-Dest", "empty");
  list.Add("Sec-Fetch-Mode", "cors");
  list.Add("Sec-Fetch-Site", "same-site");
}

}  // namespace

std::string AuthTokenHeaders() {
  NameValueList list;
  list.Add("User-Agent", ids::kEdgeUserAgent);
  return list.ToHeaderText();
}

std::string VoicesHeaders(const SpeechServiceEndpoint& endpoint, std::string_view token,
                          std::size_t contentLength) {
  NameValueList list;
  list.Add(ids::kTokenHeader, token);
  list.Add("Accept", ids::kAcceptJson);
  AddCommonHeaders(list, endpoint, contentLength, ids::kVoicesConnectionId);
  list.Add("SpeechStudio-Session-Id", ids::kVoicesSessionId);
  list.Add("SpeechStudio-SubscriptionSession-Id", ids::kSubscriptionSessionId);
  list.Add("User-Agent", ids::kVoicesUserAgent);
  list.Add("sec-ch-ua-mobile", ids::kSecChUaMobile);
  list.Add("sec-ch-ua-platform", ids::kSecChUaPlatform);
  list.Add("x-ms-useragent", ids::kMsUserAgent);
  return list.ToHeaderText();
}

std::string MultituneHeaders(const SpeechServiceEndpoint& endpoint, std::string_view token,
                             std::size_t contentLength) {
  NameValueList list;
  list.Add(ids::kTokenHeader, token);
  list.Add("Accept", ids::kAcceptJson);
  list.Add("Accept-Encoding", ids::kAcceptEncoding);
  AddCommonHeaders(list, endpoint, contentLength, ids::kTuneConnectionId);
  list.Add("SpeechStudio-Session-Id", ids::kTuneSessionId);
  list.Add("SpeechStudio-SubscriptionSession-Id", ids::kSubscriptionSessionId);
  list.Add("User-Agent", ids::kEdgeUserAgent);
  list.Add("sec-ch-ua", ids::kSecChUa);
  list.Add("sec-ch-ua-mobile", ids::kSecChUaMobile);
  list.Add("sec-ch-ua-platform", ids::kSecChUaPlatform);
  list.Add("x-ms-useragent", ids::kMsUserAgent);
  return list.ToHeaderText();
}

std::string SplitSsmlsHeaders(const SpeechServiceEndpoint& endpoint, std::string_view token,
                              std::size_t contentLength) {
  // A fixed text rather than a list: the same lines as the multitune block, with the token
  // moved to the end.
  std::string block;
  auto line = [&block](std::string_view name, std::string_view value) {
    if (!block.empty()) block += "\r\n";
    block += name;
    block += ": ";
    block += value;
  };
  line("Accept", ids::kAcceptJson);
  line("Accept-Encoding", ids::kAcceptEncoding);
  line("Accept-Language", ids::kAcceptLanguage);
  line("Cache-Control", "no-cache");
  line("Connection", "keep-alive");
  line("Content-Length", std::to_string(contentLength));
  line("Content-Type", ids::kJsonContentType);
  line("CustomvoiceConnectionId", ids::kTuneConnectionId);
  line("Host", endpoint.Host());
  line("Origin", endpoint.origin);
  line("Pragma", "no-cache");
  line("Sec-Fetch-Dest", "empty");
  line("Sec-Fetch-Mode", "cors");
  line("Sec-Fetch-Site", "same-site");
  line("SpeechStudio-Session-Id", ids::kTuneSessionId);
  line("SpeechStudio-SubscriptionSession-Id", ids::kSubscriptionSessionId);
  line("User-Agent", ids::kEdgeUserAgent);
  line("sec-ch-ua", ids::kSecChUa);
  line("sec-ch-ua-mobile", ids::kSecChUaMobile);
  line("sec-ch-ua-platform", ids::kSecChUaPlatform);
  line("x-ms-useragent", ids::kMsUserAgent);
  line(ids::kTokenHeader, token);
  return block;
}

std::string SpeakHeaders(const SpeechServiceEndpoint& endpoint, std::string_view token,
                         std::size_t contentLength) {
  NameValueList list;
  list.Add(ids::kTokenHeader, token);
  list.Add("Accept", ids::kAcceptAny);
  AddCommonHeaders(list, endpoint, contentLength, ids::kTuneConnectionId);
  list.Add("User-Agent", ids::kEdgeUserAgent);
  list.Add("sec-ch-ua", ids::kSecChUa);
  list.Add("sec-ch-ua-mobile", ids::kSecChUaMobile);
  list.Add("sec-ch-ua-platform", ids::kSecChUaPlatform);
  return list.ToHeaderText();
}

}  // namespace lectoria
