// Checks on rules before they are kept, and trying one rule on one line (for the rule dialog).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "rules/text_rule.h"

namespace lectoria {

/// Why `rule`, number `position` (1-based) in its list, cannot be kept, naming it (GBK); nullopt
/// when it can. Refused: an empty pattern; a tab or line break in any field; bytes that are no
/// GBK character; an expression that does not compile, or that can match nothing (it would
/// insert its replacement everywhere); a replacement naming a group the expression lacks; a
/// rule that turns every one of a few ordinary sample lines ("第一章 开始", a sentence, ...)
/// into an empty line. Disabled rules are checked too, so that a saved list loads back whole.
std::optional<std::string> CheckRule(const TextRule& rule, std::size_t position);

/// The first problem of `rules`, in order (see CheckRule); nullopt when all can be kept.
std::optional<std::string> CheckRules(const RuleList& rules);

/// The outcome of trying a rule on a line.
struct RuleTrial {
  /// The rule's problem (as CheckRule gives it, for position 1) when it cannot be used; the
  /// other fields are then empty.
  std::optional<std::string> problem;
  /// The line after the rule (GBK), whether or not the rule is enabled.
  std::string result;
  /// Whether the rule changed the line.
  bool changed = false;
};

/// Applies `rule` alone to `gbkLine`, as the rule dialog shows it.
RuleTrial TryRule(const TextRule& rule, std::string_view gbkLine);

}  // namespace lectoria
