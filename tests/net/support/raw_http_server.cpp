#include "net/support/raw_http_server.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <stdexcept>

#include "platform/gbk_text.h"

namespace lectoria::test {
namespace {

constexpr std::size_t kMaxRequestBytes = std::size_t{16} << 20;

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// Reads one request; false when the peer went away before its header block was complete.
bool ReadRequest(int fd, RecordedRequest& request) {
  char buffer[16384];
  std::size_t headerEnd = std::string::npos;
  std::size_t wanted = 0;
  while (true) {
    if (headerEnd == std::string::npos) {
      headerEnd = request.raw.find("\r\n\r\n");
      if (headerEnd != std::string::npos) {
        const std::string head = request.raw.substr(0, headerEnd);
        std::vector<std::string> lines = SplitText(head, "\r\n");
        if (lines.empty()) return false;
        request.requestLine = lines.front();
        request.headerLines.assign(lines.begin() + 1, lines.end());
        wanted =
            headerEnd + 4 + std::strtoull(request.Header("Content-Length").c_str(), nullptr, 10);
      }
    }
    if (headerEnd != std::string::npos && request.raw.size() >= wanted) break;
    if (request.raw.size() > kMaxRequestBytes) return false;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) {
      if (headerEnd == std::string::npos) return false;
      break;  // a short body: record what came
    }
    request.raw.append(buffer, static_cast<std::size_t>(n));
  }
  request.body = request.raw.substr(headerEnd + 4);
  return true;
}

}  // namespace

std::string RecordedRequest::Target() const {
  const std::size_t first = requestLine.find(' ');
  const std::size_t last = requestLine.rfind(' ');
  if (first == std::string::npos || last <= first) return {};
  return requestLine.substr(first + 1, last - first - 1);
}

std::string RecordedRequest::Header(std::string_view name) const {
  for (const std::string& line : headerLines) {
    const std::size_t colon = line.find(':');
    if (colon != std::string::npos && EqualsIgnoreCase(line.substr(0, colon), name))
      return TrimSpaces(line.substr(colon + 1));
  }
  return {};
}

std::vector<std::string> RecordedRequest::HeaderNames() const {
  std::vector<std::string> names;
  for (const std::string& line : headerLines) names.push_back(line.substr(0, line.find(':')));
  return names;
}

RawReply MakeReply(int status, std::string_view body, const std::vector<std::string>& headerLines) {
  std::string bytes = "HTTP/1.1 " + std::to_string(status) + " Status\r\n";
  for (const std::string& line : headerLines) bytes += line + "\r\n";
  bytes += "Content-Length: " + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
  bytes += body;
  return {bytes, false};
}

RawHttpServer::RawHttpServer(Handler handler) : handler_(std::move(handler)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = 0;
  socklen_t length = sizeof address;
  if (listenFd_ < 0 || ::bind(listenFd_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listenFd_, 64) != 0 ||
      ::getsockname(listenFd_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
    throw std::runtime_error("test server: cannot listen on 127.0.0.1");
  port_ = ntohs(address.sin_port);
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

RawHttpServer::~RawHttpServer() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    stopping_ = true;
    for (int fd : openFds_) ::shutdown(fd, SHUT_RDWR);
  }
  stopped_.notify_all();
  ::shutdown(listenFd_, SHUT_RDWR);  // wakes the blocked accept()
  acceptor_.join();
  for (std::thread& t : connections_) t.join();
  ::close(listenFd_);
}

std::string RawHttpServer::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

std::vector<RecordedRequest> RawHttpServer::Requests() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return requests_;
}

void RawHttpServer::AcceptLoop() {
  while (true) {
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    std::lock_guard<std::mutex> lock(mutex_);
    if (fd < 0 || stopping_) {
      if (fd >= 0) ::close(fd);
      return;
    }
    openFds_.push_back(fd);
    connections_.emplace_back([this, fd] { Serve(fd); });
  }
}

void RawHttpServer::Serve(int fd) {
  RecordedRequest request;
  if (ReadRequest(fd, request)) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      requests_.push_back(request);
    }
    const RawReply reply = handler_(request);
    SendAll(fd, reply.bytes);
    if (reply.stallAfter) {
      std::unique_lock<std::mutex> lock(mutex_);
      stopped_.wait(lock, [this] { return stopping_; });
    }
    while (reply.trickleMs > 0) {
      {
        std::unique_lock<std::mutex> lock(mutex_);
        if (stopped_.wait_for(lock, std::chrono::milliseconds(reply.trickleMs),
                              [this] { return stopping_; }))
          break;
      }
      if (!SendAll(fd, "x")) break;
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase(openFds_, fd);
  ::shutdown(fd, SHUT_WR);
  ::close(fd);
}

}  // namespace lectoria::test
