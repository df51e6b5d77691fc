#include "rules/rule_set.h"

#include <algorithm>

#include "rules/compiled_rule.h"
#include "rules/line_codec.h"
#include "rules/literal_prefilter.h"

namespace lectoria {

struct RuleSet::Impl {
  std::vector<CompiledRule> rules;
  // The rules' texts as GBK, for the line as it comes, and as UTF-8, for the line once a rule
  // has changed it.
  LiteralPrefilter prefilter{/*gbk=*/true};
  LiteralPrefilter utf8Prefilter{/*gbk=*/false};
  // Some rule has no required text: every line must be looked at.
  bool scanEveryLine = false;
  std::uint32_t maxCaptures = 0;
};

RuleSet::RuleSet() : impl_(std::make_unique<Impl>()) {}
RuleSet::~RuleSet() = default;
RuleSet::RuleSet(RuleSet&&) noexcept = default;
RuleSet& RuleSet::operator=(RuleSet&&) noexcept = default;

std::size_t RuleSet::size() const {
  return impl_ ? impl_->rules.size() : 0;
}

RuleSet RuleSet::Compile(const RuleList& rules, std::vector<std::string>* problems) {
  RuleSet set;
  Impl& impl = *set.impl_;
  for (std::size_t i = 0; i < rules.size(); ++i) {
    if (!rules[i].enabled) continue;
    std::string problem;
    std::optional<CompiledRule> compiled = CompileRule(rules[i], &problem);
    if (!compiled) {
      if (problems != nullptr)
        problems->push_back(RuleLabel(rules[i], i + 1) + "\xA3\xBA" + problem);
      continue;
    }
    const std::size_t index = impl.rules.size();
    if (compiled->literalsGbk.empty()) impl.scanEveryLine = true;
    for (const std::string& literal : compiled->literalsGbk)
      impl.prefilter.Add(index, literal, compiled->ignoreCase);
    for (const std::string& literal : compiled->literalsUtf8)
      impl.utf8Prefilter.Add(index, literal, compiled->ignoreCase);
    if (compiled->regex)
      impl.maxCaptures = std::max(impl.maxCaptures, compiled->regex->CaptureCount());
    impl.rules.push_back(std::move(*compiled));
  }
  return set;
}

std::string RuleSet::Apply(std::string_view gbkLine) const {
  std::string line(gbkLine);
  ApplyTo(line);
  return line;
}

bool RuleSet::ApplyTo(std::string& gbkLine) const {
  if (!impl_ || impl_->rules.empty() || gbkLine.empty()) return false;
  const Impl& impl = *impl_;

  // Which rules' texts the line holds as it is; with none, and no rule that must always run,
  // the line is left alone without being converted.
  thread_local std::vector<char> present;
  present.assign(impl.rules.size(), 0);
  const bool candidates = impl.prefilter.Scan(gbkLine, present);
  if (!candidates && !impl.scanEveryLine) return false;

  // Match data for the widest rule, kept per thread between lines.
  thread_local std::unique_ptr<RegexMatchData> data;
  thread_local std::uint32_t dataCaptures = 0;
  if (!data || dataCaptures < impl.maxCaptures) {
    data = std::make_unique<RegexMatchData>(impl.maxCaptures);
    dataCaptures = impl.maxCaptures;
  }

  std::string utf8;
  bool converted = false;
  bool changed = false;
  for (std::size_t i = 0; i < impl.rules.size(); ++i) {
    const CompiledRule& rule = impl.rules[i];
    if (!rule.literalsGbk.empty() && !present[i]) continue;
    if (!converted) {
      utf8 = LineToUtf8(gbkLine);
      converted = true;
    }
    if (ApplyRule(rule, utf8, *data) != ReplaceOutcome::kChanged) continue;
    changed = true;
    // The later rules' texts are looked for again in the line as it now stands.
    present.assign(impl.rules.size(), 0);
    impl.utf8Prefilter.Scan(utf8, present);
  }
  if (!changed) return false;
  std::string result = LineToGbk(utf8);
  // Rules that put back what they found leave the line as it was.
  if (result == gbkLine) return false;
  gbkLine = std::move(result);
  return true;
}

}  // namespace lectoria
