// The embedded speech service: an HTTP(S) server on a local port that answers the speech
// client's five requests (token, voices, multitune, split-ssmls, speak) with espeak-ng and LAME.
//
//   lectoria::speechd::SpeechService service;
//   int port = service.Start("127.0.0.1", 0);   // 0: any free port; returns the bound one
//   ...                                          // requests go to http://127.0.0.1:<port>/api/...
//   service.Stop();
#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "speechd/request_handlers.h"
#include "speechd/service_types.h"

namespace lectoria::speechd {

/// Settings of a service instance.
struct SpeechServiceOptions {
  HandlerOptions handlers;
  std::string certFile;         // PEM certificate chain; with keyFile, the service speaks HTTPS
  std::string keyFile;          // PEM private key
  bool recordRequests = false;  // keep the received requests for RecordedRequests()
  std::size_t maxRecordedRequests = 1000;
  std::size_t maxConnections = 512;            // open at once; each has a thread of its own
  std::size_t maxConnectionsPerAddress = 256;  // open at once from one client address
  /// A whole request (TLS handshake, head and body) must arrive within this.
  std::chrono::milliseconds requestTimeout{10000};
  /// A connection on which nothing moves this long (an idle kept-alive one, a stalled
  /// transfer) is closed. Whole seconds.
  std::chrono::seconds keepAliveTimeout{5};
};

class ServiceHttpServer;
class RequestRecorder;

/// One service instance. Start and Stop may be called from any thread, but not concurrently.
class SpeechService {
 public:
  explicit SpeechService(SpeechServiceOptions options = {});
  ~SpeechService();  // stops the service

  SpeechService(const SpeechService&) = delete;
  SpeechService& operator=(const SpeechService&) = delete;

  /// Binds `address` (an IPv4 or IPv6 literal or a host name) and `port` (0: a free port
  /// chosen by the system) and serves on background threads. Returns the bound port, or 0
  /// when the service is already running or cannot start (see LastError()).
  int Start(const std::string& address = "127.0.0.1", int port = 0);

  /// Stops accepting, cuts syntheses in progress short (answered 503, or a streamed reply
  /// left unfinished), closes every connection and joins every thread. Idempotent.
  void Stop();

  bool Running() const { return port_.load() != 0; }
  int Port() const { return port_.load(); }
  bool UsesTls() const;

  /// Why the last Start failed.
  std::string LastError() const { return lastError_; }

  /// The requests received so far, oldest first (empty unless recordRequests is set).
  std::vector<RecordedRequest> RecordedRequests() const;
  void ClearRecordedRequests();

  /// The request handlers (e.g. to issue a token directly in tests).
  RequestHandlers& Handlers() { return *handlers_; }

 private:
  SpeechServiceOptions options_;
  std::unique_ptr<RequestHandlers> handlers_;
  std::unique_ptr<RequestRecorder> recorder_;
  std::unique_ptr<ServiceHttpServer> server_;
  std::string certificateChain_;  // PEM texts, read at the first Start
  std::string privateKey_;
  std::atomic<int> port_{0};
  std::string lastError_;
};

}  // namespace lectoria::speechd
