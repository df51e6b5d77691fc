#include "speechd/http_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <string>

namespace lectoria::speechd {

namespace {

using SteadyClock = std::chrono::steady_clock;

// Waits are cut into slices so that a stopping server is noticed quickly.
constexpr int kWaitSliceMs = 20;

// One accepted connection, plain or TLS, as a cpp-httplib stream. It also keeps the bytes of
// the current request's head as they arrived.
class ConnectionStream final : public httplib::Stream {
 public:
  ConnectionStream(int fd, SSL* ssl, const std::atomic<bool>& stopping,
                   const ConnectionLimits& limits)
      : fd_(fd), ssl_(ssl), stopping_(stopping), limits_(limits) {}

  bool is_readable() const override { return Buffered() || Wait(POLLIN, limits_.readTimeoutMs); }
  bool is_writable() const override { return Wait(POLLOUT, limits_.writeTimeoutMs); }

  ssize_t read(char* ptr, size_t size) override {
    if (size == 0) return 0;
    if (requestBytes_ >= maxRequestBytes_) return -1;  // e.g. an endless chunked body
    if (begin_ == end_ && !Fill(limits_.readTimeoutMs)) return -1;
    if (begin_ == end_) return 0;  // end of stream
    const std::size_t count = std::min({size, end_ - begin_, maxRequestBytes_ - requestBytes_});
    requestBytes_ += count;
    std::copy(buffer_ + begin_, buffer_ + begin_ + count, ptr);
    begin_ += count;
    if (capturingHead_) {
      head_.append(ptr, count);
      if (head_.find("\r\n\r\n") != std::string::npos || head_.find("\n\n") != std::string::npos) {
        capturingHead_ = false;
      } else if (head_.size() > limits_.maxHeadBytes) {
        return -1;  // a head this long is refused outright
      }
    }
    return static_cast<ssize_t>(count);
  }

  ssize_t write(const char* ptr, size_t size) override {
    std::size_t done = 0;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(limits_.writeTimeoutMs);
    while (done < size) {
      short waitFor = POLLOUT;
      if (ssl_ != nullptr) {
        const int chunk = static_cast<int>(std::min<std::size_t>(size - done, 1 << 20));
        const int written = SSL_write(ssl_, ptr + done, chunk);
        if (written > 0) {
          done += static_cast<std::size_t>(written);
          continue;
        }
        const int error = SSL_get_error(ssl_, written);
        if (error == SSL_ERROR_WANT_READ) {
          waitFor = POLLIN;
        } else if (error != SSL_ERROR_WANT_WRITE) {
          return -1;
        }
      } else {
        const ssize_t written = ::send(fd_, ptr + done, size - done, MSG_NOSIGNAL);
        if (written > 0) {
          done += static_cast<std::size_t>(written);
          continue;
        }
        if (written < 0 && errno == EINTR) continue;
        if (written == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return -1;
      }
      if (!WaitUntil(waitFor, deadline, /*honourStop=*/false)) return -1;
    }
    return static_cast<ssize_t>(size);
  }

  void get_remote_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getpeername(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      Describe(address, ip, port);
    }
  }

  void get_local_ip_and_port(std::string& ip, int& port) const override {
    sockaddr_storage address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd_, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
      Describe(address, ip, port);
    }
  }

  socket_t socket() const override { return fd_; }

  /// Waits, up to `idleMs`, for the next request to begin. False when the peer closed, the
  /// wait ran out or the server is stopping.
  bool WaitForRequest(int idleMs) {
    if (Buffered()) return true;
    return Wait(POLLIN, idleMs) && Fill(limits_.readTimeoutMs) && begin_ < end_;
  }

  /// Starts capturing the head of a new request, which may take at most `maxBytes` with its
  /// body (transfer framing included).
  void StartRequest(std::size_t maxBytes) {
    head_.clear();
    capturingHead_ = true;
    requestBytes_ = 0;
    maxRequestBytes_ = maxBytes;
  }

