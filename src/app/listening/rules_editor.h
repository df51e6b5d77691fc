// The rules dialog without its widgets: the list being edited, the trial on a line, and saving.
//
//   RulesEditor editor(rules, lineBeingRead, [&](const RuleList& r) { return keeper.Save(r); });
//   editor.Add(rule, editor.Count() - 1);
//   RuleTrial t = editor.Try(0);          // the rule alone on the trial line
//   if (auto problem = editor.Save()) ... // refused: show it, keep editing
//
// Rows are 0-based. Operations on a row that does not exist change nothing. Texts are GBK.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>

#include "rules/rule_check.h"
#include "rules/text_rule.h"

namespace lectoria {

class RulesEditor {
 public:
  /// Checks and keeps a list; nullopt when kept, otherwise why not (GBK).
  using SaveFunction = std::function<std::optional<std::string>(const RuleList&)>;

  RulesEditor(RuleList rules, std::string trialLine, SaveFunction save);

  const RuleList& Rules() const { return rules_; }
  int Count() const { return static_cast<int>(rules_.size()); }
  /// Row `row`; a rule with nothing in it when there is none.
  const TextRule& Rule(int row) const;

  /// Inserts `rule` after row `after` (at the end when `after` is not a row); returns its row.
  int Add(TextRule rule, int after);
  void Set(int row, TextRule rule);
  void SetEnabled(int row, bool enabled);
  void Remove(int row);
  /// Moves row `row` by `by` places (-1 up, +1 down), as far as the list allows; returns the
  /// row it is in afterwards.
  int Move(int row, int by);

  /// The line the rules are tried on; it starts as the line being read.
  const std::string& TrialLine() const { return trialLine_; }
  void SetTrialLine(std::string line) { trialLine_ = std::move(line); }
  /// Rule `row` alone on the trial line, switched on or not; with `row` -1, every rule that
  /// is on, in order, as reading would apply them (the first unusable one is the problem).
  RuleTrial Try(int row) const;

  /// True when the list differs from the one last kept.
  bool Modified() const { return rules_ != kept_; }
  /// Keeps the list through the save function; the problem when it refused.
  std::optional<std::string> Save();

 private:
  bool IsRow(int row) const { return row >= 0 && row < Count(); }

  RuleList rules_;
  RuleList kept_;
  std::string trialLine_;
  SaveFunction save_;
};

}  // namespace lectoria
