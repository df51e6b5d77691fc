#include "net/curl_transfer.h"

#include <curl/curl.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <string_view>

#include "platform/gbk_text.h"

namespace lectoria {

struct HttpSession::Impl {
  CURL* easy = nullptr;
  // The connection cache lives in the multi handle, so the session keeps one of its own.
  CURLM* multi = nullptr;
  std::mutex mutex;
};

namespace {

using Clock = std::chrono::steady_clock;

// curl_global_init is not thread-safe in every libcurl release; do it once, before any handle.
void EnsureCurlInitialised() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Owns a curl_slist.
struct HeaderList {
  curl_slist* list = nullptr;
  HeaderList() = default;
  HeaderList(const HeaderList&) = delete;
  HeaderList& operator=(const HeaderList&) = delete;
  ~HeaderList() { curl_slist_free_all(list); }
  bool Append(const std::string& line) {
    curl_slist* next = curl_slist_append(list, line.c_str());
    if (next == nullptr) return false;
    list = next;
    return true;
  }
};

// State shared with libcurl's callbacks during one exchange.
struct TransferContext {
  const TransferRequest* request = nullptr;
  std::string headers;
  std::string body;
  bool tooLarge = false;
  bool connected = false;
  Clock::time_point lastActivity = Clock::now();
  curl_off_t lastUploaded = 0;
  curl_off_t lastDownloaded = 0;
};

size_t OnBody(char* data, size_t size, size_t count, void* user) {
  auto* ctx = static_cast<TransferContext*>(user);
  const size_t n = size * count;
  ctx->lastActivity = Clock::now();
  if (n > ctx->request->maxBodyBytes - ctx->body.size()) {
    ctx->tooLarge = true;
    return 0;  // makes libcurl stop with a write error
  }
  ctx->body.append(data, n);
  return n;
}

size_t OnHeaderLine(char* data, size_t size, size_t count, void* user) {
  auto* ctx = static_cast<TransferContext*>(user);
  const size_t n = size * count;
  ctx->lastActivity = Clock::now();
  std::string_view line(data, n);
  while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.remove_suffix(1);
  // A status line starts a new response (an interim 1xx, or a retry after an auth challenge):
  // only the last response's headers are kept.
  if (StartsWith(line, "HTTP/")) {
    ctx->headers.clear();
    return n;
  }
  if (line.empty()) return n;
  if (ctx->headers.size() + line.size() + 2 > kMaxResponseHeaderBytes) {
    ctx->tooLarge = true;
    return 0;
  }
  if (!ctx->headers.empty()) ctx->headers += "\r\n";
  ctx->headers.append(line);
  return n;
}

int OnProgress(void* user, curl_off_t, curl_off_t downloaded, curl_off_t, curl_off_t uploaded) {
  auto* ctx = static_cast<TransferContext*>(user);
  if (downloaded != ctx->lastDownloaded || uploaded != ctx->lastUploaded) {
    ctx->lastDownloaded = downloaded;
    ctx->lastUploaded = uploaded;
    ctx->lastActivity = Clock::now();
  }
  return 0;
}

// Called once the connection (with its TLS handshake) is up: from here on the stall limit counts.
int OnConnected(void* user, char*, char*, int, int) {
  auto* ctx = static_cast<TransferContext*>(user);
  ctx->connected = true;
  ctx->lastActivity = Clock::now();
  return CURL_PREREQFUNC_OK;
}

bool HasHeader(const TransferRequest& request, std::string_view name) {
  return std::any_of(request.headers.begin(), request.headers.end(),
                     [name](const auto& h) { return EqualsIgnoreCase(h.first, name); });
}

bool BuildHeaderList(const TransferRequest& request, HeaderList& list) {
  for (const auto& [name, value] : request.headers) {
    if (!list.Append(name + ": " + value)) return false;
  }
  // "Name:" with nothing after the colon stops libcurl from adding a header of its own: the
  // wire carries what the caller asked for, not libcurl's Expect, Accept, form Content-Type or
  // Proxy-Connection.
  for (const char* own : {"Expect", "Accept", "Content-Type", "Proxy-Connection"}) {
    if (!HasHeader(request, own) && !list.Append(std::string(own) + ":")) return false;
  }
  return true;
}

void SetVerbAndBody(CURL* easy, const TransferRequest& request) {
  static const std::string kNoBytes;
  const bool post = request.verb == "POST";
  // A POST always carries a body, if only an empty one (and so "Content-Length: 0").
  const std::string* body = request.body ? &*request.body : (post ? &kNoBytes : nullptr);
  if (request.verb == "HEAD") {
    curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
  } else if (body != nullptr) {
    curl_easy_setopt(easy, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(body->size()));
    curl_easy_setopt(easy, CURLOPT_POSTFIELDS, body->data());
  } else {
    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L);
  }
  if (request.verb != "GET" && request.verb != "HEAD" && !post)
    curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.verb.c_str());
  if (request.verb == "GET" && request.body) curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, "GET");
}

