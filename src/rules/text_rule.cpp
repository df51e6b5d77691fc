#include "rules/text_rule.h"

#include "platform/codepage.h"
#include "platform/gbk_text.h"

namespace lectoria {
namespace {

constexpr std::size_t kLabelBytes = 24;

// The first characters of `text`, at most kLabelBytes bytes, with "…" when cut.
std::string Shortened(std::string_view text) {
  if (text.size() <= kLabelBytes) return std::string(text);
  std::size_t end = 0;
  while (end < text.size()) {
    const std::size_t next = end + GbkCharLength(text, end);
    if (next > kLabelBytes) break;
    end = next;
  }
  return std::string(text.substr(0, end)) + Utf8ToGbk("…");
}

}  // namespace

std::string RuleLabel(const TextRule& rule, std::size_t position) {
  const std::string_view name = rule.note.empty() ? rule.pattern : rule.note;
  return Utf8ToGbk("第 " + std::to_string(position) + " 条规则（") + Shortened(name) +
         Utf8ToGbk("）");
}

}  // namespace lectoria
