// Reading JSON text (RFC 8259, strictly) in the program's GBK into a JsonValue tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "json/json_value.h"

namespace lectoria::json {

/// The deepest nesting of arrays and objects a tree may have. Deeper texts are rejected, so
/// that neither the parser nor the recursive walks over a tree can exhaust the stack.
inline constexpr int kMaxDepth = 1000;

/// Error numbers reported for a failed parse, after the script engine's: a syntax error, and
/// nesting deeper than kMaxDepth ("out of stack space").
inline constexpr std::int32_t kSyntaxErrorNumber = 1002;
inline constexpr std::int32_t kTooDeepErrorNumber = 28;

/// Why and where a parse failed.
struct ParseFailure {
  std::int32_t number = 0;   // kSyntaxErrorNumber or kTooDeepErrorNumber
  std::size_t offset = 0;    // byte offset into the text
  const char* message = "";  // English description
};

/// Parses `text` (GBK) as exactly one JSON value surrounded by optional white space, with at
/// most `maxDepth` nested arrays and objects. Strings become internal Unicode text: GBK
/// characters are converted, "\u" escapes decoded (surrogate pairs joined, lone surrogates
/// kept). A repeated member name keeps its first place and takes the last value. On failure
/// returns false, leaves `out` unchanged and fills `failure` when given.
bool ParseJson(std::string_view text, int maxDepth, JsonValue& out,
               ParseFailure* failure = nullptr);

/// The 1-based line and column (in bytes) of `offset` in `text`, and the text of that line.
void LocateOffset(std::string_view text, std::size_t offset, std::int32_t& line,
                  std::int32_t& column, std::string& lineText);

}  // namespace lectoria::json
