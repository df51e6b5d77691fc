// Where the speech service is, and the one exchange every service request goes through.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>

namespace lectoria {

/// The public speech service's API address and the origin of its demo page.
inline constexpr std::string_view kDefaultServiceBaseUrl =
    "https://southeastasia.api.speech.microsoft.com";
inline constexpr std::string_view kDefaultServiceOrigin = "https://speech.microsoft.com";

/// Where requests go and how the connection is checked. The program points it at its own
/// embedded service with Local(port); the default is the public service over HTTPS.
struct SpeechServiceEndpoint {
  /// Scheme, host and optional port, without a path: "https://host" or
  /// "http://127.0.0.1:8080". A trailing "/" is ignored.
  std::string baseUrl = std::string(kDefaultServiceBaseUrl);
  /// Sent as the Origin header.
  std::string origin = std::string(kDefaultServiceOrigin);
  /// A PEM file of certificates to trust instead of the system's; empty keeps the system's.
  std::string caFile;
  /// Certificates are verified unless this is set (a test or a private server only).
  bool ignoreCertificateErrors = false;

  /// The embedded service on this machine: "http://127.0.0.1:<port>", origin the same.
  static SpeechServiceEndpoint Local(int port);

  /// baseUrl + path.
  std::string Url(std::string_view path) const;
  /// The authority of baseUrl (host, and ":port" when given): the Host header's value.
  std::string Host() const;
};

/// What came back from one request.
struct ServiceReply {
  std::string body;     // exactly as received; empty on any transport failure
  std::string headers;  // the response's header lines joined by CR LF
  int status = 0;       // 0 when no response was obtained

  bool Succeeded() const { return status >= 200 && status < 300; }
};

/// A moment after which a request fails; kNoDeadline sets none.
using ServiceDeadline = std::chrono::steady_clock::time_point;
inline constexpr ServiceDeadline kNoDeadline = ServiceDeadline::max();

/// Sends one request (method 0 GET, 1 POST) with the header block `headers` (GBK "Name:
/// value" lines joined by CR LF) and the GBK text `body` (sent as UTF-8). `timeoutSeconds`,
/// `deadline` and `cancel` as HttpRequestOptions has them. Blocking; any thread.
ServiceReply SendServiceRequest(const SpeechServiceEndpoint& endpoint, std::string_view path,
                                int method, std::string_view headers, std::string_view body,
                                int timeoutSeconds = 0, const std::atomic<bool>* cancel = nullptr,
                                ServiceDeadline deadline = kNoDeadline);

/// The reply body as GBK text: decompressed first when the body starts like a gzip stream or
/// the response declares a gzip or deflate Content-Encoding (and used as it is otherwise),
/// then converted from UTF-8. A body in an encoding that cannot be decoded gives empty text.
std::string ReplyText(const ServiceReply& reply);

}  // namespace lectoria
