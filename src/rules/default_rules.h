// The rules a reader starts with: they remove the notices web sites put into the books they
// pass on. Each can be switched off like any other rule.
#pragma once

#include "rules/text_rule.h"

namespace lectoria {

/// Web addresses (www.… and http(s)://…), update-time lines ("更新时间：2012-01-01 12:00:00
/// 本章字数：3200"), word-count lines ("本章字数：3200") and "作品仅供读者预览…" notices. GBK.
RuleList DefaultRules();

}  // namespace lectoria
