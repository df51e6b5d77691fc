// The HTTP(S) server of the speech service, built on cpp-httplib.
//
// cpp-httplib parses requests and writes replies; this class supplies the connections itself
// so that it can (1) see each request's head exactly as it arrived, which the request log and
// the handlers' header order rely on, (2) serve TLS with the same code, and (3) end waits on
// idle or slow connections as soon as the server stops.
#pragma once

#include <httplib.h>
#include <openssl/ssl.h>

#include <atomic>
#include <cstddef>
#include <deque>
#include <mutex>
#include <vector>

#include "speechd/request_handlers.h"
#include "speechd/service_types.h"

namespace lectoria::speechd {

/// Keeps the requests the server received, oldest first, up to a capacity. Thread-safe.
class RequestRecorder {
 public:
  explicit RequestRecorder(std::size_t capacity) : capacity_(capacity) {}
  void Add(RecordedRequest request);
  std::vector<RecordedRequest> Requests() const;
  void Clear();

 private:
  const std::size_t capacity_;
  mutable std::mutex mutex_;
  std::deque<RecordedRequest> requests_;
};

/// Time limits of the server's connections.
struct ConnectionLimits {
  int readTimeoutMs = 5000;  // for the rest of a request once it has begun
  int writeTimeoutMs = 5000;
  int keepAliveTimeoutMs = 5000;  // idle time between requests on one connection
  std::size_t maxHeadBytes = 64 * 1024;
};

/// The server. Routes the service's five paths (any method) to the handlers; everything else
/// gets a JSON error reply from cpp-httplib's error path.
class ServiceHttpServer : public httplib::Server {
 public:
  /// `tls` (may be null, not owned) makes every connection TLS. `recorder` may be null.
  ServiceHttpServer(RequestHandlers& handlers, RequestRecorder* recorder, SSL_CTX* tls,
                    ConnectionLimits limits, std::size_t threads);

  /// Makes connections close after their current request and waits on sockets end.
  void BeginStop() { stopping_.store(true); }

 private:
  bool process_and_close_socket(socket_t sock) override;
  void Dispatch(const httplib::Request& request, httplib::Response& response);
  void FillError(const httplib::Request& request, httplib::Response& response);
  void Record(const httplib::Request* request);

  RequestHandlers& handlers_;
  RequestRecorder* recorder_;
  SSL_CTX* tls_;
  ConnectionLimits limits_;
  std::atomic<bool> stopping_{false};
};

}  // namespace lectoria::speechd
