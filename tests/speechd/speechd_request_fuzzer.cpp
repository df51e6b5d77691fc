// Fuzzes the speech service's request handling without sockets.
//
// Input: byte 0 chooses what is exercised, byte 1 holds flags, the rest is the payload.
//   0..3  a POST of the payload as body to voices, multitune, split-ssmls or speak
//   4     the payload as an SSML document for the SSML reader
//   5     the payload as a raw HTTP request (head parsed as the server parses it, body after
//         the blank line) handed to the handlers
// Flags: bit 0 leaves the token out, bit 1 accepts gzip, bit 2 sends a wrong content type.
#include <cstddef>
#include <cstdint>
#include <string>

#include "speechd/request_handlers.h"
#include "speechd/ssml_reader.h"

namespace {

using namespace lectoria::speechd;

RequestHandlers& Handlers() {
  static RequestHandlers* handlers = [] {
    HandlerOptions options;
    options.ssml.maxTextChars = 100;  // keeps each synthesis short
    return new RequestHandlers(options);
  }();
  return *handlers;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const int mode = data[0] % 6;
  const std::uint8_t flags = data[1];
  const std::string payload(reinterpret_cast<const char*>(data + 2), size - 2);
  RequestHandlers& handlers = Handlers();

  if (mode == 4) {
    SsmlContent content;
    std::string error;
    if (ReadSsml(payload, handlers.Options().ssml, content, error)) {
      if (content.plainTextLength < content.plainTextChars) __builtin_trap();
    } else if (error.empty()) {
      __builtin_trap();
    }
    return 0;
  }

  ServiceRequest request;
  if (mode == 5) {
    const RecordedRequest head = ParseRequestHead(payload);
    const std::size_t space = head.requestLine.find(' ');
    request.method = head.requestLine.substr(0, space);
    if (space != std::string::npos) {
      const std::string rest = head.requestLine.substr(space + 1);
      request.path = rest.substr(0, rest.find(' '));
    }
    for (const std::string& line : head.headerLines)
      request.headers.push_back(SplitHeaderLine(line));
    const std::size_t bodyStart = payload.find("\r\n\r\n");
    if (bodyStart != std::string::npos) request.body = payload.substr(bodyStart + 4);
  } else {
    static constexpr std::string_view kPaths[] = {kVoicesPath, kMultitunePath, kSplitSsmlsPath,
                                                  kSpeakPath};
    request.method = "POST";
    request.path = std::string(kPaths[mode]);
    request.body = payload;
  }
  if (!(flags & 1))
    request.headers.emplace_back(std::string(kTokenHeader), handlers.Tokens().Issue());
  if (flags & 2) request.headers.emplace_back("Accept-Encoding", "gzip");
  request.headers.emplace_back("Content-Type", (flags & 4) ? "text/plain" : "application/json");

  const ServiceReply reply = handlers.Handle(request);
  if (reply.status < 200 || reply.status > 599 || reply.contentType.empty()) __builtin_trap();
  if (reply.status >= 400 && reply.body.find("\"error\"") == std::string::npos) __builtin_trap();
  return 0;
}
