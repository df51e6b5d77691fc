// The rules in force, compiled once and applied to each line before it is spoken.
//
//   RuleSet rules = RuleSet::Compile(LoadRules(RulesFilePath(runDir)).rules);
//   std::string spoken = rules.Apply(line);   // GBK in, GBK out; "" when a rule deleted it
//
// Lines are matched as UTF-8 (converted from GBK and back), so a pattern can only ever match
// whole characters, never half of a double-byte one. A line that no rule changes comes back
// byte for byte as it went in.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "rules/text_rule.h"

namespace lectoria {

class RuleSet {
 public:
  /// No rules: Apply gives every line back unchanged.
  RuleSet();
  ~RuleSet();
  RuleSet(RuleSet&&) noexcept;
  RuleSet& operator=(RuleSet&&) noexcept;

  /// Compiles the enabled rules of `rules`, in order. A rule that cannot be used (an empty
  /// pattern, an expression that does not compile or can match nothing, a reference to a
  /// missing group) is left out, and a message naming it (GBK) goes to `problems` when given.
  static RuleSet Compile(const RuleList& rules, std::vector<std::string>* problems = nullptr);

  /// The line after every rule, in order, has replaced its matches in the result of the one
  /// before. GBK in and out. Bytes that are not GBK characters come back as "?" only when some
  /// rule changed the line. Safe to call from several threads at once.
  std::string Apply(std::string_view gbkLine) const;

  /// Apply in place: true (with `gbkLine` replaced) when some rule changed the line; false,
  /// with nothing copied or allocated, when none did.
  bool ApplyTo(std::string& gbkLine) const;

  /// The number of rules compiled (the enabled, usable ones).
  std::size_t size() const;
  bool empty() const { return size() == 0; }

 private:
  struct Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace lectoria
