#include "speechd/engine_http.h"

#include <curl/curl.h>

#include <algorithm>
#include <mutex>

namespace lectoria::speechd {

namespace {

struct Transfer {
  std::string* body;
  std::size_t limit;
  const StopCheck* stop;
  bool tooLarge = false;
};

std::size_t OnBody(char* data, std::size_t size, std::size_t count, void* user) {
  auto* transfer = static_cast<Transfer*>(user);
  const std::size_t bytes = size * count;
  if (transfer->body->size() + bytes > transfer->limit) {
    transfer->tooLarge = true;
    return 0;  // ends the transfer
  }
  transfer->body->append(data, bytes);
  return bytes;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  const auto* transfer = static_cast<Transfer*>(user);
  return (*transfer->stop && (*transfer->stop)()) ? 1 : 0;
}

}  // namespace

EngineHttpReply SendEngineRequest(const EngineHttpRequest& request, const StopCheck& stop) {
  static std::once_flag started;
  std::call_once(started, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
  EngineHttpReply reply;
  CURL* curl = curl_easy_init();
  if (curl == nullptr) {
    reply.error = "the HTTP client could not start";
    return reply;
  }
  Transfer transfer{&reply.body, request.maxReplyBytes, &stop};
  curl_slist* headers = nullptr;
  for (const std::string& line : request.headers)
    headers = curl_slist_append(headers, line.c_str());
  // No "Expect: 100-continue" round trip before the body.
  headers = curl_slist_append(headers, "Expect:");
  curl_easy_setopt(curl, CURLOPT_URL, request.url.c_str());
  curl_easy_setopt(curl, CURLOPT_HTTPHEADER, headers);
  curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, static_cast<long>(request.timeout.count()));
  curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(std::min<long long>(request.timeout.count(), 10000)));
  curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, OnBody);
  curl_easy_setopt(curl, CURLOPT_WRITEDATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, OnProgress);
  curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &transfer);
  curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(curl, CURLOPT_ACCEPT_ENCODING, "");  // any compression curl can undo
  if (request.post) {
    curl_easy_setopt(curl, CURLOPT_POST, 1L);
    curl_easy_setopt(curl, CURLOPT_POSTFIELDS, request.body.data());
    curl_easy_setopt(curl, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request.body.size()));
  }
  const CURLcode code = curl_easy_perform(curl);
  long status = 0;
  curl_easy_getinfo(curl, CURLINFO_RESPONSE_CODE, &status);
  const char* contentType = nullptr;
  curl_easy_getinfo(curl, CURLINFO_CONTENT_TYPE, &contentType);
  if (contentType != nullptr) reply.contentType = contentType;
  if (code == CURLE_ABORTED_BY_CALLBACK) {
    reply.cancelled = true;
    reply.error = "abandoned";
  } else if (transfer.tooLarge) {
    reply.error = "the reply is larger than " + std::to_string(request.maxReplyBytes) + " bytes";
  } else if (code == CURLE_OPERATION_TIMEDOUT) {
    reply.error = "no complete reply within " +
                  std::to_string(request.timeout.count() / 1000.0).substr(0, 4) + " seconds";
  } else if (code != CURLE_OK) {
    reply.error = curl_easy_strerror(code);
  }
  reply.status = reply.error.empty() ? static_cast<int>(status) : 0;
  curl_slist_free_all(headers);
  curl_easy_cleanup(curl);
  return reply;
}

std::string DescribeFailedReply(const EngineHttpReply& reply) {
  if (reply.status == 0) return reply.error;
  std::string text = "the server answered status " + std::to_string(reply.status);
  if (reply.status == 401 || reply.status == 403) text += " (the key was refused)";
  // A short error text helps; a long one or binary data does not.
  std::string excerpt = reply.body.substr(0, 200);
  const bool printable = std::all_of(excerpt.begin(), excerpt.end(), [](char c) {
    return static_cast<unsigned char>(c) >= 0x20 || c == '\n' || c == '\t';
  });
  std::replace(excerpt.begin(), excerpt.end(), '\n', ' ');
  if (!excerpt.empty() && printable) text += ": " + excerpt;
  return text;
}

}  // namespace lectoria::speechd
