// A one-pass test of which rules' required texts occur in a GBK line.
//
// Most lines of a book match no rule. Converting each line to UTF-8 and running every
// expression over it would cost far more than reading the book; instead one scan over the
// line's bytes looks up each pair of adjacent bytes in a table of the pairs that start some
// rule's text (a one-byte text marks every pair it starts), and only at such a pair are the
// texts compared.
//
// In a GBK line a text is only found where a character starts (a lead byte with a valid trail
// byte is one character, as the conversion to UTF-8 takes it): at a hit the line is walked by
// character up to it. UTF-8 synchronises itself and needs no walk.
#pragma once

#include <array>
#include <bitset>
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lectoria {

class LiteralPrefilter {
 public:
  /// Rule `rule` applies only where one of its texts occurs; `ignoreCase` compares ASCII
  /// letters without case. Texts are GBK and not empty.
  void Add(std::size_t rule, std::string_view text, bool ignoreCase);

  /// Texts are GBK (walked by character) or UTF-8 (walked by byte).
  explicit LiteralPrefilter(bool gbk) : gbk_(gbk) {}

  /// Sets present[rule] for every rule with a text in `line`; `present` must have room for
  /// every rule added. True when any rule was marked.
  bool Scan(std::string_view line, std::vector<char>& present) const;

 private:
  struct Entry {
    std::size_t rule;
    std::string text;
    bool ignoreCase;
    std::size_t offset;  // of the pair it is looked up by, within the text
  };
  void Mark(std::uint32_t key, std::size_t entry);

  void Check(std::uint32_t key, std::string_view line, std::size_t pos, std::vector<char>& present,
             bool& any) const;

  bool gbk_;
  std::vector<Entry> entries_;
  // Keys: a pair of bytes (first << 8 | second), or 0x10000 + byte for one-byte texts.
  std::bitset<0x10000> pairs_;
  std::array<bool, 256> singles_{};
  std::unordered_map<std::uint32_t, std::vector<std::size_t>> byKey_;
};

}  // namespace lectoria
