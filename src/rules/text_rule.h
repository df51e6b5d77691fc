// One clean-up or pronunciation rule applied to a line of book text before it is spoken.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace lectoria {

/// How a rule's pattern is read.
enum class RuleKind {
  kText,     // the pattern is plain text, found as it is written
  kPattern,  // the pattern is a regular expression (PCRE2 syntax, matched per character)
};

/// A rule: every match of `pattern` in a line becomes `replacement`. Texts are GBK.
///
/// A pattern rule's replacement may name the expression's groups: $0 (the whole match), $1 to
/// $99 (the longest number the pattern has), ${n}, and $$ for a dollar sign; a text rule's
/// replacement is taken as it is written. An empty replacement deletes what the rule matches.
struct TextRule {
  bool enabled = true;
  RuleKind kind = RuleKind::kText;
  std::string pattern;
  std::string replacement;
  /// What the rule is for, shown in the rule list; may be empty.
  std::string note;

  bool operator==(const TextRule&) const = default;
};

using RuleList = std::vector<TextRule>;

/// How messages name rule number `position` (1-based): its note, or its pattern when it has
/// none, e.g. "第 3 条规则（网址）". GBK.
std::string RuleLabel(const TextRule& rule, std::size_t position);

}  // namespace lectoria