void SetOptions(CURL* easy, const TransferRequest& request, TransferContext& ctx,
                const HeaderList& headers) {
  curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https");
  // HTTP/1.1 keeps header names as written (HTTP/2 would lower-case them both ways).
  curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L);
  // The body is handed back exactly as it arrived; callers decompress it themselves.
  curl_easy_setopt(easy, CURLOPT_HTTP_CONTENT_DECODING, 0L);
  curl_easy_setopt(easy, CURLOPT_HTTPHEADER, headers.list);
  SetVerbAndBody(easy, request);

  curl_easy_setopt(easy, CURLOPT_PROXY, request.proxy.c_str());
  curl_easy_setopt(easy, CURLOPT_SUPPRESS_CONNECT_HEADERS, 1L);
  if (!request.proxyUser.empty()) {
    // Basic alone makes libcurl send the credentials with the first request.
    curl_easy_setopt(easy, CURLOPT_PROXYAUTH, static_cast<unsigned long>(CURLAUTH_BASIC));
    curl_easy_setopt(easy, CURLOPT_PROXYUSERNAME, request.proxyUser.c_str());
    curl_easy_setopt(easy, CURLOPT_PROXYPASSWORD, request.proxyPassword.c_str());
  }
  if (!request.serverUser.empty()) {
    curl_easy_setopt(easy, CURLOPT_HTTPAUTH, static_cast<unsigned long>(CURLAUTH_ANY));
    curl_easy_setopt(easy, CURLOPT_USERNAME, request.serverUser.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, request.serverPassword.c_str());
  }

  if (request.ignoreCertificateErrors) {
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 0L);
  } else {
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(easy, CURLOPT_SSL_VERIFYHOST, 2L);
    if (!request.caFile.empty()) curl_easy_setopt(easy, CURLOPT_CAINFO, request.caFile.c_str());
  }

  curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, std::max(1L, request.connectTimeoutMs));
  curl_easy_setopt(easy, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(request.maxBodyBytes));

  curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(easy, CURLOPT_WRITEDATA, &ctx);
  curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, OnHeaderLine);
  curl_easy_setopt(easy, CURLOPT_HEADERDATA, &ctx);
  curl_easy_setopt(easy, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(easy, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(easy, CURLOPT_XFERINFODATA, &ctx);
  curl_easy_setopt(easy, CURLOPT_PREREQFUNCTION, OnConnected);
  curl_easy_setopt(easy, CURLOPT_PREREQDATA, &ctx);
}

// Drives the exchange with the multi interface so that the stall limit is checked at
// millisecond precision (a plain easy_perform wakes only about once a second when idle).
// Returns libcurl's result, or CURLE_OPERATION_TIMEDOUT after a stall or past the deadline.
CURLcode Drive(CURLM* multi, CURL* easy, const TransferRequest& request, TransferContext& ctx) {
  if (curl_multi_add_handle(multi, easy) != CURLM_OK) return CURLE_FAILED_INIT;
  CURLcode result = CURLE_OK;
  bool finished = false;
  int running = 0;
  CURLMcode mc = curl_multi_perform(multi, &running);
  while (mc == CURLM_OK && running > 0) {
    long waitMs = 1000;
    if (request.cancel != nullptr) {
      if (request.cancel->load()) {
        result = CURLE_ABORTED_BY_CALLBACK;
        finished = true;
        break;
      }
      waitMs = 100;
    }
    if (request.deadline != Clock::time_point::max()) {
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(request.deadline - Clock::now())
              .count();
      if (left <= 0) {
        result = CURLE_OPERATION_TIMEDOUT;
        finished = true;
        break;
      }
      waitMs = std::min(waitMs, static_cast<long>(left));
    }
    if (ctx.connected) {
      const auto idle =
          std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - ctx.lastActivity)
              .count();
      const long left = request.stallTimeoutMs - static_cast<long>(idle);
      if (left <= 0) {
        result = CURLE_OPERATION_TIMEDOUT;
        finished = true;
        break;
      }
      waitMs = std::min(waitMs, left);
    }
    mc = curl_multi_poll(multi, nullptr, 0, static_cast<int>(waitMs), nullptr);
    if (mc == CURLM_OK) mc = curl_multi_perform(multi, &running);
  }
  if (mc != CURLM_OK && !finished) {
    result = CURLE_FAILED_INIT;
    finished = true;
  }
  int queued = 0;
  while (CURLMsg* msg = curl_multi_info_read(multi, &queued)) {
    if (!finished && msg->msg == CURLMSG_DONE && msg->easy_handle == easy) {
      result = msg->data.result;
      finished = true;
    }
  }
  curl_multi_remove_handle(multi, easy);
  return finished ? result : CURLE_FAILED_INIT;
}

}  // namespace

