// A request object that a caller keeps across several HttpRequest calls.
#pragma once

#include <memory>

namespace lectoria {

/// Holds one libcurl handle with its connection cache, so that requests made through the same
/// session can reuse connections and TLS sessions. Every request starts from fresh options; only
/// connections carry over. A session serialises the calls that use it: two threads handing in
/// the same session wait for each other.
class HttpSession {
 public:
  HttpSession();
  ~HttpSession();
  HttpSession(const HttpSession&) = delete;
  HttpSession& operator=(const HttpSession&) = delete;

  /// False when libcurl could not create its handles; HttpRequest then fails at once.
  bool valid() const;

 private:
  friend struct HttpSessionAccess;
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace lectoria
