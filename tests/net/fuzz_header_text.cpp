// Fuzzes the header-block and cookie text functions with arbitrary (GBK or not) bytes.
#include <cstddef>
#include <cstdint>
#include <string>

#include "net/cookie_text.h"
#include "net/header_block.h"
#include "net/request_headers.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lectoria;
  const std::string input(reinterpret_cast<const char*>(data), size);
  // The first NUL, if any, splits the input in two texts for the two-argument functions.
  const std::size_t cut = input.find('\0');
  std::string first = input.substr(0, cut);
  std::string second = cut == std::string::npos ? std::string() : input.substr(cut + 1);

  const std::string completed = CompleteHeaders(input, first, static_cast<int>(size % 3));
  const std::string normalised = NormaliseHeaderNames(completed);
  // Normalising twice changes nothing more.
  if (NormaliseHeaderNames(normalised) != normalised) __builtin_trap();
  RequestHeaders headers;
  ApplyHeaderBlock(normalised, headers);
  for (const auto& [name, value] : headers.entries()) {
    if (name.empty() || value.find_first_of("\r\n") != std::string::npos) __builtin_trap();
  }

  ExtractReturnedCookies(input);
  StripCookiePrefix(input);
  const std::string merged = MergeCookies(first, second);
  if (merged != first) __builtin_trap();  // the caller's cookie text holds the result too
  RemoveDuplicateItems(input, second);
  return 0;
}
