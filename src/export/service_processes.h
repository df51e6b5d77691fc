// The built-in speech service, run in child processes for an export.
//
// espeak-ng keeps its state in globals, so one process speaks one text at a time. Parallel
// export jobs therefore get a service process each; every one listens on its own free port of
// 127.0.0.1 and ends when the export closes its control pipe (or ends itself, even by a crash).
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace lectoria {

class BuiltInServiceProcesses {
 public:
  BuiltInServiceProcesses() = default;
  ~BuiltInServiceProcesses();  // Stop()
  BuiltInServiceProcesses(const BuiltInServiceProcesses&) = delete;
  BuiltInServiceProcesses& operator=(const BuiltInServiceProcesses&) = delete;

  /// Starts `count` services and waits until each listens. Uses fork(), so it must be called
  /// while the calling process runs no other thread. False, with `error` set and nothing left
  /// running, when one cannot start.
  bool Start(int count, std::string& error);

  /// The ports the services listen on, one per process.
  const std::vector<int>& Ports() const { return ports_; }

  /// Ends every service and waits for its process. Harmless to call twice.
  void Stop();

 private:
  struct Child {
    pid_t pid = -1;
    int control = -1;  // write end of the pipe whose closing tells the child to end
  };
  std::vector<Child> children_;
  std::vector<int> ports_;
};

}  // namespace lectoria
