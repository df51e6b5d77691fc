#include "reader/spoken_text.h"

#include "reader/line_filter.h"
#include "rules/rule_set.h"

namespace lectoria {

bool SpokenText(std::string_view line, const RuleSet* rules, bool skipNonChinese,
                std::string& spoken) {
  const std::string_view trimmed = TrimSpacesView(line);
  if (rules == nullptr || rules->empty()) {
    // Without rules the line is judged in place and copied only when it is kept.
    if (!IsUsableLine(trimmed, skipNonChinese)) return false;
    spoken.assign(trimmed);
    return true;
  }
  spoken.assign(trimmed);
  // A rule that deleted the start or the end of a line may leave spaces there.
  if (rules->ApplyTo(spoken)) {
    const std::string_view again = TrimSpacesView(spoken);
    if (again.size() != spoken.size()) spoken = std::string(again);
  }
  return IsUsableLine(spoken, skipNonChinese);
}

}  // namespace lectoria
