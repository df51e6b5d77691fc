// Text functions over a request header block: lines "Name: value" joined by CR LF, GBK text.
//
// These are the pure text steps of HttpRequest, kept apart from the transport so that they can be
// tested and fuzzed on their own. Every search steps over double-byte characters.
#pragma once

#include <string>
#include <string_view>
#include <utility>

namespace lectoria {

/// A header line split at its first ":": both sides with TrimBlanks. A line without ":" gives an
/// empty name and an empty value.
std::pair<std::string, std::string> SplitHeaderLine(std::string_view line);

/// Appends the default headers that `block` lacks, each as CR LF + line, in this order: Accept,
/// Referer (the url), Accept-Language, User-Agent, and Content-Type for a POST (`method` 1). A
/// default is left out when its name and colon occur anywhere in the block, ignoring case (so
/// "X-Accept:" also counts as "Accept:").
std::string CompleteHeaders(std::string_view block, std::string_view url, int method);

/// Rewrites each header name with capitalised words ("content-type" -> "Content-Type"; only the
/// first byte of each "-"-separated word changes, only a-z). Lines without ":" are dropped, the
/// rest of each line is kept byte for byte, and the lines are joined by CR LF.
std::string NormaliseHeaderNames(std::string_view block);

}  // namespace lectoria
