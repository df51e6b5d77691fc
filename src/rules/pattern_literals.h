// Texts that every match of a regular expression must contain, found by reading the pattern.
//
// The rule set uses them to leave a line alone without converting or searching it when none of
// a rule's texts occurs in it. The reading is deliberately cautious: whatever it does not fully
// understand (conditionals, recursion, \Q..\E, extended mode, ...) gives "nothing known", and
// the rule is then simply always run.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace lectoria {

/// Texts (UTF-8) of which every match of the pattern contains at least one. Empty when nothing
/// is known.
struct RequiredLiterals {
  std::vector<std::string> texts;
  /// The pattern ignores case somewhere: compare ASCII letters without case. Texts then hold
  /// only ASCII characters whose case variants are ASCII too.
  bool ignoreCase = false;
};

/// Reads `utf8Pattern`, an expression that compiles (UTF mode).
RequiredLiterals FindRequiredLiterals(std::string_view utf8Pattern);

}  // namespace lectoria
