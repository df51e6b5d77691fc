// The HTTP exchanges of the engines that speak through a web service (libcurl).
#pragma once

#include <chrono>
#include <string>
#include <vector>

#include "speechd/speech_engine.h"

namespace lectoria::speechd {

/// One request.
struct EngineHttpRequest {
  std::string url;
  bool post = false;
  std::vector<std::string> headers;  // "Name: value" lines
  std::string body;
  std::chrono::milliseconds timeout{30000};  // the whole exchange
  std::size_t maxReplyBytes = 64 * 1024 * 1024;
};

/// What came back.
struct EngineHttpReply {
  int status = 0;           // 0: no reply (see error)
  std::string contentType;  // of the reply
  std::string body;
  std::string error;       // transport failure, time-out or a stop; empty otherwise
  bool cancelled = false;  // `stop` said stop
};

/// Sends `request` and waits for the whole reply. `stop` is asked several times a second; when
/// it says stop the exchange ends at once. Certificates are verified. Thread-safe.
EngineHttpReply SendEngineRequest(const EngineHttpRequest& request, const StopCheck& stop = {});

/// A few words about a failed reply for messages: the status and the start of a text body.
std::string DescribeFailedReply(const EngineHttpReply& reply);

}  // namespace lectoria::speechd
