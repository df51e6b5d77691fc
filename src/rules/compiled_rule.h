// One rule made ready to apply: its pattern compiled, its replacement parsed, and the texts a
// line must hold for the rule to change it. Internal to the rules module.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "rules/regex_pattern.h"
#include "rules/text_rule.h"

namespace lectoria {

struct CompiledRule {
  RuleKind kind = RuleKind::kText;
  std::string findUtf8;  // a text rule's pattern
  std::shared_ptr<const RegexPattern> regex;
  Replacement replacement;
  /// Texts of which a line must hold one for the rule to match; empty: nothing known.
  std::vector<std::string> literalsGbk;
  std::vector<std::string> literalsUtf8;
  bool ignoreCase = false;
};

/// The rule ready to apply, or nullopt with the reason (GBK, without the rule's label) in
/// `problem`: an empty pattern, a tab or line break in a field, an expression that does not
/// compile or can match nothing, a replacement naming a missing group.
std::optional<CompiledRule> CompileRule(const TextRule& rule, std::string* problem);

/// Applies `rule` to `utf8`. `data` must have room for the rule's groups.
ReplaceOutcome ApplyRule(const CompiledRule& rule, std::string& utf8, RegexMatchData& data);

}  // namespace lectoria
