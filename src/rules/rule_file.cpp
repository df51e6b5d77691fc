#include "rules/rule_file.h"

#include <system_error>

#include "platform/codepage.h"
#include "platform/file_util.h"
#include "platform/gbk_text.h"
#include "platform/utf8_sequence.h"
#include "rules/default_rules.h"
#include "rules/rule_check.h"

namespace lectoria {
namespace {

constexpr std::size_t kMaxFileBytes = std::size_t{1} << 20;
constexpr std::string_view kBom = "\xEF\xBB\xBF";

constexpr std::string_view kHeader =
    "# Lectoria 朗读规则：每行一条，按顺序用在将要朗读的每一行上。\n"
    "# 各栏以制表符分隔：启用（是/否）、类型（文本/正则）、查找、替换为、说明。\n"
    "# 替换为留空时删除找到的内容；正则的替换内容可用 $1、$2… 引用分组，$$ 表示 $。\n";

std::string Gbk(std::string_view utf8) {
  return Utf8ToGbk(utf8);
}

std::string LineMessage(std::size_t line, std::string_view reasonUtf8) {
  return Gbk("规则文件第 " + std::to_string(line) + " 行") + Gbk(reasonUtf8);
}

std::optional<bool> ReadEnabled(std::string_view field) {
  for (std::string_view yes : {"是", "1", "开"})
    if (field == Gbk(yes)) return true;
  for (std::string_view no : {"否", "0", "关"})
    if (field == Gbk(no)) return false;
  return std::nullopt;
}

std::optional<RuleKind> ReadKind(std::string_view field) {
  if (field == Gbk("文本")) return RuleKind::kText;
  if (field == Gbk("正则")) return RuleKind::kPattern;
  return std::nullopt;
}

// Splits at every `separator` byte. Neither a line feed nor a tab can be part of a GBK or a
// UTF-8 character, so plain bytes will do (a character-aware split would let a stray lead byte
// swallow the separator after it).
std::vector<std::string> SplitBytes(std::string_view text, char separator) {
  std::vector<std::string> pieces;
  std::size_t start = 0;
  for (std::size_t at; (at = text.find(separator, start)) != std::string_view::npos; start = at + 1)
    pieces.emplace_back(text.substr(start, at - start));
  pieces.emplace_back(text.substr(start));
  return pieces;
}

LoadedRules Defaults(std::vector<std::string> problems, std::string_view why) {
  LoadedRules loaded;
  loaded.rules = DefaultRules();
  loaded.problems = std::move(problems);
  loaded.problems.push_back(Gbk(why) + Gbk("，已改用默认规则。"));
  return loaded;
}

}  // namespace

std::filesystem::path RulesFilePath(const std::filesystem::path& runDir) {
  return runDir / "rules.txt";
}

LoadedRules ParseRulesText(std::string_view text) {
  if (text.substr(0, kBom.size()) == kBom) text.remove_prefix(kBom.size());
  if (text.find('\0') != std::string_view::npos) return Defaults({}, "规则文件已损坏（不是文本）");
  // Fields are GBK inside the program; a file that is not UTF-8 was saved in GBK.
  const bool utf8 = IsValidUtf8(text);

  LoadedRules loaded;
  loaded.fromFile = true;
  std::size_t ruleLines = 0;
  std::size_t number = 0;
  for (std::string line : SplitBytes(text, '\n')) {
    ++number;
    if (EndsWith(line, "\r")) line.pop_back();
    if (utf8) {
      std::string converted = Utf8ToGbk(line);
      if (GbkToUtf8(converted) != line) {
        ++ruleLines;
        loaded.problems.push_back(LineMessage(number, "有 GBK 以外的字符，已跳过。"));
        continue;
      }
      line = std::move(converted);
    }
    const std::string trimmed = TrimBlanks(line);
    if (trimmed.empty() || trimmed[0] == '#') continue;
    ++ruleLines;
    std::vector<std::string> fields = SplitBytes(line, '\t');
    if (fields.size() < 3 || fields.size() > 5) {
      loaded.problems.push_back(LineMessage(
          number, "格式不对（应为以制表符分隔的启用、类型、查找、替换为、说明），已跳过。"));
      continue;
    }
    fields.resize(5);
    const std::optional<bool> enabled = ReadEnabled(TrimBlanks(fields[0]));
    const std::optional<RuleKind> kind = ReadKind(TrimBlanks(fields[1]));
    if (!enabled || !kind) {
      loaded.problems.push_back(LineMessage(number, !enabled
                                                        ? "的启用栏应为“是”或“否”，已跳过。"
                                                        : "的类型栏应为“文本”或“正则”，已跳过。"));
      continue;
    }
    TextRule rule{*enabled, *kind, fields[2], fields[3], fields[4]};
    if (auto problem = CheckRule(rule, loaded.rules.size() + 1)) {
      // Kept, so that saving the list again does not lose it, but off until it is mended.
      rule.enabled = false;
      loaded.problems.push_back(LineMessage(number, "：") + *problem + Gbk("，已停用。"));
    }
    loaded.rules.push_back(std::move(rule));
  }
  if (ruleLines > 0 && loaded.rules.empty())
    return Defaults(std::move(loaded.problems), "规则文件里没有一条能读的规则");
  return loaded;
}

LoadedRules LoadRules(const std::filesystem::path& file) {
  std::string bytes;
  std::error_code error;
  if (ReadFileBytes(file, bytes, kMaxFileBytes, &error)) return ParseRulesText(bytes);
  if (error == std::errc::no_such_file_or_directory) {
    LoadedRules loaded;
    loaded.rules = DefaultRules();
    return loaded;
  }
  if (error == std::errc::file_too_large) return Defaults({}, "规则文件太大（超过 1 MB）");
  return Defaults({}, "无法读取规则文件（" + error.message() + "）");
}

std::string FormatRulesText(const RuleList& rules) {
  std::string text(kHeader);
  for (const TextRule& rule : rules) {
    text += rule.enabled ? "是" : "否";
    text += '\t';
    text += rule.kind == RuleKind::kPattern ? "正则" : "文本";
    for (const std::string* field : {&rule.pattern, &rule.replacement, &rule.note}) {
      text += '\t';
      text += GbkToUtf8(*field);
    }
    text += '\n';
  }
  return text;
}

std::optional<std::string> SaveRules(const std::filesystem::path& file, const RuleList& rules) {
  if (auto problem = CheckRules(rules)) return problem;
  if (!WriteFileAtomically(file, FormatRulesText(rules)))
    return Gbk("无法保存规则文件：" + file.string());
  return std::nullopt;
}

}  // namespace lectoria
