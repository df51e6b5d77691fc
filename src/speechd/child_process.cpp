#include "speechd/child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <thread>

extern char** environ;

namespace lectoria::speechd {

namespace {

using Clock = std::chrono::steady_clock;
constexpr std::size_t kErrorTailBytes = 2000;

void CloseFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

// Writing to a pipe whose reader has gone raises SIGPIPE, which would end the whole process
// unless ignored; the calling thread holds it blocked while it runs a program and discards
// one that became pending.
class SigpipeBlocked {
 public:
  SigpipeBlocked() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &set, &previous_);
  }
  ~SigpipeBlocked() {
    sigset_t set, pending;
    sigemptyset(&set);
    sigaddset(&set, SIGPIPE);
    sigpending(&pending);
    if (sigismember(&pending, SIGPIPE)) {
      const timespec zero{0, 0};
      sigtimedwait(&set, nullptr, &zero);
    }
    pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
  }

 private:
  sigset_t previous_;
};

}  // namespace

bool SplitCommandLine(std::string_view text, std::vector<std::string>& words, std::string& error) {
  words.clear();
  std::string word;
  bool inWord = false;
  char quote = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quote == '\'') {
      if (c == '\'')
        quote = 0;
      else
        word += c;
    } else if (c == '\\' && i + 1 < text.size() &&
               (quote == 0 || text[i + 1] == '"' || text[i + 1] == '\\')) {
      word += text[++i];
      inWord = true;
    } else if (quote == '"') {
      if (c == '"')
        quote = 0;
      else
        word += c;
    } else if (c == '\'' || c == '"') {
      quote = c;
      inWord = true;
    } else if (c == ' ' || c == '\t' || c == '\n' || c == '\r') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (quote != 0) {
    error = std::string("the command has an unclosed ") + (quote == '"' ? "\"" : "'");
    return false;
  }
  if (inWord) words.push_back(std::move(word));
  return true;
}

ProgramRun RunProgram(const std::vector<std::string>& argv, std::string_view input,
                      std::chrono::milliseconds timeout, const StopCheck& stop,
                      std::size_t maxOutput) {
  ProgramRun run;
  if (argv.empty()) {
    run.error = "no program named";
    return run;
  }
  int in[2] = {-1, -1}, out[2] = {-1, -1}, err[2] = {-1, -1};
  if (::pipe2(in, O_CLOEXEC) != 0 || ::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) {
    run.error = std::string("no pipe: ") + std::strerror(errno);
    for (int* p : {in, out, err}) CloseFd(p[0]), CloseFd(p[1]);
    return run;
  }
  SigpipeBlocked sigpipeBlocked;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], 0);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_adddup2(&actions, err[1], 2);
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  // Its own process group, so that a time-out ends whatever it started too; and the signal
  // state of a fresh program, not the service's blocked and ignored signals.
  sigset_t none, defaults;
  sigemptyset(&none);
  sigemptyset(&defaults);
  for (int s : {SIGPIPE, SIGINT, SIGTERM, SIGHUP}) sigaddset(&defaults, s);
  posix_spawnattr_setsigmask(&attributes, &none);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawnattr_setflags(&attributes,
                           POSIX_SPAWN_SETPGROUP | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int spawned = posix_spawnp(&pid, args[0], &actions, &attributes, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  CloseFd(in[0]);
  CloseFd(out[1]);
  CloseFd(err[1]);
  if (spawned != 0) {
    run.error = "cannot start " + argv[0] + ": " + std::strerror(spawned);
    CloseFd(in[1]), CloseFd(out[0]), CloseFd(err[0]);
    return run;
  }
  run.started = true;
  for (int fd : {in[1], out[0], err[0]}) ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);

  const Clock::time_point deadline = Clock::now() + timeout;
  std::size_t written = 0;
  if (input.empty()) CloseFd(in[1]);
  bool killed = false;
  char buffer[65536];
  while (out[0] >= 0 || err[0] >= 0) {
    if (Clock::now() >= deadline) run.timedOut = true;
    if (stop && stop()) run.cancelled = true;
    if (run.timedOut || run.cancelled || run.tooMuchOutput) {
      ::kill(-pid, SIGKILL);
      killed = true;
      break;
    }
    pollfd fds[3];
    int count = 0;
    for (int fd : {out[0], err[0]})
      if (fd >= 0) fds[count++] = {fd, POLLIN, 0};
    if (in[1] >= 0) fds[count++] = {in[1], POLLOUT, 0};
    if (::poll(fds, count, 100) < 0 && errno != EINTR) break;
    for (int i = 0; i < count; ++i) {
      if (fds[i].revents == 0) continue;
      if (fds[i].fd == in[1]) {
        const ssize_t n = ::write(in[1], input.data() + written, input.size() - written);
        if (n > 0) written += static_cast<std::size_t>(n);
        // Written out, or the program does not read its input (EPIPE): either way no more.
        if (written == input.size() || (n < 0 && errno != EAGAIN && errno != EINTR)) CloseFd(in[1]);
        continue;
      }
      int& fd = fds[i].fd == out[0] ? out[0] : err[0];
      const ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR)) {
        CloseFd(fd);
      } else if (n > 0 && &fd == &out[0]) {
        if (run.output.size() + static_cast<std::size_t>(n) > maxOutput)
          run.tooMuchOutput = true;
        else
          run.output.append(buffer, static_cast<std::size_t>(n));
      } else if (n > 0) {
        run.errorTail.append(buffer, static_cast<std::size_t>(n));
        if (run.errorTail.size() > kErrorTailBytes)
          run.errorTail.erase(0, run.errorTail.size() - kErrorTailBytes);
      }
    }
  }
  CloseFd(in[1]);
  CloseFd(out[0]);
  CloseFd(err[0]);
  // Its output is closed; it may still be ending (or a child of it may hold nothing open).
  int status = 0;
  for (;;) {
    const pid_t done = ::waitpid(pid, &status, killed ? 0 : WNOHANG);
    if (done == pid || (done < 0 && errno != EINTR)) break;
    if (done == 0 && Clock::now() >= deadline) {
      run.timedOut = true;
      ::kill(-pid, SIGKILL);
      killed = true;
    } else if (done == 0) {
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  }
  if (WIFEXITED(status) && !killed) run.exitCode = WEXITSTATUS(status);
  if (WIFSIGNALED(status)) run.signal = WTERMSIG(status);
  return run;
}

}  // namespace lectoria::speechd
