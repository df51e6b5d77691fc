#include "rules/literal_prefilter.h"

namespace lectoria {
namespace {

constexpr std::uint32_t kSingleKey = 0x10000;

unsigned char Lower(unsigned char c) {
  return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c;
}
unsigned char Upper(unsigned char c) {
  return (c >= 'a' && c <= 'z') ? c - ('a' - 'A') : c;
}

bool SameAt(std::string_view line, std::size_t pos, std::string_view text, bool ignoreCase) {
  if (line.size() - pos < text.size()) return false;
  if (!ignoreCase) return line.compare(pos, text.size(), text) == 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (Lower(static_cast<unsigned char>(line[pos + i])) !=
        Lower(static_cast<unsigned char>(text[i])))
      return false;
  }
  return true;
}

}  // namespace

void LiteralPrefilter::Mark(std::uint32_t key, std::size_t entry) {
  if (key >= kSingleKey) {
    singles_[key - kSingleKey] = true;
    anySingles_ = true;
  } else {
    pairs_.set(key);
  }
  std::vector<std::size_t>& list = byKey_[key];
  if (list.empty() || list.back() != entry) list.push_back(entry);
}

void LiteralPrefilter::Add(std::size_t rule, std::string_view text, bool ignoreCase) {
  if (text.empty()) return;
  const std::size_t entry = entries_.size();
  entries_.push_back({rule, std::string(text), ignoreCase});
  const auto a = static_cast<unsigned char>(text[0]);
  if (text.size() == 1) {
    Mark(kSingleKey + a, entry);
    if (ignoreCase) Mark(kSingleKey + Upper(a), entry), Mark(kSingleKey + Lower(a), entry);
    return;
  }
  const auto b = static_cast<unsigned char>(text[1]);
  if (!ignoreCase) {
    Mark(static_cast<std::uint32_t>(a << 8 | b), entry);
    return;
  }
  for (const unsigned char x : {Lower(a), Upper(a)})
    for (const unsigned char y : {Lower(b), Upper(b)})
      Mark(static_cast<std::uint32_t>(x << 8 | y), entry);
}

void LiteralPrefilter::Check(std::uint32_t key, std::string_view line, std::size_t pos,
                             std::vector<char>& present, bool& any) const {
  const auto found = byKey_.find(key);
  if (found == byKey_.end()) return;
  for (const std::size_t index : found->second) {
    const Entry& entry = entries_[index];
    if (!present[entry.rule] && SameAt(line, pos, entry.text, entry.ignoreCase)) {
      present[entry.rule] = 1;
      any = true;
    }
  }
}

bool LiteralPrefilter::Scan(std::string_view line, std::vector<char>& present) const {
  bool any = false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
  const std::size_t n = line.size();
  for (std::size_t i = 0; i < n;) {
    const unsigned char first = bytes[i];
    const unsigned char second = i + 1 < n ? bytes[i + 1] : 0;
    if (anySingles_ && singles_[first]) Check(kSingleKey + first, line, i, present, any);
    if (i + 1 < n) {
      const std::uint32_t key = static_cast<std::uint32_t>(first << 8 | second);
      if (pairs_[key]) Check(key, line, i, present, any);
    }
    // A GBK lead byte with a trail byte (40-7E, 80-FE) is one character.
    i += (gbk_ && first >= 0x81 && first <= 0xFE && second >= 0x40 && second != 0x7F &&
          second != 0xFF)
             ? 2
             : 1;
  }
  return any;
}

}  // namespace lectoria