struct HttpSessionAccess {
  static HttpSession::Impl& Get(HttpSession& session) { return *session.impl_; }
};

HttpSession::HttpSession() : impl_(std::make_unique<Impl>()) {
  EnsureCurlInitialised();
  impl_->easy = curl_easy_init();
  impl_->multi = curl_multi_init();
}

HttpSession::~HttpSession() {
  if (impl_->multi != nullptr) curl_multi_cleanup(impl_->multi);
  if (impl_->easy != nullptr) curl_easy_cleanup(impl_->easy);
}

bool HttpSession::valid() const {
  return impl_->easy != nullptr && impl_->multi != nullptr;
}

TransferResult PerformTransfer(HttpSession& session, const TransferRequest& request) {
  TransferResult result;
  if (!session.valid()) return result;
  auto& impl = HttpSessionAccess::Get(session);
  std::lock_guard<std::mutex> lock(impl.mutex);

  HeaderList headers;
  if (!BuildHeaderList(request, headers)) return result;
  TransferContext ctx;
  ctx.request = &request;
  // Options of an earlier request on this session must not leak into this one.
  curl_easy_reset(impl.easy);
  SetOptions(impl.easy, request, ctx, headers);

  const CURLcode code = Drive(impl.multi, impl.easy, request, ctx);
  if (code != CURLE_OK || ctx.tooLarge) return result;

  long status = 0;
  curl_easy_getinfo(impl.easy, CURLINFO_RESPONSE_CODE, &status);
  char* location = nullptr;
  curl_easy_getinfo(impl.easy, CURLINFO_REDIRECT_URL, &location);
  result.ok = true;
  result.statusCode = static_cast<int>(status);
  result.headers = std::move(ctx.headers);
  result.body = std::move(ctx.body);
  if (location != nullptr) result.redirectUrl = location;
  return result;
}

std::string UrlOrigin(const std::string& url) {
  EnsureCurlInitialised();
  CURLU* handle = curl_url();
  if (handle == nullptr) return {};
  std::string origin;
  char* scheme = nullptr;
  char* host = nullptr;
  char* port = nullptr;
  if (curl_url_set(handle, CURLUPART_URL, url.c_str(), 0) == CURLUE_OK &&
      curl_url_get(handle, CURLUPART_SCHEME, &scheme, 0) == CURLUE_OK &&
      curl_url_get(handle, CURLUPART_HOST, &host, 0) == CURLUE_OK &&
      curl_url_get(handle, CURLUPART_PORT, &port, CURLU_DEFAULT_PORT) == CURLUE_OK) {
    origin = AsciiLower(std::string(scheme) + "://" + host + ":" + port);
  }
  curl_free(scheme);
  curl_free(host);
  curl_free(port);
  curl_url_cleanup(handle);
  return origin;
}

}  // namespace lectoria
