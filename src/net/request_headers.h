// The ordered request headers of one HttpRequest, as they go on the wire.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lectoria {

/// Request headers in the order they were first set. Setting a name that is already present
/// (compared ignoring case) replaces its value in place; an empty value removes it. Names must
/// be HTTP tokens and values may not hold CR, LF or NUL: anything else is refused, so a header
/// can never smuggle in further lines.
class RequestHeaders {
 public:
  using Entry = std::pair<std::string, std::string>;

  /// Sets one header; false (and no change) when the name or value is not acceptable.
  bool Set(std::string_view name, std::string_view value);

  /// Removes every header of that name (ignoring case).
  void Remove(std::string_view name);

  /// True when a header of that name is present (ignoring case).
  bool Has(std::string_view name) const;

  const std::vector<Entry>& entries() const { return entries_; }

 private:
  std::vector<Entry> entries_;
};

/// Sets the headers of a finished header block: a block without CR LF is one header line,
/// whatever it holds; otherwise each non-empty line in order, leaving out the exact line
/// "Connection: keep-alive" (compared with case).
void ApplyHeaderBlock(std::string_view block, RequestHeaders& headers);

}  // namespace lectoria
