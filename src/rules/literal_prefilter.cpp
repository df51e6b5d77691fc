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
    // Every pair the byte starts is marked too, so the scan has one table to test.
    for (std::uint32_t next = 0; next < 0x100; ++next) pairs_.set((key - kSingleKey) << 8 | next);
  } else {
    pairs_.set(key);
  }
  std::vector<std::size_t>& list = byKey_[key];
  if (list.empty() || list.back() != entry) list.push_back(entry);
}

void LiteralPrefilter::Add(std::size_t rule, std::string_view text, bool ignoreCase) {
  if (text.empty()) return;
  const std::size_t entry = entries_.size();
  // In UTF-8 the first two bytes of a Chinese character are shared by 64 characters; its
  // second and third bytes tell far fewer apart, so a text of three bytes or more that starts
  // with a lead byte is looked up by those.
  const std::size_t offset =
      !gbk_ && text.size() >= 3 && static_cast<unsigned char>(text[0]) >= 0xC0 ? 1 : 0;
  entries_.push_back({rule, std::string(text), ignoreCase, offset});
  text.remove_prefix(offset);
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
    if (pos < entry.offset) continue;
    if (!present[entry.rule] && SameAt(line, pos - entry.offset, entry.text, entry.ignoreCase)) {
      present[entry.rule] = 1;
      any = true;
    }
  }
}

bool LiteralPrefilter::Scan(std::string_view line, std::vector<char>& present) const {
  bool any = false;
  const auto* bytes = reinterpret_cast<const unsigned char*>(line.data());
  const std::size_t n = line.size();
  // Every byte position is looked up in the table of pairs, without walking the characters:
  // the lookups do not depend on each other and run several times faster. Only at a hit, which is
  // rare, is the GBK line walked (on from where the last walk stopped) to see whether a character
  // starts there.
  std::size_t walked = 0;
  const auto startsCharacter = [&](std::size_t pos) {
    while (walked < pos) {
      const unsigned char lead = bytes[walked];
      const unsigned char trail = walked + 1 < n ? bytes[walked + 1] : 0;
      // A GBK lead byte with a trail byte (40-7E, 80-FE) is one character.
      walked +=
          (lead >= 0x81 && lead <= 0xFE && trail >= 0x40 && trail != 0x7F && trail != 0xFF) ? 2 : 1;
    }
    return walked == pos;
  };
  for (std::size_t i = 0; i + 1 < n; ++i) {
    const auto key = static_cast<std::uint32_t>(bytes[i] << 8 | bytes[i + 1]);
    if (!pairs_[key] || (gbk_ && !startsCharacter(i))) continue;
    if (singles_[bytes[i]]) Check(kSingleKey + bytes[i], line, i, present, any);
    Check(key, line, i, present, any);
  }
  if (n > 0 && singles_[bytes[n - 1]] && (!gbk_ || startsCharacter(n - 1)))
    Check(kSingleKey + bytes[n - 1], line, n - 1, present, any);
  return any;
}

}  // namespace lectoria
