// HttpRequest: one synchronous HTTP or HTTPS request, the routine every service call goes through.
#pragma once

#include <atomic>
#include <chrono>
#include <string>
#include <string_view>

#include "net/http_session.h"

namespace lectoria {

/// The optional parameters of HttpRequest, with their defaults. Texts are GBK. The pointer
/// members are the caller's variables: null means "not given".
struct HttpRequestOptions {
  /// 0 GET, 1 POST, 2 HEAD, 3 PUT, 4 OPTIONS, 5 DELETE, 6 TRACE, 7 CONNECT; other values GET.
  int method = 0;
  /// Text body, sent as UTF-8 when `postBytes` is empty.
  std::string postText;
  /// In/out: cookie text sent as the Cookie header; rewritten without any "Cookie:" prefix,
  /// and after the response with the merged cookies (see `mergeCookies`).
  std::string* cookies = nullptr;
  /// Out: the cookies the response sets, "name=value" items joined by "; ".
  std::string* returnedCookies = nullptr;
  /// Header block: "Name: value" lines joined by CR LF, sent in this order (except Host, which
  /// always goes first). A later line of the same name replaces an earlier one; a line with an
  /// empty value, or a name or value that is not valid HTTP, sets nothing.
  std::string headers;
  /// Out: the response's header lines joined by CR LF.
  std::string* responseHeaders = nullptr;
  /// Out: the HTTP status, 0 when no response was obtained.
  int* statusCode = nullptr;
  /// True: a redirect status is returned as it is, not followed.
  bool noRedirect = false;
  /// Byte body, sent as it is instead of `postText` when not empty.
  std::string postBytes;
  /// Proxy "host:port"; empty connects directly.
  std::string proxy;
  /// -1: the transport's own limits (connect 60 s, 30 s without progress); below 1: 15 s;
  /// otherwise this many seconds, for connecting and for each wait on the connection.
  int timeoutSeconds = 0;
  /// Credentials used when `proxy` and `proxyUser` are both given.
  std::string proxyUser;
  std::string proxyPassword;
  /// 1: the credentials are for the proxy (sent as Basic with the first request); 0: for the
  /// server (used when it asks for them).
  int credentialTarget = 1;
  /// A session to send through instead of a new one (keeps connections between calls).
  HttpSession* requestObject = nullptr;
  /// Merge the returned cookies into `cookies` (only when `cookies` is given).
  bool mergeCookies = true;
  /// Add the default headers the block lacks (Accept, Referer, Accept-Language, User-Agent,
  /// and Content-Type for a POST).
  bool completeHeaders = true;
  /// Write header names with capitalised words.
  bool normaliseHeaderNames = true;

  /// Server certificates are verified unless this is set: an explicit opt-out for a test or
  /// a private server, never the default.
  bool ignoreCertificateErrors = false;
  /// A PEM file of certificates to trust instead of the system's (a self-signed server's own
  /// certificate, for example); empty keeps the system's.
  std::string caFile;

  /// The whole exchange, redirects included, fails once this moment has passed, even while
  /// bytes keep arriving; max() sets no such limit (only the time-outs above apply).
  std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::time_point::max();

  /// When given and set (from any thread), the exchange is abandoned within about 100 ms and
  /// counts as a failure: a program that is closing need not wait out a slow server.
  const std::atomic<bool>* cancel = nullptr;
};

/// Sends one request and returns the response body exactly as received (not decompressed,
/// not converted), whatever the status. Blocks the calling thread until the exchange ends;
/// any number of calls may run at once on different threads. On any failure (no connection,
/// time-out, the deadline passed, certificate refused, a reply over the size limit, too many
/// redirects) the body, `responseHeaders` and `returnedCookies` are empty and `statusCode` is 0.
std::string HttpRequest(std::string_view url, const HttpRequestOptions& options = {});

/// The limits a `timeoutSeconds` value stands for, in milliseconds.
struct RequestTimeouts {
  /// Resolving, connecting and the TLS handshake.
  long connectMs;
  /// Once connected: the longest wait without a byte sent or received.
  long stallMs;
};
RequestTimeouts TimeoutsFor(int timeoutSeconds);

/// The verb of a method number ("GET" for numbers out of range).
const char* HttpVerb(int method);

}  // namespace lectoria
