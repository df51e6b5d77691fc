// The rules file R/rules.txt: UTF-8 text a person can edit, one rule a line.
//
//   # comment lines start with "#"; blank lines are ignored
//   是<TAB>正则<TAB>^\s*本章字数[:：].*$<TAB><TAB>删除字数行
//
// Fields, separated by tabs: enabled (是/否), kind (文本/正则), pattern, replacement (may be
// empty: the match is deleted), note (may be left off). A file saved by another editor in
// GBK is read as GBK.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "rules/text_rule.h"

namespace lectoria {

/// R/rules.txt.
std::filesystem::path RulesFilePath(const std::filesystem::path& runDir);

/// What loading found.
struct LoadedRules {
  RuleList rules;
  /// What was wrong, one message (GBK, Chinese) each: lines that could not be read (skipped),
  /// rules that failed CheckRule (kept, switched off), or a file that could not be used at all.
  std::vector<std::string> problems;
  /// False when `rules` are the default set: there is no file, or it could not be used.
  bool fromFile = false;
};

/// Reads the rules file. No file: the default set, no problems. A file that cannot be read,
/// is not text (NUL bytes), is over 1 MB, or has rule lines of which none can be read: the
/// default set, with a message. Never throws.
LoadedRules LoadRules(const std::filesystem::path& file);

/// Reads the contents of a rules file (see LoadRules; a missing file is not this function's
/// affair).
LoadedRules ParseRulesText(std::string_view text);

/// The contents of a rules file for `rules` (UTF-8), with an explaining header.
std::string FormatRulesText(const RuleList& rules);

/// Checks every rule (CheckRules) and writes the file atomically. The problem (GBK, naming the
/// rule, or saying the file could not be written) when nothing was written; nullopt on success.
std::optional<std::string> SaveRules(const std::filesystem::path& file, const RuleList& rules);

}  // namespace lectoria