  /// Closes the connection gently after a reply that left part of the request unread: the
  /// peer first sees the end of the reply, then the rest it sends is read and dropped for a
  /// moment, so that closing does not reset the connection before the reply is read.
  void LingeringClose() {
    ::shutdown(fd_, SHUT_WR);
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(200);
    char scratch[4096];
    for (std::size_t drained = 0; drained < (1u << 20);) {
      if (!WaitUntil(POLLIN, deadline, true)) break;
      const ssize_t got = ::recv(fd_, scratch, sizeof scratch, 0);
      if (got == 0 || (got < 0 && errno != EAGAIN && errno != EINTR)) break;
      if (got > 0) drained += static_cast<std::size_t>(got);
    }
  }

  const std::string& Head() const { return head_; }

 private:
  bool Buffered() const { return begin_ < end_ || (ssl_ != nullptr && SSL_pending(ssl_) > 0); }

  bool Wait(short events, int timeoutMs) const {
    return WaitUntil(events, SteadyClock::now() + std::chrono::milliseconds(timeoutMs), true);
  }

  // Polls the socket for `events` until `deadline`. Replies are written out even while
  // stopping (the request is already being answered); reads give up at once then.
  bool WaitUntil(short events, SteadyClock::time_point deadline, bool honourStop) const {
    for (;;) {
      if (honourStop && stopping_.load()) return false;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now())
              .count();
      if (left <= 0) return false;
      pollfd entry{fd_, events, 0};
      const int ready =
          ::poll(&entry, 1, static_cast<int>(std::min<long long>(left, kWaitSliceMs)));
      if (ready > 0) return true;  // readable, writable, or an error/hang-up to be read
      if (ready < 0 && errno != EINTR) return false;
    }
  }

  // Reads what is available into the empty buffer, waiting up to `timeoutMs` for it.
  // True with begin_ == end_ means the peer closed the connection.
  bool Fill(int timeoutMs) {
    begin_ = end_ = 0;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
      short waitFor = POLLIN;
      if (ssl_ != nullptr) {
        const int got = SSL_read(ssl_, buffer_, sizeof buffer_);
        if (got > 0) {
          end_ = static_cast<std::size_t>(got);
          return true;
        }
        const int error = SSL_get_error(ssl_, got);
        if (error == SSL_ERROR_ZERO_RETURN) return true;
        if (error == SSL_ERROR_WANT_WRITE) {
          waitFor = POLLOUT;
        } else if (error != SSL_ERROR_WANT_READ) {
          return false;
        }
      } else {
        const ssize_t got = ::recv(fd_, buffer_, sizeof buffer_, 0);
        if (got > 0) {
          end_ = static_cast<std::size_t>(got);
          return true;
        }
        if (got == 0) return true;
        if (errno == EINTR) continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) return false;
      }
      if (!WaitUntil(waitFor, deadline, true)) return false;
    }
  }

  static void Describe(const sockaddr_storage& address, std::string& ip, int& port) {
    char text[INET6_ADDRSTRLEN] = {};
    if (address.ss_family == AF_INET) {
      const auto* v4 = reinterpret_cast<const sockaddr_in*>(&address);
      ::inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
      port = ntohs(v4->sin_port);
    } else if (address.ss_family == AF_INET6) {
      const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&address);
      ::inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
      port = ntohs(v6->sin6_port);
    }
    ip = text;
  }

  const int fd_;
  SSL* const ssl_;
  const std::atomic<bool>& stopping_;
  const ConnectionLimits& limits_;
  char buffer_[16 * 1024];
  std::size_t begin_ = 0;
  std::size_t end_ = 0;
  std::string head_;
  bool capturingHead_ = false;
  std::size_t requestBytes_ = 0;
  std::size_t maxRequestBytes_ = 0;
};

// The connection a worker thread is serving, and whether its current request was logged.
// cpp-httplib runs each connection on one thread from start to end.
thread_local ConnectionStream* t_connection = nullptr;
thread_local bool t_recorded = false;
// Set when cpp-httplib refused a request itself (unreadable, too large, unknown path): what
// is left of it on the connection cannot be trusted, so the connection closes after the reply.
thread_local bool t_closeAfterReply = false;

