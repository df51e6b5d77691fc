#include "service_process.h"

#include <arpa/inet.h>
#include <httplib.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "speechd/mp3_encoder.h"
#include "speechd/request_handlers.h"

namespace lectoria::speechd::bench {

ServiceProcess::ServiceProcess(const SpeechServiceOptions& options) {
  int portPipe[2], stopPipe[2];
  if (::pipe(portPipe) != 0 || ::pipe(stopPipe) != 0) return;
  child_ = ::fork();
  if (child_ == 0) {
    ::close(portPipe[0]);
    ::close(stopPipe[1]);
    signal(SIGPIPE, SIG_IGN);
    SpeechService service(options);
    const int port = service.Start("127.0.0.1", 0);
    if (::write(portPipe[1], &port, sizeof port) != sizeof port) _exit(1);
    char byte;
    while (::read(stopPipe[0], &byte, 1) > 0) {
    }
    service.Stop();
    _exit(0);
  }
  ::close(portPipe[1]);
  ::close(stopPipe[0]);
  stopWrite_ = stopPipe[1];
  if (::read(portPipe[0], &port_, sizeof port_) != sizeof port_) port_ = 0;
  ::close(portPipe[0]);
}

ServiceProcess::~ServiceProcess() {
  Stop();
}

void ServiceProcess::Stop() {
  if (stopWrite_ >= 0) ::close(stopWrite_);
  stopWrite_ = -1;
  if (child_ > 0) ::waitpid(child_, nullptr, 0);
  child_ = -1;
}

double ServiceProcess::CpuSeconds() const {
  std::ifstream stat("/proc/" + std::to_string(child_) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  long ticks = 0;
  for (int i = 3; fields >> field; ++i) {
    if (i == 14 || i == 15) ticks += std::stol(field);  // utime, stime
    if (i == 15) break;
  }
  return static_cast<double>(ticks) / static_cast<double>(::sysconf(_SC_CLK_TCK));
}

double ServiceProcess::PeakMemoryMiB() const {
  std::ifstream status("/proc/" + std::to_string(child_) + "/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024;
  }
  return 0;
}

int ConnectLoopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  const int yes = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  return fd;
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

std::string ReadUntilClosed(int fd, std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  std::string received;
  char buffer[65536];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return received;
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return received;
    received.append(buffer, static_cast<std::size_t>(n));
  }
}

std::string FetchToken(int port) {
  httplib::Client client("127.0.0.1", port);
  auto reply = client.Get(std::string(kAuthTokenPath));
  if (!reply || reply->status != 200) return {};
  return nlohmann::json::parse(reply->body).value("authToken", "");
}

std::string SpeakBody(const std::string& text, const std::string& voice, const std::string& style) {
  const std::string ssml =
      "<speak version=\"1.0\" xmlns=\"http://www.w3.org/2001/10/synthesis\" "
      "xmlns:mstts=\"https://www.w3.org/2001/mstts\" xml:lang=\"zh-CN\"><voice name=\"" +
      voice + "\"><mstts:express-as style=\"" + style + "\">" + text +
      "<prosody contour=\"(49%, -40%)\"></prosody></mstts:express-as></voice></speak>";
  nlohmann::ordered_json body;
  body["ssml"] = ssml;
  body["ttsAudioFormat"] = kAudioFormatName;
  return body.dump();
}

std::string RawSpeakRequest(const std::string& token, const std::string& body) {
  return "POST " + std::string(kSpeakPath) + " HTTP/1.1\r\nHost: 127.0.0.1\r\n" +
         std::string(kTokenHeader) + ": " + token +
         "\r\nContent-Type: application/json\r\nConnection: close\r\nContent-Length: " +
         std::to_string(body.size()) + "\r\n\r\n" + body;
}

double Milliseconds(std::chrono::steady_clock::duration d) {
  return std::chrono::duration<double, std::milli>(d).count();
}

}  // namespace lectoria::speechd::bench
