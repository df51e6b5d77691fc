#include "net/header_block.h"

#include <array>
#include <vector>

#include "platform/gbk_text.h"

namespace lectoria {
namespace {

constexpr std::string_view kLineBreak = "\r\n";

char UpperFirst(char c) {
  return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string CapitaliseWord(std::string word) {
  if (!word.empty()) word[0] = UpperFirst(word[0]);
  return word;
}

}  // namespace

std::pair<std::string, std::string> SplitHeaderLine(std::string_view line) {
  const std::size_t colon = FindText(line, ":");
  if (colon == std::string::npos) return {};
  return {TrimBlanks(line.substr(0, colon)), TrimBlanks(line.substr(colon + 1))};
}

std::string CompleteHeaders(std::string_view block, std::string_view url, int method) {
  struct Default {
    std::string_view test;
    std::string line;
    bool postOnly;
  };
  const std::array<Default, 5> defaults{{
      {"Accept:", "Accept: */*", false},
      {"Referer:", "Referer: " + std::string(url), false},
      {"Accept-Language:", "Accept-Language: zh-cn", false},
      {"User-Agent:", "User-Agent: Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)", false},
      {"Content-Type:", "Content-Type: application/x-www-form-urlencoded", true},
  }};
  std::string result(block);
  for (const Default& d : defaults) {
    if (d.postOnly && method != 1) continue;
    // Each test sees the block as extended by the previous defaults.
    if (ContainsText(result, d.test, /*ignoreCase=*/true)) continue;
    result.append(kLineBreak);
    result.append(d.line);
  }
  return result;
}

std::string NormaliseHeaderNames(std::string_view block) {
  std::string result;
  for (const std::string& line : SplitText(block, kLineBreak)) {
    const std::size_t colon = FindText(line, ":");
    if (colon == std::string::npos) continue;
    const std::string_view name = std::string_view(line).substr(0, colon);
    std::string newName;
    if (ContainsText(name, "-")) {
      const std::vector<std::string> words = SplitText(name, "-");
      for (std::size_t i = 0; i < words.size(); ++i) {
        if (i > 0) newName += '-';
        newName += CapitaliseWord(words[i]);
      }
    } else {
      newName = CapitaliseWord(std::string(name));
    }
    // The rest is taken from the old line at the new name's length. The rebuilt name can be
    // shorter than the old one (a trailing "-" yields no word), and then the old bytes fill in.
    result += newName;
    if (newName.size() < line.size()) result.append(line, newName.size());
    result.append(kLineBreak);
  }
  if (!result.empty()) result.resize(result.size() - kLineBreak.size());
  return result;
}

}  // namespace lectoria
