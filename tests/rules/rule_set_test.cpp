// Applying rules to lines: plain and pattern rules, order, deletion, the default set, and the
// texts a pattern must contain.
#include "rules/rule_set.h"

#include <gtest/gtest.h>

#include "platform/codepage.h"
#include "rules/default_rules.h"
#include "rules/pattern_literals.h"

namespace lectoria {
namespace {

std::string Gbk(std::string_view utf8) {
  return Utf8ToGbk(utf8);
}

TextRule Text(std::string_view find, std::string_view replace) {
  return {true, RuleKind::kText, Gbk(find), Gbk(replace), ""};
}
TextRule Pattern(std::string_view find, std::string_view replace) {
  return {true, RuleKind::kPattern, Gbk(find), Gbk(replace), ""};
}

TEST(RuleSet, AppliesEnabledRulesInOrder) {
  TextRule off = Text("夜", "昼");
  off.enabled = false;
  const struct {
    const char* name;
    RuleList rules;
    const char* line;
    const char* expected;
  } cases[] = {
      {"text, every occurrence", {Text("重庆", "崇庆")}, "重庆人在重庆", "崇庆人在崇庆"},
      {"text is not a pattern", {Text("a.c", "x")}, "abc a.c", "abc x"},
      {"pattern with groups", {Pattern(R"((\d+)年(\d+)月)", "$2/$1")}, "2012年3月", "3/2012"},
      {"$$, ${n} and a number past the groups", {Pattern("(元)", "$$${1}$10")}, "5元", "5$元元0"},
      {"empty replacement deletes", {Pattern(R"(\s*（求收藏）)", "")}, "完了 （求收藏）", "完了"},
      {"order: the second sees the first's result",
       {Text("甲", "乙"), Text("乙丙", "丁")},
       "甲丙",
       "丁"},
      {"order reversed", {Text("乙丙", "丁"), Text("甲", "乙")}, "甲丙", "乙丙"},
      {"a one-byte text made by an earlier rule, at the end",
       {Text("甲", "a"), Text("a", "b")},
       "甲丙甲",
       "b丙b"},
      {"disabled rule does nothing", {off}, "夜色", "夜色"},
      {"ignoring case", {Pattern("(?i)hello", "你好")}, "HeLLo!", "你好!"},
      {"full-width space is \\s", {Pattern(R"(^\s+)", "")}, "　　正文", "正文"},
      {"no rules", {}, "原样", "原样"},
      // GBK 中文 is D6 D0 CE C4; D0 CE is 形, and 淺 ends in 5C, a backslash.
      {"no match across two characters (text)", {Text("形", "X")}, "中文", "中文"},
      {"no match across two characters (pattern)", {Pattern("[形]", "X")}, "中文", "中文"},
      {"no match on a trail byte", {Text("\\", "/")}, "淺\\", "淺/"},
      // Nested repetition on a long line stops at the match limit instead of hanging.
      {"runaway expression leaves the line",
       {Pattern("(a+)+$", "")},
       "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab",
       "aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaab"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(RuleSet::Compile(c.rules).Apply(Gbk(c.line)), Gbk(c.expected)) << c.name;
  }
}

TEST(RuleSet, UntouchedLinesComeBackByteForByte) {
  // 0xFF is no GBK character; only a change would turn it into "?".
  const std::string odd = "\xFF" + Gbk("重庆");
  const RuleSet rules = RuleSet::Compile({Text("夜", "昼"), Pattern(R"(\d+)", "#")});
  EXPECT_EQ(rules.Apply(odd), odd);
  EXPECT_EQ(rules.Apply(odd + "7"), "?" + Gbk("重庆") + "#");
}

TEST(RuleSet, UnusableRulesAreLeftOutAndNamed) {
  std::vector<std::string> problems;
  TextRule bad = Pattern("(", "");
  bad.note = Gbk("坏的");
  const RuleSet rules = RuleSet::Compile({bad, Text("甲", "乙")}, &problems);
  EXPECT_EQ(rules.size(), 1u);
  ASSERT_EQ(problems.size(), 1u);
  EXPECT_EQ(problems[0].rfind(Gbk("第 1 条规则（坏的）：正则表达式有误"), 0), 0u) << problems[0];
  EXPECT_EQ(rules.Apply(Gbk("甲")), Gbk("乙"));
}

TEST(DefaultRules, RemoveBoilerplateAndLeaveStoryLines) {
  const RuleSet rules = RuleSet::Compile(DefaultRules());
  const struct {
    const char* line;
    const char* expected;
  } cases[] = {
      {"更新时间：2012-01-01 12:00:00 本章字数：3200", ""},
      {"　　更新时间:2013-5-6", ""},
      {"本章字数：3200", ""},
      {"字数：1234 更新于昨天", ""},
      {"作品仅供读者预览，请在下载24小时内删除。", ""},
      {"www.example.com", ""},
      {"请记住本站 http://www.Example.com/book/1.html 谢谢", "请记住本站  谢谢"},
      {"HTTPS://abc.net/x?y=1", ""},
      // Story lines stay as they are.
      {"第一章 开始", "第一章 开始"},
      {"他更新了时间表，字数不多，仅供参考。", "他更新了时间表，字数不多，仅供参考。"},
      {"“你终于来了。”她轻声说道。", "“你终于来了。”她轻声说道。"},
      {"他打开网页，输入了地址。", "他打开网页，输入了地址。"},
  };
  for (const auto& c : cases) EXPECT_EQ(rules.Apply(Gbk(c.line)), Gbk(c.expected)) << c.line;
}

TEST(RequiredLiterals, AreTextsEveryMatchMustHold) {
  using Texts = std::vector<std::string>;
  const struct {
    const char* pattern;
    Texts texts;
    bool ignoreCase;
  } cases[] = {
      {"更新时间", {"更新时间"}, false}, {R"(^\s*本章字数[:：]\d+$)", {"本章字数"}, false},
      {"ab+c", {"ab"}, false},           {"abc?de", {"ab"}, false},
      {"x{0,3}yz", {"yz"}, false},       {"(?:甲乙|丙丁)戊", {"丙丁", "甲乙"}, false},
      {"(?:甲乙|丙)?戊", {"戊"}, false}, {"甲|.", {}, false},
      {R"(www\.)", {"www."}, false},     {"(?i)(?:https?://|www)", {"http", "www"}, true},
      {"(?i)kiss", {"i"}, true},         {"(?=甲乙)丙", {"丙"}, false},
      {R"([甲乙]+\d)", {}, false},       {R"(\Qa.b\E)", {}, false},
      {"(?x) a b", {}, false},           {R"((.)\1)", {}, false},
  };
  for (const auto& c : cases) {
    const RequiredLiterals found = FindRequiredLiterals(c.pattern);
    EXPECT_EQ(found.texts, c.texts) << c.pattern;
    EXPECT_EQ(found.ignoreCase, c.ignoreCase) << c.pattern;
  }
}

}  // namespace
}  // namespace lectoria
