// The speech service in a child process of the benchmark, so that its own CPU time and memory
// can be read apart from the clients', and raw loopback connections to it.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <string>
#include <string_view>

#include "speechd/speech_service.h"

namespace lectoria::speechd::bench {

class ServiceProcess {
 public:
  /// Forks and starts the service in the child. Call before the benchmark starts threads.
  explicit ServiceProcess(const SpeechServiceOptions& options = {});
  ~ServiceProcess();  // stops

  /// Stops the service and waits for the child to end.
  void Stop();

  ServiceProcess(const ServiceProcess&) = delete;
  ServiceProcess& operator=(const ServiceProcess&) = delete;

  int Port() const { return port_; }
  /// CPU seconds (user and system) the service has used so far.
  double CpuSeconds() const;
  /// The service's peak resident memory so far, in MiB.
  double PeakMemoryMiB() const;

 private:
  pid_t child_ = -1;
  int stopWrite_ = -1;
  int port_ = 0;
};

/// A TCP connection to 127.0.0.1:`port` with Nagle's delay off, or -1.
int ConnectLoopback(int port);
bool SendAll(int fd, std::string_view bytes);
/// Reads until the peer closes or `timeout` passes; returns what arrived.
std::string ReadUntilClosed(int fd, std::chrono::milliseconds timeout);

/// A fresh token from the service, or empty text.
std::string FetchToken(int port);

/// A speak request body for `text` with the given voice and style, as the client sends it.
std::string SpeakBody(const std::string& text, const std::string& voice = "zh-CN-XiaoxiaoNeural",
                      const std::string& style = "Default");

/// A whole raw speak request (head and body) for a connection that closes after the reply.
std::string RawSpeakRequest(const std::string& token, const std::string& body);

double Milliseconds(std::chrono::steady_clock::duration d);

}  // namespace lectoria::speechd::bench