bool TlsHandshake(SSL* ssl, int fd, int timeoutMs, const std::atomic<bool>& stopping) {
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    const int result = SSL_accept(ssl);
    if (result == 1) return true;
    const int error = SSL_get_error(ssl, result);
    short waitFor = 0;
    if (error == SSL_ERROR_WANT_READ) {
      waitFor = POLLIN;
    } else if (error == SSL_ERROR_WANT_WRITE) {
      waitFor = POLLOUT;
    } else {
      return false;
    }
    for (;;) {
      if (stopping.load()) return false;
      const auto left =
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now())
              .count();
      if (left <= 0) return false;
      pollfd entry{fd, waitFor, 0};
      const int ready =
          ::poll(&entry, 1, static_cast<int>(std::min<long long>(left, kWaitSliceMs)));
      if (ready > 0) break;
      if (ready < 0 && errno != EINTR) return false;
    }
  }
}

std::string EscapeForRegex(std::string_view path) {
  std::string pattern;
  for (char c : path) {
    if (std::string_view(".^$|()[]{}*+?\\").find(c) != std::string_view::npos) pattern += '\\';
    pattern += c;
  }
  return pattern;
}

}  // namespace

void RequestRecorder::Add(RecordedRequest request) {
  std::lock_guard lock(mutex_);
  requests_.push_back(std::move(request));
  while (requests_.size() > capacity_) requests_.pop_front();
}

std::vector<RecordedRequest> RequestRecorder::Requests() const {
  std::lock_guard lock(mutex_);
  return {requests_.begin(), requests_.end()};
}

void RequestRecorder::Clear() {
  std::lock_guard lock(mutex_);
  requests_.clear();
}

