#include "app/listening/rules_editor.h"

#include <algorithm>
#include <vector>

#include "rules/rule_set.h"

namespace lectoria {

RulesEditor::RulesEditor(RuleList rules, std::string trialLine, SaveFunction save)
    : rules_(std::move(rules)),
      kept_(rules_),
      trialLine_(std::move(trialLine)),
      save_(std::move(save)) {}

const TextRule& RulesEditor::Rule(int row) const {
  static const TextRule kNone{};
  return IsRow(row) ? rules_[static_cast<std::size_t>(row)] : kNone;
}

int RulesEditor::Add(TextRule rule, int after) {
  const int row = IsRow(after) ? after + 1 : Count();
  rules_.insert(rules_.begin() + row, std::move(rule));
  return row;
}

void RulesEditor::Set(int row, TextRule rule) {
  if (IsRow(row)) rules_[static_cast<std::size_t>(row)] = std::move(rule);
}

void RulesEditor::SetEnabled(int row, bool enabled) {
  if (IsRow(row)) rules_[static_cast<std::size_t>(row)].enabled = enabled;
}

void RulesEditor::Remove(int row) {
  if (IsRow(row)) rules_.erase(rules_.begin() + row);
}

int RulesEditor::Move(int row, int by) {
  if (!IsRow(row)) return row;
  const int to = std::clamp(row + by, 0, Count() - 1);
  // A move by one is a swap; a longer one keeps the order of the rows passed over.
  if (to < row) std::rotate(rules_.begin() + to, rules_.begin() + row, rules_.begin() + row + 1);
  if (to > row)
    std::rotate(rules_.begin() + row, rules_.begin() + row + 1, rules_.begin() + to + 1);
  return to;
}

RuleTrial RulesEditor::Try(int row) const {
  if (row >= 0) {
    if (!IsRow(row)) return {};
    return TryRule(rules_[static_cast<std::size_t>(row)], trialLine_);
  }
  RuleTrial trial;
  std::vector<std::string> problems;
  const RuleSet set = RuleSet::Compile(rules_, &problems);
  if (!problems.empty()) trial.problem = problems.front();
  trial.result = trialLine_;
  trial.changed = set.ApplyTo(trial.result);
  return trial;
}

std::optional<std::string> RulesEditor::Save() {
  std::optional<std::string> problem = save_ ? save_(rules_) : std::nullopt;
  if (!problem) kept_ = rules_;
  return problem;
}

}  // namespace lectoria
