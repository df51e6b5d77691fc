#include "library/title_rules.h"

#include <array>
#include <string>
#include <vector>

#include "platform/codepage.h"
#include "platform/gbk_text.h"

namespace lectoria {
namespace {

constexpr std::string_view kFullWidthSpace = "\xA1\xA1";
constexpr std::size_t kMaxPrefixChars = 12;
constexpr std::size_t kMaxNumberChars = 12;

// GBK forms of UTF-8 words, converted once.
std::vector<std::string> GbkWords(std::initializer_list<const char*> words) {
  std::vector<std::string> out;
  for (const char* w : words) out.push_back(Utf8ToGbk(w));
  return out;
}

// The two-byte characters of a UTF-8 text, in GBK.
std::vector<std::string> GbkChars(const char* utf8) {
  const std::string gbk = Utf8ToGbk(utf8);
  std::vector<std::string> out;
  for (std::size_t i = 0; i + 1 < gbk.size(); i += 2) out.push_back(gbk.substr(i, 2));
  return out;
}

bool OneOf(std::string_view c, const std::vector<std::string>& set) {
  for (const std::string& s : set)
    if (c == s) return true;
  return false;
}

const std::string& Di() {
  static const std::string di = Utf8ToGbk("第");
  return di;
}
const std::vector<std::string>& Numerals() {
  static const auto set = GbkChars("零〇一二三四五六七八九十百千万两壹贰叁肆伍陆柒捌玖拾佰仟");
  return set;
}
const std::vector<std::string>& Units() {
  static const auto set = GbkChars("章回节卷集部篇");
  return set;
}
const std::string& FullStop() {
  static const std::string stop = Utf8ToGbk("。");
  return stop;
}
// What may follow a named part before its title.
const std::vector<std::string>& Separators() {
  static const auto set = GbkChars("：、．·—－（【《“");
  return set;
}

// The character at `pos` of `text` (1 or 2 bytes).
std::string_view CharAt(std::string_view text, std::size_t pos) {
  return text.substr(pos, GbkCharLength(text, pos));
}

bool IsFullWidthDigit(std::string_view c) {
  return c.size() == 2 && static_cast<unsigned char>(c[0]) == 0xA3 &&
         static_cast<unsigned char>(c[1]) >= 0xB0 && static_cast<unsigned char>(c[1]) <= 0xB9;
}

bool IsNumberChar(std::string_view c) {
  if (c.size() == 1) return c[0] >= '0' && c[0] <= '9';
  return IsFullWidthDigit(c) || OneOf(c, Numerals());
}

bool IsBlankAt(std::string_view text, std::size_t pos) {
  return text[pos] == ' ' || text[pos] == '\t' || text.substr(pos, 2) == kFullWidthSpace;
}

std::size_t SkipBlanks(std::string_view text, std::size_t pos) {
  while (pos < text.size() && IsBlankAt(text, pos)) pos += GbkCharLength(text, pos);
  return pos;
}

// A line short enough for a title, trimmed; empty when it is not.
std::string_view TitleCandidate(std::string_view line) {
  // A quick byte bound first: most lines of a book are far longer than any title.
  if (line.size() > 4 * kMaxTitleChars + 16) return {};
  const std::string_view t = TrimTitleBlanks(line);
  if (t.empty() || GbkCharCount(t) > kMaxTitleChars) return {};
  return t;
}

// "第" at `pos`, then blanks, a number, blanks and a unit.
bool NumberedFrom(std::string_view t, std::size_t pos) {
  pos = SkipBlanks(t, pos + Di().size());
  std::size_t digits = 0;
  while (pos < t.size() && IsNumberChar(CharAt(t, pos))) {
    pos += GbkCharLength(t, pos);
    ++digits;
  }
  if (digits == 0 || digits > kMaxNumberChars) return false;
  pos = SkipBlanks(t, pos);
  return pos < t.size() && OneOf(CharAt(t, pos), Units());
}

bool IsAsciiSeparator(char c) {
  return c == ' ' || c == '\t' || c == '.' || c == ':' || c == '-' || c == ',' || c == '(' ||
         c == '[';
}

bool IsRomanNumeral(std::string_view word) {
  // Digits in order of value with the usual subtractive pairs; enough to tell "XII" or "iv"
  // from an English word.
  static const std::array<std::string_view, 13> kParts = {
      "m", "cm", "d", "cd", "c", "xc", "l", "xl", "x", "ix", "v", "iv", "i"};
  static const std::array<int, 13> kRepeat = {4, 1, 1, 1, 3, 1, 1, 1, 3, 1, 1, 1, 3};
  const std::string lower = AsciiLower(word);
  std::string_view rest = lower;
  for (std::size_t i = 0; i < kParts.size(); ++i) {
    for (int n = 0; n < kRepeat[i] && StartsWith(rest, kParts[i]); ++n)
      rest.remove_prefix(kParts[i].size());
  }
  return rest.empty() && !lower.empty();
}

}  // namespace

std::string_view TrimTitleBlanks(std::string_view line) {
  const std::size_t begin = SkipBlanks(line, 0);
  std::size_t end = begin;
  for (std::size_t pos = begin; pos < line.size(); pos += GbkCharLength(line, pos)) {
    if (!IsBlankAt(line, pos)) end = pos + GbkCharLength(line, pos);
  }
  return line.substr(begin, end - begin);
}

std::size_t GbkCharCount(std::string_view text) {
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); i += GbkCharLength(text, i)) ++chars;
  return chars;
}

