#include "tts/service_endpoint.h"

#include "net/http_request.h"
#include "net/inflate_reply.h"
#include "net/text_codec.h"
#include "platform/gbk_text.h"

namespace lectoria {
namespace {

std::string_view WithoutTrailingSlash(std::string_view url) {
  while (!url.empty() && url.back() == '/') url.remove_suffix(1);
  return url;
}

// The value of the last Content-Encoding line (redirects leave earlier responses' lines in
// front), trimmed and in lower case; empty when there is none.
std::string ContentEncoding(std::string_view headers) {
  std::string found;
  for (const std::string& line : SplitText(headers, "\r\n")) {
    const std::size_t colon = line.find(':');
    if (colon == std::string::npos) continue;
    if (!EqualsIgnoreCase(TrimBlanks(std::string_view(line).substr(0, colon)), "Content-Encoding"))
      continue;
    found = AsciiLower(TrimBlanks(std::string_view(line).substr(colon + 1)));
  }
  return found;
}

// The two bytes every gzip stream starts with. The service compresses some replies whatever
// their headers say, and no JSON text can start with them.
bool StartsLikeGzip(std::string_view body) {
  return body.size() >= 2 && static_cast<unsigned char>(body[0]) == 0x1F &&
         static_cast<unsigned char>(body[1]) == 0x8B;
}

}  // namespace

SpeechServiceEndpoint SpeechServiceEndpoint::Local(int port) {
  SpeechServiceEndpoint endpoint;
  endpoint.baseUrl = "http://127.0.0.1:" + std::to_string(port);
  endpoint.origin = endpoint.baseUrl;
  return endpoint;
}

std::string SpeechServiceEndpoint::Url(std::string_view path) const {
  std::string url(WithoutTrailingSlash(baseUrl));
  url += path;
  return url;
}

std::string SpeechServiceEndpoint::Host() const {
  std::string_view rest = WithoutTrailingSlash(baseUrl);
  const std::size_t scheme = rest.find("://");
  if (scheme != std::string_view::npos) rest.remove_prefix(scheme + 3);
  const std::size_t end = rest.find_first_of("/?#");
  if (end != std::string_view::npos) rest = rest.substr(0, end);
  // Credentials never belong in a Host line.
  const std::size_t at = rest.rfind('@');
  if (at != std::string_view::npos) rest.remove_prefix(at + 1);
  return std::string(rest);
}

ServiceReply SendServiceRequest(const SpeechServiceEndpoint& endpoint, std::string_view path,
                                int method, std::string_view headers, std::string_view body,
                                int timeoutSeconds, const std::atomic<bool>* cancel,
                                ServiceDeadline deadline) {
  ServiceReply reply;
  HttpRequestOptions options;
  options.method = method;
  options.postText = std::string(body);
  options.headers = std::string(headers);
  options.timeoutSeconds = timeoutSeconds;
  options.responseHeaders = &reply.headers;
  options.statusCode = &reply.status;
  options.caFile = endpoint.caFile;
  options.ignoreCertificateErrors = endpoint.ignoreCertificateErrors;
  options.cancel = cancel;
  options.deadline = deadline;
  reply.body = HttpRequest(endpoint.Url(path), options);
  return reply;
}

std::string ReplyText(const ServiceReply& reply) {
  if (StartsLikeGzip(reply.body)) return ConvertCharset(InflateReply(reply.body));
  const std::string encoding = ContentEncoding(reply.headers);
  if (encoding.empty() || encoding == "identity") return ConvertCharset(reply.body);
  if (encoding == "gzip" || encoding == "x-gzip" || encoding == "deflate")
    return ConvertCharset(InflateReply(reply.body));
  return {};
}

}  // namespace lectoria
