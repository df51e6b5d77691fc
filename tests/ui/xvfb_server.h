// A private X server for tests: Xvfb on a display number it picks itself (-displayfd), so
// tests never collide with a running desktop or with each other.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace lectoria::testing {

/// True when `program` is found on PATH.
inline bool OnPath(const std::string& program) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/bin:/bin";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = dirs.find(':', start);
    const std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
    if (!dir.empty() && ::access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

class XvfbServer {
 public:
  /// Starts Xvfb and waits (at most ten seconds) until it accepts connections.
  XvfbServer() {
    if (!OnPath("Xvfb")) {
      error_ = "Xvfb is not installed";
      return;
    }
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) {
      error_ = "no pipe";
      return;
    }
    pid_ = ::fork();
    if (pid_ == 0) {
      ::dup2(fds[1], 3);  // the display number arrives on fd 3
      const int devnull = ::open("/dev/null", O_RDWR);
      ::dup2(devnull, 1);
      ::dup2(devnull, 2);
      ::execlp("Xvfb", "Xvfb", "-displayfd", "3", "-screen", "0", "640x480x24", "-nolisten", "tcp",
               "-noreset", static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    if (pid_ < 0) {
      ::close(fds[0]);
      error_ = "fork failed";
      return;
    }
    std::string number;
    pollfd p{fds[0], POLLIN, 0};
    while (::poll(&p, 1, 10000) > 0) {
      char c;
      if (::read(fds[0], &c, 1) != 1) break;
      if (c == '\n') break;
      number += c;
    }
    ::close(fds[0]);
    if (number.empty()) {
      error_ = "Xvfb did not start";
      Stop();
      return;
    }
    display_ = ":" + number;
  }
  ~XvfbServer() { Stop(); }
  XvfbServer(const XvfbServer&) = delete;
  XvfbServer& operator=(const XvfbServer&) = delete;

  bool ok() const { return !display_.empty(); }
  const std::string& error() const { return error_; }
  const std::string& display() const { return display_; }

  /// Runs xdotool with `args` against this server; true when it succeeded.
  bool Xdotool(const std::vector<std::string>& args) const {
    const pid_t pid = ::fork();
    if (pid == 0) {
      ::setenv("DISPLAY", display_.c_str(), 1);
      std::vector<char*> argv{const_cast<char*>("xdotool")};
      for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
      argv.push_back(nullptr);
      ::execvp("xdotool", argv.data());
      ::_exit(127);
    }
    int status = 0;
    return pid > 0 && ::waitpid(pid, &status, 0) == pid && WIFEXITED(status) &&
           WEXITSTATUS(status) == 0;
  }

 private:
  void Stop() {
    if (pid_ > 0) {
      ::kill(pid_, SIGTERM);
      int status;
      ::waitpid(pid_, &status, 0);
      pid_ = -1;
    }
  }

  pid_t pid_ = -1;
  std::string display_;
  std::string error_;
};

}  // namespace lectoria::testing
