// Running a local program with bounded time and output (for the command engine).
#pragma once

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "speechd/speech_engine.h"

namespace lectoria::speechd {

/// How a run ended.
struct ProgramRun {
  bool started = false;    // false: the program could not be started (see error)
  bool timedOut = false;   // killed after the time-out
  bool cancelled = false;  // killed because `stop` said so
  bool tooMuchOutput = false;
  int exitCode = -1;      // when it exited by itself; -1 otherwise
  int signal = 0;         // the signal that ended it, if any
  std::string output;     // everything it wrote to stdout
  std::string errorTail;  // the last part of what it wrote to stderr
  std::string error;      // why it could not be started

  bool Succeeded() const {
    return started && !timedOut && !cancelled && !tooMuchOutput && exitCode == 0;
  }
};

/// Runs `argv` (argv[0] searched in PATH, no shell) in a process group of its own with
/// `input` on stdin, collecting stdout (up to `maxOutput` bytes) and stderr. The group is
/// killed when `timeout` passes, when `stop` says stop or when the output is too large.
/// Blocking; thread-safe.
ProgramRun RunProgram(const std::vector<std::string>& argv, std::string_view input,
                      std::chrono::milliseconds timeout, const StopCheck& stop = {},
                      std::size_t maxOutput = 64 * 1024 * 1024);

/// Splits a command line into words as a shell would for simple cases: blanks separate
/// words, '...' and "..." quote, a backslash outside single quotes takes the next character
/// as it is. No expansion of any kind. Returns false with `error` set on an unclosed quote.
bool SplitCommandLine(std::string_view text, std::vector<std::string>& words, std::string& error);

}  // namespace lectoria::speechd