bool IsNumberedTitle(std::string_view line) {
  const std::string_view t = TitleCandidate(line);
  if (t.empty() || FindText(t, FullStop()) != std::string_view::npos) return false;
  std::size_t chars = 0;
  for (std::size_t pos = 0; pos < t.size() && chars <= kMaxPrefixChars;
       pos += GbkCharLength(t, pos), ++chars) {
    if (t.substr(pos, 2) == Di() && NumberedFrom(t, pos)) return true;
  }
  return false;
}

bool IsNamedPartTitle(std::string_view line) {
  static const auto kNames = GbkWords({"序章", "序言", "楔子", "引子", "前言", "尾声", "后记",
                                       "终章", "番外"});
  static const std::string kExtra = Utf8ToGbk("番外");
  static const std::string kPian = Utf8ToGbk("篇");
  const std::string_view t = TitleCandidate(line);
  if (t.empty() || FindText(t, FullStop()) != std::string_view::npos) return false;
  for (const std::string& name : kNames) {
    if (!StartsWith(t, name)) continue;
    if (t.size() == name.size()) return true;
    const std::size_t pos = name.size();
    const std::string_view next = CharAt(t, pos);
    if (IsBlankAt(t, pos) || OneOf(next, Separators()) ||
        (next.size() == 1 && IsAsciiSeparator(next[0])))
      return true;
    if (name == kExtra && (IsNumberChar(next) || next == kPian)) return true;
  }
  return false;
}

bool IsEnglishTitle(std::string_view line) {
  const std::string_view t = TitleCandidate(line);
  if (t.empty()) return false;
  for (const char c : t)
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  // The first word, then what follows it.
  std::size_t end = 0;
  while (end < t.size() && !IsAsciiSeparator(t[end])) ++end;
  const std::string word = AsciiLower(t.substr(0, end));
  if (word == "prologue" || word == "epilogue") return true;
  if (word != "chapter" && word != "part") return false;
  std::size_t pos = end;
  while (pos < t.size() && (t[pos] == ' ' || t[pos] == '\t')) ++pos;
  if (pos == end) return false;  // "Chapter12" is no heading
  std::size_t numEnd = pos;
  while (numEnd < t.size() && !IsAsciiSeparator(t[numEnd])) ++numEnd;
  const std::string_view number = t.substr(pos, numEnd - pos);
  if (number.empty()) return false;
  bool digits = true;
  for (const char c : number) digits = digits && c >= '0' && c <= '9';
  return digits || IsRomanNumeral(number);
}

}  // namespace lectoria
