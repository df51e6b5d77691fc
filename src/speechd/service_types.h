// Plain request and reply values of the speech service, free of any HTTP library, so that the
// request handlers can be driven directly by tests and by the fuzzer.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lectoria::speechd {

/// One header as it arrived: name and value, surrounding blanks of the value removed.
using HeaderField = std::pair<std::string, std::string>;

/// A request as the handlers see it. Header names compare without regard to case.
struct ServiceRequest {
  std::string method;                // "GET", "POST", ...
  std::string path;                  // without the query
  std::vector<HeaderField> headers;  // in arrival order
  std::string body;
  std::string clientAddress;  // the peer's IP address as text; empty when unknown

  /// The value of the first header called `name` (any case), or empty text.
  std::string Header(std::string_view name) const;
  /// True when a header called `name` (any case) is present.
  bool HasHeader(std::string_view name) const;
};

/// The rest of a reply body, produced while the reply is being sent.
class ReplyStream {
 public:
  enum class Step {
    kMore,    // more is to come
    kEnd,     // the body is complete
    kFailed,  // the body cannot be completed: the client must see an unfinished reply
  };
  virtual ~ReplyStream() = default;

  /// Appends the next part of the body to `out` (possibly nothing with kEnd or kFailed).
  virtual Step Next(std::string& out) = 0;
};

/// A reply as the handlers produce it.
struct ServiceReply {
  int status = 200;
  std::string contentType;
  std::string contentEncoding;  // "gzip" when the body is compressed, else empty
  std::string body;
  std::shared_ptr<ReplyStream> stream;  // when set, its output follows `body`
};

/// One request as a client sent it, for tests that check what went over the wire.
struct RecordedRequest {
  std::string requestLine;               // e.g. "POST /api/... HTTP/1.1"
  std::vector<std::string> headerLines;  // raw "Name: value" lines, in arrival order
  std::string body;                      // the body after any transfer decoding

  /// The value of the first header line called `name` (any case), or empty text.
  std::string Header(std::string_view name) const;
  /// The header names in arrival order, spelt as sent.
  std::vector<std::string> HeaderNames() const;
};

/// Splits the head of a raw HTTP request (request line, header lines, up to the blank line or
/// the end of `raw`) into a RecordedRequest with an empty body. Lines end with CR LF or LF.
RecordedRequest ParseRequestHead(std::string_view raw);

/// Splits one "Name: value" header line; a line without a colon gives an empty name.
HeaderField SplitHeaderLine(std::string_view line);

/// ASCII case-insensitive comparison of header names.
bool HeaderNameEquals(std::string_view a, std::string_view b);

}  // namespace lectoria::speechd
