// The HTTP(S) server of the speech service, built on GNU libmicrohttpd.
//
// libmicrohttpd parses requests, bounds the number of connections (in all and per client
// address), closes connections that stay silent, and serves TLS through GnuTLS. Each
// connection has a thread of its own, so a slow or idle client holds up nobody else, and a
// long speak reply is streamed as it is spoken. What the library does not bound, the time a
// whole request may take to arrive, RequestDeadlines adds.
#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "speechd/request_handlers.h"
#include "speechd/service_types.h"

struct MHD_Daemon;

namespace lectoria::speechd {

class RequestDeadlines;

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

/// Bounds on the server's connections.
struct ConnectionLimits {
  /// A whole request (TLS handshake, head and body) must arrive within this, counted from the
  /// connection's start or the end of the previous reply.
  std::chrono::milliseconds requestTimeout{10000};
  /// A connection on which nothing moves for this long is closed (whole seconds).
  std::chrono::seconds idleTimeout{5};
  std::size_t maxConnections = 512;
  std::size_t maxConnectionsPerAddress = 256;
  std::size_t maxHeadBytes = 64 * 1024;
};

/// PEM texts of the certificate chain and its key; both empty for plain HTTP.
struct TlsCredentials {
  std::string certificateChain;
  std::string privateKey;
};

/// The server. Every request goes to the handlers, whose replies carry JSON error bodies for
/// unknown paths and bad requests.
class ServiceHttpServer {
 public:
  /// `recorder` may be null.
  ServiceHttpServer(RequestHandlers& handlers, RequestRecorder* recorder, TlsCredentials tls,
                    ConnectionLimits limits);
  ~ServiceHttpServer();  // stops

  ServiceHttpServer(const ServiceHttpServer&) = delete;
  ServiceHttpServer& operator=(const ServiceHttpServer&) = delete;

  /// Listens on `address` (an IP literal or a host name) and `port` (0: any free port) and
  /// serves. Returns the bound port, or 0 with `error` set.
  int Start(const std::string& address, int port, std::string& error);

  /// Closes every connection and joins every thread. Replies being produced should have been
  /// cut short before (RequestHandlers::SetCancelled), or this waits for them.
  void Stop();

  /// The per-request glue between libmicrohttpd and the handlers (internal).
  struct Glue;

 private:
  RequestHandlers& handlers_;
  RequestRecorder* recorder_;
  TlsCredentials tls_;
  ConnectionLimits limits_;
  std::unique_ptr<RequestDeadlines> deadlines_;
  MHD_Daemon* daemon_ = nullptr;
};

}  // namespace lectoria::speechd
