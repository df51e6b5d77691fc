#include "net/http_request.h"

#include <array>
#include <optional>

#include "net/cookie_text.h"
#include "net/curl_transfer.h"
#include "net/header_block.h"
#include "net/request_headers.h"
#include "platform/codepage.h"
#include "platform/gbk_text.h"

namespace lectoria {
namespace {

// As many automatic redirects as WinHTTP-style clients follow before giving up.
constexpr int kMaxRedirects = 10;

// The request as it stands before each hop of a redirect chain.
struct PendingRequest {
  std::string verb;
  std::string url;
  RequestHeaders headers;
  std::optional<std::string> body;
};

std::optional<std::string> BodyFor(const std::string& verb, const HttpRequestOptions& options) {
  if (verb == "HEAD") return std::nullopt;
  // The speech service reads its JSON bodies as UTF-8; a byte body goes as it is.
  std::string bytes = options.postBytes.empty() ? GbkToUtf8(options.postText) : options.postBytes;
  if (bytes.empty() && verb != "POST" && verb != "PUT") return std::nullopt;
  return bytes;
}

// The headers as they go on the wire for one hop. The block's Content-Length was counted by
// the caller (in GBK bytes, before the text became UTF-8); the wire must carry the count of the
// bytes really sent, so the line keeps its place with the true value, or goes when there is no
// body. Framing is the transport's affair, so Transfer-Encoding lines are not passed on.
std::vector<std::pair<std::string, std::string>> WireHeaders(const PendingRequest& pending) {
  RequestHeaders headers = pending.headers;
  headers.Remove("Transfer-Encoding");
  if (pending.body) {
    if (headers.Has("Content-Length"))
      headers.Set("Content-Length", std::to_string(pending.body->size()));
  } else {
    headers.Remove("Content-Length");
  }
  return headers.entries();
}

// Headers that hold the first site's credentials: its cookies, Authorization, and the token
// headers web APIs define for themselves (the speech service's AccDemoPageAuthToken, the
// common X-Auth-Token and the like). Another site must not receive them.
bool CarriesCredentials(std::string_view name) {
  const std::string lower = AsciiLower(name);
  return lower == "cookie" || lower == "authorization" || lower.find("token") != std::string::npos;
}

bool IsFollowedRedirect(int status) {
  return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

// Moves `pending` on to the redirect target. False when the redirect is not to be followed:
// a scheme other than http or https, or a step down from https to plain http.
bool FollowRedirect(PendingRequest& pending, int status, const std::string& target,
                    const std::string& firstOrigin, TransferRequest& transfer) {
  const std::string origin = UrlOrigin(target);
  const bool toHttps = StartsWith(origin, "https://");
  if (!toHttps && !StartsWith(origin, "http://")) return false;
  if (StartsWith(UrlOrigin(pending.url), "https://") && !toHttps) return false;
  // 303 turns any request but HEAD into a GET; 301 and 302 do so for a POST, as browsers do.
  const bool toGet = (status == 303 && pending.verb != "HEAD") ||
                     ((status == 301 || status == 302) && pending.verb == "POST");
  if (toGet) {
    pending.verb = "GET";
    pending.body.reset();
  }
  if (origin != firstOrigin) {
    // Cookies and credentials belong to the first site, and its Host line names it.
    std::vector<std::string> dropped{"Host"};
    for (const auto& [name, value] : pending.headers.entries())
      if (CarriesCredentials(name)) dropped.push_back(name);
    for (const std::string& name : dropped) pending.headers.Remove(name);
    transfer.serverUser.clear();
    transfer.serverPassword.clear();
  }
  pending.url = target;
  return true;
}

// Steps 8 to 13 of building a request: the header block, completed and normalised as asked,
// after the Cookie header; the Cookie text is rewritten for the caller.
RequestHeaders BuildHeaders(std::string_view url, const HttpRequestOptions& options) {
  std::string block = options.headers;
  if (options.completeHeaders) block = CompleteHeaders(block, url, options.method);
  if (options.normaliseHeaderNames) block = NormaliseHeaderNames(block);

  RequestHeaders headers;
  if (options.cookies != nullptr) {
    std::string& cookies = *options.cookies;
    if (!cookies.empty() && ContainsText(cookies, "Cookie:", /*ignoreCase=*/true))
      cookies = StripCookiePrefix(cookies);
    headers.Set("Cookie", cookies);
  }
  ApplyHeaderBlock(block, headers);
  return headers;
}

}  // namespace

const char* HttpVerb(int method) {
  static constexpr std::array<const char*, 8> kVerbs{"GET",     "POST",   "HEAD",  "PUT",
                                                     "OPTIONS", "DELETE", "TRACE", "CONNECT"};
  if (method < 0 || method >= static_cast<int>(kVerbs.size())) method = 0;
  return kVerbs[static_cast<std::size_t>(method)];
}

RequestTimeouts TimeoutsFor(int timeoutSeconds) {
  // -1 leaves the transport's own limits; here they are those of a WinHTTP request object
  // (60 s to connect, 30 s for each send or receive) so that a request can never wait forever.
  if (timeoutSeconds == -1) return {60'000, 30'000};
  const long ms = timeoutSeconds < 1 ? 15'000 : static_cast<long>(timeoutSeconds) * 1000;
  return {ms, ms};
}

std::string HttpRequest(std::string_view url, const HttpRequestOptions& options) {
  std::optional<HttpSession> ownSession;
  HttpSession* session = options.requestObject;
  if (session == nullptr) session = &ownSession.emplace();
  // Without a request object nothing can be sent, and no output is touched.
  if (!session->valid()) return {};

  const std::string verb = HttpVerb(options.method);
  const RequestTimeouts timeouts = TimeoutsFor(options.timeoutSeconds);

  TransferRequest transfer;
  transfer.connectTimeoutMs = timeouts.connectMs;
  transfer.stallTimeoutMs = timeouts.stallMs;
  transfer.proxy = options.proxy;
  transfer.ignoreCertificateErrors = options.ignoreCertificateErrors;
  transfer.caFile = options.caFile;
  transfer.cancel = options.cancel;
  transfer.deadline = options.deadline;
  if (!options.proxy.empty() && !options.proxyUser.empty()) {
    if (options.credentialTarget == 1) {
      transfer.proxyUser = options.proxyUser;
      transfer.proxyPassword = options.proxyPassword;
    } else if (options.credentialTarget == 0) {
      transfer.serverUser = options.proxyUser;
      transfer.serverPassword = options.proxyPassword;
    }
  }

  PendingRequest pending{verb, std::string(url), BuildHeaders(url, options),
                         BodyFor(verb, options)};
  const std::string firstOrigin = UrlOrigin(pending.url);

  TransferResult result;
  for (int hop = 0;; ++hop) {
    transfer.verb = pending.verb;
    transfer.url = pending.url;
    transfer.headers = WireHeaders(pending);
    transfer.body = pending.body;
    result = PerformTransfer(*session, transfer);
    if (!result.ok || options.noRedirect || !IsFollowedRedirect(result.statusCode) ||
        result.redirectUrl.empty())
      break;
    if (hop == kMaxRedirects) {
      result = {};  // a redirect loop is a failure, not an answer
      break;
    }
    if (!FollowRedirect(pending, result.statusCode, result.redirectUrl, firstOrigin, transfer))
      break;
  }

  if (options.responseHeaders != nullptr) *options.responseHeaders = result.headers;
  if (options.statusCode != nullptr) *options.statusCode = result.statusCode;
  std::string returned = result.ok ? ExtractReturnedCookies(result.headers) : std::string();
  // A failed exchange leaves the returned cookies empty; there is nothing to merge.
  if (result.ok && options.mergeCookies && options.cookies != nullptr)
    returned = MergeCookies(*options.cookies, returned);
  if (options.returnedCookies != nullptr) *options.returnedCookies = std::move(returned);
  return std::move(result.body);
}

}  // namespace lectoria
