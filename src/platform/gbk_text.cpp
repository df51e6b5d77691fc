#include "platform/gbk_text.h"

#include <climits>

namespace lectoria {
namespace {

unsigned char Lower(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; }

bool MatchesAt(std::string_view text, std::size_t pos, std::string_view needle, bool ignoreCase) {
  if (text.size() - pos < needle.size()) return false;
  if (!ignoreCase) return text.compare(pos, needle.size(), needle) == 0;
  // Fold only single-byte characters: the second byte of a GBK character may be an ASCII
  // letter, and 'B0 41' and 'B0 61' are two different characters.
  for (std::size_t i = 0; i < needle.size();) {
    if (GbkCharLength(needle, i) == 2) {
      if (text[pos + i] != needle[i] || text[pos + i + 1] != needle[i + 1]) return false;
      i += 2;
      continue;
    }
    if (Lower(static_cast<unsigned char>(text[pos + i])) !=
        Lower(static_cast<unsigned char>(needle[i])))
      return false;
    ++i;
  }
  return true;
}

std::size_t Find(std::string_view text, std::string_view needle, std::size_t from,
                 bool ignoreCase) {
  if (from > text.size()) return std::string::npos;
  if (needle.empty()) return from;
  if (needle.size() > text.size()) return std::string::npos;
  const std::size_t last = text.size() - needle.size();
  const unsigned char first = static_cast<unsigned char>(needle[0]);
  for (std::size_t pos = from; pos <= last; pos += GbkCharLength(text, pos)) {
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    if ((c == first || (ignoreCase && Lower(c) == Lower(first))) &&
        MatchesAt(text, pos, needle, ignoreCase))
      return pos;
  }
  return std::string::npos;
}

bool IsAsciiSpaceAt(std::string_view text, std::size_t pos) { return text[pos] == ' '; }
bool IsFullWidthSpaceAt(std::string_view text, std::size_t pos) {
  return pos + 1 < text.size() && static_cast<unsigned char>(text[pos]) == 0xA1 &&
         static_cast<unsigned char>(text[pos + 1]) == 0xA1;
}

}  // namespace

std::size_t GbkCharLength(std::string_view text, std::size_t pos) {
  if (pos + 1 < text.size() && IsGbkLeadByte(static_cast<unsigned char>(text[pos]))) return 2;
  return 1;
}

std::size_t FindText(std::string_view text, std::string_view needle, std::size_t from) {
  return Find(text, needle, from, false);
}

std::size_t FindTextIgnoreCase(std::string_view text, std::string_view needle,
                               std::size_t from) {
  return Find(text, needle, from, true);
}


bool ContainsText(std::string_view text, std::string_view needle, bool ignoreCase) {
  return Find(text, needle, 0, ignoreCase) != std::string::npos;
}

std::string TrimSpaces(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && text[begin] == ' ') ++begin;
  // A trailing 0x20 can never be the second byte of a GBK character (trail bytes are >= 0x40).
  while (end > begin && text[end - 1] == ' ') --end;
  return std::string(text.substr(begin, end - begin));
}

std::string TrimBlanks(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    if (IsAsciiSpaceAt(text, begin)) {
      begin += 1;
    } else if (IsFullWidthSpaceAt(text, begin)) {
      begin += 2;
    } else {
      break;
    }
  }
  // Trailing blanks: walk forward on character boundaries and remember where the final run
  // of blanks began, so an A1 A1 pair straddling two characters is never taken for a space.
  std::size_t end = text.size();
  std::size_t runStart = std::string::npos;
  for (std::size_t pos = begin; pos < text.size();) {
    const std::size_t len = GbkCharLength(text, pos);
    const bool blank = IsAsciiSpaceAt(text, pos) || (len == 2 && IsFullWidthSpaceAt(text, pos));
    if (blank) {
      if (runStart == std::string::npos) runStart = pos;
    } else {
      runStart = std::string::npos;
    }
    pos += len;
  }
  if (runStart != std::string::npos) end = runStart;
  return std::string(text.substr(begin, end - begin));
}

std::vector<std::string> SplitText(std::string_view text, std::string_view separator) {
  std::vector<std::string> pieces;
  if (text.empty()) return pieces;
  if (separator.empty()) {
    pieces.emplace_back(text);
    return pieces;
  }
  std::size_t start = 0;
  while (true) {
    const std::size_t hit = FindText(text, separator, start);
    if (hit == std::string::npos) {
      if (start < text.size()) pieces.emplace_back(text.substr(start));
      break;
    }
    pieces.emplace_back(text.substr(start, hit - start));
    start = hit + separator.size();
  }
  return pieces;
}

std::int32_t ReadLeadingInt(std::string_view text) {
  std::size_t pos = 0;
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t' || text[pos] == '\r' ||
                               text[pos] == '\n' || text[pos] == '\v' || text[pos] == '\f'))
    ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
    negative = text[pos] == '-';
    ++pos;
  }
  // Accumulate in 64 bits and stop growing once past the 32-bit range: no overflow on
  // arbitrarily long digit runs.
  std::int64_t value = 0;
  constexpr std::int64_t kLimit = static_cast<std::int64_t>(INT32_MAX) + 1;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    if (value <= kLimit) value = value * 10 + (text[pos] - '0');
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return INT32_MAX;
  if (value < INT32_MIN) return INT32_MIN;
  return static_cast<std::int32_t>(value);
}

std::string AsciiLower(std::string_view text) {
  std::string out(text);
  for (std::size_t pos = 0; pos < out.size();) {
    const std::size_t len = GbkCharLength(out, pos);
    if (len == 1) out[pos] = static_cast<char>(Lower(static_cast<unsigned char>(out[pos])));
    pos += len;
  }
  return out;
}

bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && MatchesAt(a, 0, b, true);
}

}  // namespace lectoria
