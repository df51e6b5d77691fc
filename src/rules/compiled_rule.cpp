#include "rules/compiled_rule.h"

#include "platform/codepage.h"
#include "rules/line_codec.h"
#include "rules/pattern_literals.h"

namespace lectoria {
namespace {

bool HasLineBreakOrTab(std::string_view text) {
  return text.find_first_of("\t\r\n") != std::string_view::npos;
}

std::size_t CharactersBefore(std::string_view utf8, std::size_t offset) {
  std::size_t count = 0;
  for (std::size_t i = 0; i < offset && i < utf8.size(); ++i)
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80) ++count;
  return count;
}

std::string Message(std::string_view utf8) {
  return Utf8ToGbk(utf8);
}

// Every literal must survive the trip to GBK, or the prefilter would look for the wrong bytes.
void TakeLiterals(CompiledRule& compiled, std::vector<std::string> utf8Texts) {
  std::vector<std::string> gbk;
  for (const std::string& text : utf8Texts) {
    std::string converted = LineToGbk(text);
    if (converted.empty() || LineToUtf8(converted) != text) return;
    gbk.push_back(std::move(converted));
  }
  compiled.literalsUtf8 = std::move(utf8Texts);
  compiled.literalsGbk = std::move(gbk);
}

}  // namespace

std::optional<CompiledRule> CompileRule(const TextRule& rule, std::string* problem) {
  const auto fail = [problem](std::string_view utf8) -> std::optional<CompiledRule> {
    if (problem != nullptr) *problem = Message(utf8);
    return std::nullopt;
  };
  if (rule.pattern.empty()) return fail("查找内容为空");
  if (HasLineBreakOrTab(rule.pattern) || HasLineBreakOrTab(rule.replacement) ||
      HasLineBreakOrTab(rule.note))
    return fail("规则里不能有制表符或换行");

  CompiledRule compiled;
  compiled.kind = rule.kind;
  const std::string pattern = LineToUtf8(rule.pattern);
  const std::string replacement = LineToUtf8(rule.replacement);
  // Bytes that are no GBK character would come through the conversion as "?".
  if (LineToGbk(pattern) != rule.pattern || LineToGbk(replacement) != rule.replacement)
    return fail("规则里有不是 GBK 字符的字节");
  if (rule.kind == RuleKind::kText) {
    compiled.findUtf8 = pattern;
    compiled.replacement = Replacement::Literal(replacement);
    TakeLiterals(compiled, {pattern});
    return compiled;
  }

  RegexPattern::Error error;
  compiled.regex = RegexPattern::Compile(pattern, &error);
  if (!compiled.regex) {
    if (problem != nullptr) {
      *problem =
          Message("正则表达式有误（第 " +
                  std::to_string(CharactersBefore(pattern, error.offset) + 1) + " 个字符处）：") +
          error.reason;
    }
    return std::nullopt;
  }
  if (compiled.regex->MinLength() == 0) return fail("正则表达式可以匹配空文本");
  std::string badReference;
  std::optional<Replacement> parsed =
      Replacement::Parse(replacement, compiled.regex->CaptureCount(), &badReference);
  if (!parsed) {
    if (problem != nullptr)
      *problem = Message("替换内容引用了不存在的分组 ") + Utf8ToGbk(badReference);
    return std::nullopt;
  }
  compiled.replacement = std::move(*parsed);
  RequiredLiterals literals = FindRequiredLiterals(pattern);
  compiled.ignoreCase = literals.ignoreCase;
  if (!literals.texts.empty()) TakeLiterals(compiled, std::move(literals.texts));
  return compiled;
}

ReplaceOutcome ApplyRule(const CompiledRule& rule, std::string& utf8, RegexMatchData& data) {
  if (rule.kind == RuleKind::kPattern) return ReplaceAll(*rule.regex, rule.replacement, utf8, data);
  // UTF-8 synchronises itself: a whole-character text is only ever found at a character start.
  std::size_t at = utf8.find(rule.findUtf8);
  if (at == std::string::npos) return ReplaceOutcome::kUnchanged;
  std::string out;
  out.reserve(utf8.size());
  std::size_t copied = 0;
  for (; at != std::string::npos; at = utf8.find(rule.findUtf8, copied)) {
    out.append(utf8, copied, at - copied);
    rule.replacement.AppendTo(out, utf8, data);
    copied = at + rule.findUtf8.size();
  }
  out.append(utf8, copied, std::string::npos);
  utf8 = std::move(out);
  return ReplaceOutcome::kChanged;
}

}  // namespace lectoria
