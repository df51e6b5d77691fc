// Closes connections whose request does not arrive in time.
//
// The HTTP server only notices a connection that stays silent; one that sends a byte now and
// then would keep its place for as long as it likes. Here every connection gets a deadline for
// its whole next request (TLS handshake, head and body), and a watcher thread shuts the
// socket down when it passes, which makes the server close the connection.
#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <unordered_set>

namespace lectoria::speechd {

class RequestDeadlines {
 public:
  /// One watched connection.
  struct Watch;

  explicit RequestDeadlines(std::chrono::milliseconds timeout);
  ~RequestDeadlines();  // stops the watcher

  RequestDeadlines(const RequestDeadlines&) = delete;
  RequestDeadlines& operator=(const RequestDeadlines&) = delete;

  /// Starts and stops the watcher thread. Stop leaves the sockets alone.
  void Start();
  void Stop();

  /// The connection on socket `fd` opened: its first request must arrive within the timeout.
  Watch* Opened(int fd);
  /// Its request has arrived whole: no deadline while it is answered.
  void RequestArrived(Watch* watch);
  /// Its reply is done: the next request must arrive within the timeout.
  void ReplyDone(Watch* watch);
  /// It is about to be closed (its socket is still open). Frees `watch`.
  void Closed(Watch* watch);

 private:
  void Run();

  const std::chrono::milliseconds timeout_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::unordered_set<Watch*> watches_;
  std::thread watcher_;
};

}  // namespace lectoria::speechd
