#include "rules/default_rules.h"

#include "platform/codepage.h"

namespace lectoria {
namespace {

TextRule PatternRule(const char* pattern, const char* note) {
  TextRule rule;
  rule.kind = RuleKind::kPattern;
  rule.pattern = Utf8ToGbk(pattern);
  rule.note = Utf8ToGbk(note);
  return rule;
}

}  // namespace

RuleList DefaultRules() {
  return {
      // Only the address goes: a story's own line that mentions a site keeps its words.
      PatternRule(R"((?i)(?:https?://|www\.)[-a-z0-9._~:/?#@!$&'*+,;=%]+)", "删除网址"),
      PatternRule(R"(^\s*(?:最后)?(?:更新时间|更新日期|发布时间)\s*[:：].*$)", "删除更新时间行"),
      PatternRule(R"(^\s*(?:本章)?字数\s*[:：]\s*\d+.*$)", "删除字数行"),
      PatternRule(R"(^.*仅供.{0,8}(?:预览|试读|阅览|交流|学习).*$)", "删除“仅供预览”等提示"),
  };
}

}  // namespace lectoria
