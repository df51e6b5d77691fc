// Fuzzes InflateReply with arbitrary reply bodies: it must end, and stay within its limit.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "net/inflate_reply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  constexpr std::size_t kLimit = 1 << 20;
  if (lectoria::InflateReply(input, kLimit).size() > kLimit) __builtin_trap();
  return 0;
}
