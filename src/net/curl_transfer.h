// One HTTP exchange over libcurl: the transport under HttpRequest.
//
// Internal to the net module (tests use it to reach time-outs and limits below the public
// routine's whole seconds). Redirects are not followed here; HttpRequest decides on them.
#pragma once

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/http_session.h"
#include "net/reply_limits.h"

namespace lectoria {

/// What to send.
struct TransferRequest {
  std::string verb = "GET";
  std::string url;
  /// Headers in wire order, sent as "Name: value". libcurl writes Host first (its own, or this
  /// list's Host line moved there) and adds only Content-Length for a body (when this list has
  /// none) and the credentials below.
  std::vector<std::pair<std::string, std::string>> headers;
  /// The body bytes; nullopt sends none.
  std::optional<std::string> body;
  /// Proxy "host:port"; empty means a direct connection (proxy variables of the environment are
  /// not used).
  std::string proxy;
  /// Basic credentials sent to the proxy with the first request, when the user is not empty.
  std::string proxyUser;
  std::string proxyPassword;
  /// Credentials for the server, used when it asks (401), when the user is not empty.
  std::string serverUser;
  std::string serverPassword;
  /// Limit for resolving, connecting and the TLS handshake.
  long connectTimeoutMs = 15000;
  /// Once connected: the longest time without a byte sent or received.
  long stallTimeoutMs = 15000;
  /// The exchange fails once this moment has passed, however steadily bytes arrive (a server
  /// that trickles its reply never trips the stall limit). max() sets none.
  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();
  /// Accept any server certificate (an explicit opt-out; off by default).
  bool ignoreCertificateErrors = false;
  /// A PEM file of certificates to trust instead of the system's; empty keeps the system's.
  std::string caFile;
  /// A body longer than this fails the transfer.
  std::size_t maxBodyBytes = kMaxReplyBytes;
  /// When given and set, the exchange is abandoned (checked at least every 100 ms).
  const std::atomic<bool>* cancel = nullptr;
};

/// What came back. When `ok` is false everything else is empty or 0.
struct TransferResult {
  bool ok = false;
  int statusCode = 0;
  /// The final response's header lines (no status line) joined by CR LF.
  std::string headers;
  std::string body;
  /// For a redirect status: the absolute URL of its Location, else empty.
  std::string redirectUrl;
};

/// Performs one exchange on `session`'s handle. Blocking; thread-safe across sessions.
TransferResult PerformTransfer(HttpSession& session, const TransferRequest& request);

/// "scheme://host:port" of a URL in lower case (default ports filled in); empty when the URL
/// cannot be parsed.
std::string UrlOrigin(const std::string& url);

}  // namespace lectoria
