#include "net/request_headers.h"

#include <algorithm>

#include "net/header_block.h"
#include "platform/gbk_text.h"

namespace lectoria {
namespace {

// RFC 9110 token characters.
bool IsTokenChar(unsigned char c) {
  if (c >= '0' && c <= '9') return true;
  if ((c | 0x20) >= 'a' && (c | 0x20) <= 'z') return true;
  return std::string_view("!#$%&'*+-.^_`|~").find(static_cast<char>(c)) != std::string_view::npos;
}

bool IsValidName(std::string_view name) {
  return !name.empty() && std::all_of(name.begin(), name.end(), [](char c) {
    return IsTokenChar(static_cast<unsigned char>(c));
  });
}

bool IsValidValue(std::string_view value) {
  return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

}  // namespace

bool RequestHeaders::Set(std::string_view name, std::string_view value) {
  if (!IsValidName(name) || !IsValidValue(value)) return false;
  const auto same = [name](const Entry& e) { return EqualsIgnoreCase(e.first, name); };
  const auto it = std::find_if(entries_.begin(), entries_.end(), same);
  if (value.empty()) {
    Remove(name);
  } else if (it != entries_.end()) {
    it->second = std::string(value);
  } else {
    entries_.emplace_back(std::string(name), std::string(value));
  }
  return true;
}

void RequestHeaders::Remove(std::string_view name) {
  std::erase_if(entries_, [name](const Entry& e) { return EqualsIgnoreCase(e.first, name); });
}

bool RequestHeaders::Has(std::string_view name) const {
  return std::any_of(entries_.begin(), entries_.end(),
                     [name](const Entry& e) { return EqualsIgnoreCase(e.first, name); });
}

void ApplyHeaderBlock(std::string_view block, RequestHeaders& headers) {
  if (!ContainsText(block, "\r\n")) {
    const auto [name, value] = SplitHeaderLine(block);
    headers.Set(name, value);
    return;
  }
  for (const std::string& line : SplitText(block, "\r\n")) {
    if (line.empty()) continue;
    const auto [name, value] = SplitHeaderLine(line);
    if (name == "Connection" && value == "keep-alive") continue;
    headers.Set(name, value);
  }
}

}  // namespace lectoria