ServiceHttpServer::ServiceHttpServer(RequestHandlers& handlers, RequestRecorder* recorder,
                                     SSL_CTX* tls, ConnectionLimits limits, std::size_t threads)
    : handlers_(handlers), recorder_(recorder), tls_(tls), limits_(limits) {
  new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
  set_payload_max_length(handlers_.Options().maxBodyBytes);
  set_keep_alive_max_count(100);
  // cpp-httplib's default also sets SO_REUSEPORT, which would let a second server share the
  // port; address reuse alone allows a quick restart without that.
  set_socket_options([](socket_t sock) {
    const int yes = 1;
    ::setsockopt(sock, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  });

  // Exact paths only: a pattern such as ".*" would make std::regex recurse once per character
  // of an arbitrarily long request path.
  auto dispatch = [this](const httplib::Request& request, httplib::Response& response) {
    Dispatch(request, response);
  };
  for (std::string_view path :
       {kAuthTokenPath, kVoicesPath, kMultitunePath, kSplitSsmlsPath, kSpeakPath}) {
    const std::string pattern = EscapeForRegex(path);
    Get(pattern, dispatch);
    Post(pattern, dispatch);
    Put(pattern, dispatch);
    Patch(pattern, dispatch);
    Delete(pattern, dispatch);
    Options(pattern, dispatch);
  }
  set_error_handler([this](const httplib::Request& request, httplib::Response& response) {
    FillError(request, response);
  });
  // A declared body above the limit is refused before it is read: cpp-httplib would otherwise
  // read it all only to throw it away.
  set_pre_routing_handler([this](const httplib::Request& request, httplib::Response& response) {
    if (request.has_header("Content-Length")) {
      const std::string declared = request.get_header_value("Content-Length");
      const bool digits = !declared.empty() && declared.size() <= 19 &&
                          declared.find_first_not_of("0123456789") == std::string::npos;
      if (digits && std::stoull(declared) > handlers_.Options().maxBodyBytes) {
        response.status = 413;
        return HandlerResponse::Handled;
      }
    }
    return HandlerResponse::Unhandled;
  });
}

void ServiceHttpServer::Record(const httplib::Request* request) {
  if (t_recorded) return;
  t_recorded = true;
  if (recorder_ == nullptr || t_connection == nullptr || t_connection->Head().empty()) return;
  RecordedRequest recorded = ParseRequestHead(t_connection->Head());
  if (request != nullptr) recorded.body = request->body;
  recorder_->Add(std::move(recorded));
}

void ServiceHttpServer::Dispatch(const httplib::Request& request, httplib::Response& response) {
  t_closeAfterReply = false;
  ServiceRequest serviceRequest;
  serviceRequest.method = request.method;
  serviceRequest.path = request.path;
  serviceRequest.body = request.body;
  if (t_connection != nullptr) {
    for (const std::string& line : ParseRequestHead(t_connection->Head()).headerLines) {
      serviceRequest.headers.push_back(SplitHeaderLine(line));
    }
  } else {
    serviceRequest.headers.assign(request.headers.begin(), request.headers.end());
  }
  Record(&request);

  const ServiceReply reply = handlers_.Handle(serviceRequest);
  response.status = reply.status;
  if (!reply.contentEncoding.empty()) {
    response.set_header("Content-Encoding", reply.contentEncoding);
  }
  // JSON replies are typed "application/json; charset=utf-8", which cpp-httplib does not
  // compress on its own: compression is the handlers' decision alone.
  response.set_content(reply.body, reply.contentType);
}

void ServiceHttpServer::FillError(const httplib::Request& request, httplib::Response& response) {
  Record(&request);
  if (!response.body.empty()) return;  // a reply of the handlers
  t_closeAfterReply = true;
  // cpp-httplib adds the header itself when the request asked to close.
  if (request.get_header_value("Connection") != "close") response.set_header("Connection", "close");
  std::string message;
  switch (response.status) {
    case 404:
      message = "no such request: " + request.path;
      break;
    case 413:
      message = "the body is too large";
      break;
    default:
      message = "the request could not be read";
      break;
  }
  const ServiceReply reply = ErrorReply(response.status, message);
  response.set_content(reply.body, reply.contentType);
}

bool ServiceHttpServer::process_and_close_socket(socket_t sock) {
  bool ok = false;
  if (!stopping_.load()) {
    const int flags = ::fcntl(sock, F_GETFL, 0);
    ::fcntl(sock, F_SETFL, flags | O_NONBLOCK);
    const int noDelay = 1;
    ::setsockopt(sock, IPPROTO_TCP, TCP_NODELAY, &noDelay, sizeof noDelay);

    SSL* ssl = nullptr;
    bool ready = true;
    if (tls_ != nullptr) {
      ssl = SSL_new(tls_);
      ready = ssl != nullptr && SSL_set_fd(ssl, sock) == 1 &&
              TlsHandshake(ssl, sock, limits_.readTimeoutMs, stopping_);
    }
    if (ready) {
      ConnectionStream stream(sock, ssl, stopping_, limits_);
      t_connection = &stream;
      for (std::size_t left = keep_alive_max_count_; left > 0 && !stopping_.load(); --left) {
        if (!stream.WaitForRequest(limits_.keepAliveTimeoutMs)) break;
        stream.StartRequest(limits_.maxHeadBytes + 2 * handlers_.Options().maxBodyBytes);
        t_recorded = false;
        t_closeAfterReply = false;
        bool closed = false;
        ok = process_request(stream, left == 1 || stopping_.load(), closed, nullptr);
        Record(nullptr);  // a request that ended before reaching a handler
        if (t_closeAfterReply) {
          stream.LingeringClose();
          break;
        }
        if (!ok || closed) break;
      }
      t_connection = nullptr;
      if (ssl != nullptr) SSL_shutdown(ssl);  // best effort; the socket closes anyway
    }
    if (ssl != nullptr) SSL_free(ssl);
  }
  ::shutdown(sock, SHUT_RDWR);
  ::close(sock);
  return ok;
}

}  // namespace lectoria::speechd
