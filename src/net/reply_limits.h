// Size limits for what a reply may make the program hold in memory.
#pragma once

#include <cstddef>

namespace lectoria {

/// The largest reply body HttpRequest accepts, and the largest output InflateReply produces.
/// The service's replies are a few kilobytes of JSON or one MP3 clip of a line; anything near
/// this size is a broken or hostile server, and is treated as a failure rather than read on.
inline constexpr std::size_t kMaxReplyBytes = std::size_t{64} << 20;

/// The largest block of response header text accepted for one response.
inline constexpr std::size_t kMaxResponseHeaderBytes = std::size_t{1} << 20;

}  // namespace lectoria
