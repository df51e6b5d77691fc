// Which rules are refused before they are kept, and trying a rule on a line.
#include "rules/rule_check.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"

namespace lectoria {
namespace {

std::string Gbk(std::string_view utf8) {
  return Utf8ToGbk(utf8);
}

TEST(CheckRule, RefusesUnusableRulesNamingThem) {
  const struct {
    RuleKind kind;
    const char* pattern;
    const char* replacement;
    const char* reason;  // expected after the rule's label, or nullptr when the rule is fine
  } cases[] = {
      {RuleKind::kPattern, R"(^\s*本章字数.*$)", "", nullptr},
      {RuleKind::kText, "重庆", "崇庆", nullptr},
      {RuleKind::kText, "", "x", "查找内容为空"},
      {RuleKind::kPattern, "(abc", "", "正则表达式有误（第 5 个字符处）"},
      {RuleKind::kPattern, "a*", "x", "正则表达式可以匹配空文本"},
      {RuleKind::kPattern, R"(\b)", "x", "正则表达式可以匹配空文本"},
      {RuleKind::kPattern, R"(开\K)", "x", "正则表达式可以匹配空文本"},
      {RuleKind::kPattern, ".+", "", "这条规则会把每一行都删成空行"},
      {RuleKind::kPattern, R"(^.+$)", " ", "这条规则会把每一行都删成空行"},
      {RuleKind::kPattern, "(a)", "$2", "替换内容引用了不存在的分组 $2"},
      {RuleKind::kText, "a\tb", "", "规则里不能有制表符或换行"},
  };
  for (const auto& c : cases) {
    const TextRule rule{true, c.kind, Gbk(c.pattern), Gbk(c.replacement), Gbk("试验")};
    const std::optional<std::string> problem = CheckRule(rule, 4);
    if (c.reason == nullptr) {
      EXPECT_FALSE(problem) << c.pattern << ": " << GbkToUtf8(*problem);
      continue;
    }
    ASSERT_TRUE(problem) << c.pattern;
    EXPECT_EQ(problem->rfind(Gbk("第 4 条规则（试验）：") + Gbk(c.reason), 0), 0u)
        << c.pattern << ": " << GbkToUtf8(*problem);
  }
  // A list names its first bad rule by its place, and by its pattern when it has no note;
  // switched-off rules are checked too.
  const RuleList rules{{true, RuleKind::kText, "a", "b", ""},
                       {false, RuleKind::kPattern, "[", "", ""}};
  const std::optional<std::string> first = CheckRules(rules);
  ASSERT_TRUE(first);
  EXPECT_EQ(first->rfind(Gbk("第 2 条规则（[）："), 0), 0u) << GbkToUtf8(*first);
}

TEST(TryRule, ShowsTheLineAfterOneRule) {
  TextRule rule{false, RuleKind::kPattern, Gbk(R"(第(\d+)章)"), Gbk("第$1回"), ""};
  RuleTrial trial = TryRule(rule, Gbk("第12章 夜"));
  EXPECT_FALSE(trial.problem);
  EXPECT_TRUE(trial.changed);
  EXPECT_EQ(trial.result, Gbk("第12回 夜"));
  trial = TryRule(rule, Gbk("序"));
  EXPECT_FALSE(trial.changed);
  EXPECT_EQ(trial.result, Gbk("序"));
  rule.pattern = "(";
  trial = TryRule(rule, Gbk("序"));
  EXPECT_TRUE(trial.problem);
  EXPECT_EQ(trial.result, "");
}

}  // namespace
}  // namespace lectoria
