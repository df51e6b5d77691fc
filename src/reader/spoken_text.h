// What is spoken for a line of a book: the line trimmed, changed by the text rules in force,
// and kept only when something worth reading remains. The reading queue and the export both
// decide through SpokenText, so they speak exactly the same text.
#pragma once

#include <string>
#include <string_view>

namespace lectoria {

class RuleSet;

/// The text to speak for the line `line` (GBK, as the chapter file holds it): without leading
/// and trailing spaces, then with every rule of `rules` applied in order (none when null),
/// then trimmed again. True with the text in `spoken` when it passes the line filter
/// (IsUsableLine with `skipNonChinese`); false when the line is passed over, for instance
/// because a rule deleted all of it. `spoken` is left unspecified then.
bool SpokenText(std::string_view line, const RuleSet* rules, bool skipNonChinese,
                std::string& spoken);

}  // namespace lectoria
