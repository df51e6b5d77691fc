#include "speechd/service_types.h"

namespace lectoria::speechd {

namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string_view TrimHeaderBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

bool HeaderNameEquals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (LowerAscii(a[i]) != LowerAscii(b[i])) return false;
  }
  return true;
}

HeaderField SplitHeaderLine(std::string_view line) {
  const std::size_t colon = line.find(':');
  if (colon == std::string_view::npos) return {};
  return {std::string(TrimHeaderBlanks(line.substr(0, colon))),
          std::string(TrimHeaderBlanks(line.substr(colon + 1)))};
}

std::string ServiceRequest::Header(std::string_view name) const {
  for (const auto& [key, value] : headers) {
    if (HeaderNameEquals(key, name)) return value;
  }
  return {};
}

bool ServiceRequest::HasHeader(std::string_view name) const {
  for (const auto& field : headers) {
    if (HeaderNameEquals(field.first, name)) return true;
  }
  return false;
}

std::string RecordedRequest::Header(std::string_view name) const {
  for (const auto& line : headerLines) {
    HeaderField field = SplitHeaderLine(line);
    if (HeaderNameEquals(field.first, name)) return field.second;
  }
  return {};
}

std::vector<std::string> RecordedRequest::HeaderNames() const {
  std::vector<std::string> names;
  names.reserve(headerLines.size());
  for (const auto& line : headerLines) names.push_back(SplitHeaderLine(line).first);
  return names;
}

RecordedRequest ParseRequestHead(std::string_view raw) {
  RecordedRequest head;
  bool first = true;
  while (!raw.empty()) {
    const std::size_t end = raw.find('\n');
    std::string_view line = raw.substr(0, end);
    raw = (end == std::string_view::npos) ? std::string_view() : raw.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (first) {
      head.requestLine = std::string(line);
      first = false;
      continue;
    }
    if (line.empty()) break;  // the blank line that ends the head
    head.headerLines.emplace_back(line);
  }
  return head;
}

}  // namespace lectoria::speechd
