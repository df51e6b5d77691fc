#include "net/cookie_text.h"

#include <unordered_set>
#include <vector>

#include "platform/gbk_text.h"

namespace lectoria {
namespace {

constexpr std::string_view kItemSeparator = "; ";
constexpr std::string_view kSetCookie = "Set-Cookie:";

// Trimmed, with a trailing ";" turned into "; " so that the last item splits off cleanly.
void TidyCookieText(std::string& text) {
  text = TrimBlanks(text);
  if (EndsWith(text, ";")) text += ' ';
}

void RemoveTrailing(std::string& text, std::string_view suffix) {
  if (EndsWith(text, suffix)) text.resize(text.size() - suffix.size());
}

}  // namespace

std::string CookieName(std::string_view item) {
  const std::size_t equals = FindText(item, "=");
  return TrimBlanks(equals == std::string::npos ? item : item.substr(0, equals));
}

std::string StripCookiePrefix(std::string_view cookies) {
  constexpr std::string_view kCookie = "Cookie:";
  std::string result;
  std::size_t start = 0;
  for (std::size_t hit = FindTextIgnoreCase(cookies, kCookie); hit != std::string::npos;
       hit = FindTextIgnoreCase(cookies, kCookie, start)) {
    result.append(cookies.substr(start, hit - start));
    start = hit + kCookie.size();
  }
  result.append(cookies.substr(start));
  return result;
}

std::string ExtractReturnedCookies(std::string_view responseHeaders) {
  std::string result;
  for (const std::string& line : SplitText(responseHeaders, "\r\n")) {
    const std::size_t nameEnd = FindText(line, ": ");
    if (nameEnd == std::string::npos || std::string_view(line).substr(0, nameEnd) != "Set-Cookie")
      continue;
    std::string cookie;
    if (ContainsText(line, ";")) {
      // The line starts with "Set-Cookie: ", so the first "Set-Cookie:" is at its start.
      const std::size_t begin = FindText(line, kSetCookie) + kSetCookie.size();
      const std::size_t end = FindText(line, ";", begin);
      cookie = line.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
    } else {
      std::size_t start = 0;
      for (std::size_t hit = FindTextIgnoreCase(line, kSetCookie); hit != std::string::npos;
           hit = FindTextIgnoreCase(line, kSetCookie, start)) {
        cookie.append(line, start, hit - start);
        start = hit + kSetCookie.size();
      }
      cookie.append(line, start);
    }
    result += TrimBlanks(cookie);
    result += kItemSeparator;
  }
  RemoveTrailing(result, kItemSeparator);
  return result;
}

std::string MergeCookies(std::string& oldCookies, std::string& newCookies) {
  TidyCookieText(oldCookies);
  TidyCookieText(newCookies);
  const std::vector<std::string> sent = SplitText(oldCookies, kItemSeparator);
  std::vector<std::string> merged = SplitText(newCookies, kItemSeparator);

  std::unordered_set<std::string> names;
  for (const std::string& item : merged) names.insert(CookieName(item));
  for (const std::string& item : sent) {
    // Items appended here count for the later ones too.
    if (names.insert(CookieName(item)).second) merged.push_back(item);
  }

  std::string joined;
  for (const std::string& item : merged) {
    if (EndsWith(item, "=deleted")) continue;
    joined += item;
    joined += kItemSeparator;
  }
  // The last two bytes go whatever they are; they are always the separator just appended.
  if (joined.size() >= kItemSeparator.size()) joined.resize(joined.size() - kItemSeparator.size());
  oldCookies = RemoveDuplicateItems(joined, kItemSeparator);
  return oldCookies;
}

std::string RemoveDuplicateItems(std::string_view text, std::string_view separator) {
  std::unordered_set<std::string> seen;
  std::string result;
  for (std::string& item : SplitText(text, separator)) {
    if (!seen.insert(item).second) continue;
    result += item;
    result += separator;
  }
  RemoveTrailing(result, separator);
  return result;
}

}  // namespace lectoria
