// A plain HTTP/1.1 server on 127.0.0.1 for tests that check the exact bytes on the wire.
//
// Each connection carries one request: the server reads it whole (headers, then as many body
// bytes as its Content-Length says), records it, writes the reply the handler makes, and
// closes. A reply may instead leave the connection silent ("stall") until the server stops,
// to drive the client's time-outs, or trickle one byte at a time. It also serves as an HTTP proxy:
// a proxied request simply arrives with an absolute URI in its request line.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace lectoria::test {

/// One request as it arrived.
struct RecordedRequest {
  std::string raw;                       // every byte received
  std::string requestLine;               // e.g. "GET /a HTTP/1.1"
  std::vector<std::string> headerLines;  // in order, without CR LF
  std::string body;

  /// The request target ("/a", or "http://host/a" through a proxy).
  std::string Target() const;
  /// The first value of a header (name compared ignoring case), or empty text.
  std::string Header(std::string_view name) const;
  /// The header names in order.
  std::vector<std::string> HeaderNames() const;
};

/// What the server sends back.
struct RawReply {
  std::string bytes;        // written as they are
  bool stallAfter = false;  // then keep the connection open and silent until the server stops
  int trickleMs = 0;        // above 0: then send one byte "x" this often until the server stops
};

/// A complete reply with Content-Length and "Connection: close"; `headerLines` go in between.
RawReply MakeReply(int status, std::string_view body,
                   const std::vector<std::string>& headerLines = {});

class RawHttpServer {
 public:
  using Handler = std::function<RawReply(const RecordedRequest&)>;

  /// Starts listening on an ephemeral port of 127.0.0.1.
  explicit RawHttpServer(Handler handler);
  /// Releases stalled connections, closes everything and joins the threads.
  ~RawHttpServer();
  RawHttpServer(const RawHttpServer&) = delete;
  RawHttpServer& operator=(const RawHttpServer&) = delete;

  int port() const { return port_; }
  /// "http://127.0.0.1:<port>" + path.
  std::string Url(std::string_view path = "/") const;
  /// The requests received so far, in order of arrival.
  std::vector<RecordedRequest> Requests() const;

 private:
  void AcceptLoop();
  void Serve(int fd);

  Handler handler_;
  int listenFd_ = -1;
  int port_ = 0;
  mutable std::mutex mutex_;
  std::condition_variable stopped_;
  bool stopping_ = false;
  std::vector<RecordedRequest> requests_;
  std::vector<int> openFds_;
  std::vector<std::thread> connections_;
  std::thread acceptor_;
};

}  // namespace lectoria::test
