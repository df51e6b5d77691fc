#include "rules/rule_check.h"

#include "platform/codepage.h"
#include "platform/gbk_text.h"
#include "rules/compiled_rule.h"

namespace lectoria {
namespace {

constexpr std::string_view kColon = "\xA3\xBA";  // "：" in GBK

// Ordinary lines of a book: a rule must leave at least one of them with something to say.
constexpr const char* kSampleLines[] = {
    "第一章 开始",
    "他抬头望向窗外，夜色沉沉，远处的灯火一盏接一盏地熄灭了。",
    "“你终于来了。”她轻声说道。",
    "Chapter 1: It was a bright cold day in April.",
};

std::string Problem(const TextRule& rule, std::size_t position, std::string_view reason) {
  return RuleLabel(rule, position) + std::string(kColon) + std::string(reason);
}

// Whether the expression matches nothing (an empty string) anywhere in `utf8`; PCRE2's
// minimum length misses \K and look-arounds.
bool MatchesNothingIn(const RegexPattern& pattern, std::string_view utf8) {
  RegexMatchData data(pattern.CaptureCount());
  for (std::size_t start = 0; start <= utf8.size();) {
    if (pattern.Find(utf8, start, data) != 1) return false;
    if (data.End(0) <= data.Start(0)) return true;
    start = data.End(0);
  }
  return false;
}

bool IsBlank(std::string_view gbk) {
  return TrimBlanks(gbk).find_first_not_of("\t") == std::string::npos;
}

}  // namespace

std::optional<std::string> CheckRule(const TextRule& rule, std::size_t position) {
  std::string reason;
  const std::optional<CompiledRule> compiled = CompileRule(rule, &reason);
  if (!compiled) return Problem(rule, position, reason);

  RegexMatchData data(compiled->regex ? compiled->regex->CaptureCount() : 0);
  bool keepsSomething = false;
  for (const char* sample :
       {"", kSampleLines[0], kSampleLines[1], kSampleLines[2], kSampleLines[3]}) {
    std::string utf8 = sample;
    if (compiled->regex && MatchesNothingIn(*compiled->regex, utf8))
      return Problem(rule, position, Utf8ToGbk("正则表达式可以匹配空文本"));
    if (*sample == '\0') continue;
    ApplyRule(*compiled, utf8, data);
    if (!IsBlank(Utf8ToGbk(utf8))) keepsSomething = true;
  }
  if (!keepsSomething) return Problem(rule, position, Utf8ToGbk("这条规则会把每一行都删成空行"));
  return std::nullopt;
}

std::optional<std::string> CheckRules(const RuleList& rules) {
  for (std::size_t i = 0; i < rules.size(); ++i) {
    if (auto problem = CheckRule(rules[i], i + 1)) return problem;
  }
  return std::nullopt;
}

RuleTrial TryRule(const TextRule& rule, std::string_view gbkLine) {
  RuleTrial trial;
  if (auto problem = CheckRule(rule, 1)) {
    trial.problem = std::move(problem);
    return trial;
  }
  std::string reason;
  const std::optional<CompiledRule> compiled = CompileRule(rule, &reason);
  RegexMatchData data(compiled->regex ? compiled->regex->CaptureCount() : 0);
  std::string utf8 = GbkToUtf8(gbkLine);
  if (ApplyRule(*compiled, utf8, data) == ReplaceOutcome::kChanged) {
    trial.result = Utf8ToGbk(utf8);
    trial.changed = true;
  } else {
    trial.result = std::string(gbkLine);
  }
  return trial;
}

}  // namespace lectoria
