#include "export/service_processes.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "speechd/speech_service.h"

namespace lectoria {
namespace {

constexpr int kStartTimeoutMs = 15000;
constexpr auto kStopTimeout = std::chrono::seconds(5);

// The child's life: serve until the control pipe reports the end of file, then stop.
[[noreturn]] void ServeInChild(pid_t parent, int control, int report) {
  // Ctrl+C reaches the export alone, which then ends its services in order; the death of the
  // export ends them too.
  ::setpgid(0, 0);
  ::signal(SIGINT, SIG_IGN);
  ::signal(SIGTERM, SIG_DFL);
  ::signal(SIGPIPE, SIG_IGN);
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
  if (::getppid() != parent) ::_exit(0);
  {
    speechd::SpeechService service;
    const int port = service.Start("127.0.0.1", 0);
    [[maybe_unused]] const ssize_t n = ::write(report, &port, sizeof port);
    ::close(report);
    if (port != 0) {
      char byte;
      ssize_t got;
      do {
        got = ::read(control, &byte, 1);
      } while (got > 0 || (got < 0 && errno == EINTR));
    }
    service.Stop();
  }
  ::_exit(0);
}

// The port a child reports, or 0 when it reports none in time.
int ReadPort(int report) {
  pollfd ready{report, POLLIN, 0};
  int port = 0;
  if (::poll(&ready, 1, kStartTimeoutMs) == 1 && ::read(report, &port, sizeof port) == sizeof port)
    return port;
  return 0;
}

}  // namespace

BuiltInServiceProcesses::~BuiltInServiceProcesses() {
  Stop();
}

bool BuiltInServiceProcesses::Start(int count, std::string& error) {
  const pid_t parent = ::getpid();
  for (int k = 0; k < count; ++k) {
    int control[2];
    int report[2];
    if (::pipe2(control, O_CLOEXEC) != 0) {
      error = std::strerror(errno);
      break;
    }
    if (::pipe2(report, O_CLOEXEC) != 0) {
      error = std::strerror(errno);
      ::close(control[0]);
      ::close(control[1]);
      break;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::close(control[1]);
      ::close(report[0]);
      for (const Child& sibling : children_) ::close(sibling.control);
      ServeInChild(parent, control[0], report[1]);
    }
    ::close(control[0]);
    ::close(report[1]);
    if (pid < 0) {
      error = std::strerror(errno);
      ::close(control[1]);
      ::close(report[0]);
      break;
    }
    children_.push_back({pid, control[1]});
    const int port = ReadPort(report[0]);
    ::close(report[0]);
    if (port == 0) {
      error = "the service did not start";
      break;
    }
    ports_.push_back(port);
  }
  if (static_cast<int>(ports_.size()) == count) return true;
  Stop();
  return false;
}

void BuiltInServiceProcesses::Stop() {
  for (Child& child : children_) {
    if (child.control >= 0) ::close(child.control);
    child.control = -1;
  }
  const auto deadline = std::chrono::steady_clock::now() + kStopTimeout;
  for (const Child& child : children_) {
    while (::waitpid(child.pid, nullptr, WNOHANG) == 0) {
      if (std::chrono::steady_clock::now() >= deadline) {
        ::kill(child.pid, SIGKILL);
        ::waitpid(child.pid, nullptr, 0);
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  }
  children_.clear();
  ports_.clear();
}

}  // namespace lectoria
