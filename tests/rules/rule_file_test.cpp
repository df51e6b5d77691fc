// The rules file: saving and loading back, the default set, and damaged files.
#include "rules/rule_file.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "platform/codepage.h"
#include "rules/default_rules.h"

namespace lectoria {

// Readable rules in failure messages.
void PrintTo(const TextRule& rule, std::ostream* os) {
  *os << (rule.enabled ? "on " : "off ") << (rule.kind == RuleKind::kPattern ? "pattern " : "text ")
      << GbkToUtf8(rule.pattern) << " -> " << GbkToUtf8(rule.replacement) << " ("
      << GbkToUtf8(rule.note) << ")";
}

namespace {

namespace fs = std::filesystem;

std::string Gbk(std::string_view utf8) {
  return Utf8ToGbk(utf8);
}

class RuleFileTest : public ::testing::Test {
 protected:
  RuleFileTest()
      : dir_(fs::temp_directory_path() / ("lectoria-rules-" + std::to_string(::getpid()))) {
    fs::create_directories(dir_);
  }
  ~RuleFileTest() override { fs::remove_all(dir_); }

  fs::path File() const { return RulesFilePath(dir_); }
  void Write(std::string_view bytes) const {
    std::ofstream(File(), std::ios::binary).write(bytes.data(), bytes.size());
  }

  fs::path dir_;
};

TEST_F(RuleFileTest, MissingFileGivesTheDefaults) {
  const LoadedRules loaded = LoadRules(File());
  EXPECT_FALSE(loaded.fromFile);
  EXPECT_TRUE(loaded.problems.empty());
  EXPECT_EQ(loaded.rules, DefaultRules());
}

TEST_F(RuleFileTest, SavedRulesLoadBackTheSame) {
  RuleList rules = DefaultRules();
  rules[1].enabled = false;
  rules.push_back({true, RuleKind::kText, Gbk("淺"), "", Gbk("删掉\\字")});
  rules.push_back({true, RuleKind::kPattern, Gbk(R"((\d+)元)"), Gbk("$1块"), ""});
  EXPECT_FALSE(SaveRules(File(), rules));
  const LoadedRules loaded = LoadRules(File());
  EXPECT_TRUE(loaded.fromFile);
  EXPECT_TRUE(loaded.problems.empty());
  EXPECT_EQ(loaded.rules, rules);
  // An empty list is a choice too.
  EXPECT_FALSE(SaveRules(File(), {}));
  EXPECT_TRUE(LoadRules(File()).rules.empty());
  EXPECT_TRUE(LoadRules(File()).fromFile);
}

TEST_F(RuleFileTest, RefusedRulesWriteNothing) {
  EXPECT_FALSE(SaveRules(File(), {{true, RuleKind::kText, "a", "b", ""}}));
  const std::optional<std::string> problem =
      SaveRules(File(), {{true, RuleKind::kPattern, "x*", "", ""}});
  ASSERT_TRUE(problem);
  EXPECT_EQ(problem->rfind(Gbk("第 1 条规则（x*）："), 0), 0u);
  EXPECT_EQ(LoadRules(File()).rules, (RuleList{{true, RuleKind::kText, "a", "b", ""}}));
}

TEST_F(RuleFileTest, DamagedFilesAreReportedNotFatal) {
  const struct {
    const char* name;
    std::string bytes;
    bool fromFile;
    std::size_t rules;
    std::vector<std::string> problems;  // each expected problem begins so
  } cases[] = {
      {"not text",
       std::string("abc\0def", 7),
       false,
       DefaultRules().size(),
       {"规则文件已损坏（不是文本），已改用默认规则。"}},
      {"nothing readable",
       "garbage\nmore garbage\n",
       false,
       DefaultRules().size(),
       {"规则文件第 1 行格式不对", "规则文件第 2 行格式不对", "规则文件里没有一条能读的规则"}},
      {"bad lines skipped, bad rule switched off",
       "# c\r\n是\t文本\t甲\t乙\r\n也许\t文本\ta\tb\n是\t正则\t(\t\t括号\n是\t别的\ta\tb\n\n",
       true,
       2,
       {"规则文件第 3 行的启用栏应为“是”或“否”",
        "规则文件第 4 行：第 2 条规则（括号）：正则表达式有误",
        "规则文件第 5 行的类型栏应为“文本”或“正则”"}},
      {"saved in GBK by another editor", Gbk("是\t文本\t甲\t乙\n"), true, 1, {}},
      {"UTF-8 with a byte-order mark", "\xEF\xBB\xBF是\t文本\t甲\t乙\n", true, 1, {}},
      {"character beyond GBK",
       "是\t文本\t😀\t乙\n是\t文本\t甲\t乙\n",
       true,
       1,
       {"规则文件第 1 行有 GBK 以外的字符"}},
  };
  for (const auto& c : cases) {
    Write(c.bytes);
    const LoadedRules loaded = LoadRules(File());
    EXPECT_EQ(loaded.fromFile, c.fromFile) << c.name;
    EXPECT_EQ(loaded.rules.size(), c.rules) << c.name;
    ASSERT_EQ(loaded.problems.size(), c.problems.size()) << c.name;
    for (std::size_t i = 0; i < c.problems.size(); ++i)
      EXPECT_EQ(loaded.problems[i].rfind(Gbk(c.problems[i]), 0), 0u)
          << c.name << ": " << GbkToUtf8(loaded.problems[i]);
  }
  // The switched-off rule keeps its text, so saving again loses nothing of it.
  Write("是\t正则\t(\t\t括号\n");
  EXPECT_EQ(LoadRules(File()).rules, (RuleList{{false, RuleKind::kPattern, "(", "", Gbk("括号")}}));
  // A directory where the file should be is reported too.
  fs::remove(File());
  fs::create_directories(File());
  EXPECT_FALSE(LoadRules(File()).fromFile);
  EXPECT_EQ(LoadRules(File()).problems.size(), 1u);
}

}  // namespace
}  // namespace lectoria
