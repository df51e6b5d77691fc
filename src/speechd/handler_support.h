// Helpers shared by the request handlers (internal to the speechd library).
#pragma once

#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <string_view>

#include "speechd/service_types.h"

namespace lectoria::speechd {

/// The JSON nesting depth of `text` (brackets outside strings), counted up to `limit` + 1.
std::size_t JsonDepth(std::string_view text, std::size_t limit);

/// Parses a request body as JSON. On failure returns false with a reason in `error`.
bool ParseJsonBody(std::string_view body, std::size_t maxDepth, nlohmann::json& value,
                   std::string& error);

/// A JSON reply with status 200, gzip-compressed when `gzip` is true.
ServiceReply JsonReply(const nlohmann::ordered_json& value, bool gzip);

/// True when `value` is a whole number from 0 to 2^53, stored in `out`.
bool ReadCount(const nlohmann::json& value, std::uint64_t& out);

}  // namespace lectoria::speechd
