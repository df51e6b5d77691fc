// The title rules tried after the original one, for books it does not divide plausibly.
//
// Each rule looks at one GBK line without its line end. A title is short (at most
// kMaxTitleChars characters once blanks around it are removed) and stands on its own line.
// Blanks are ASCII spaces, tabs and the full-width space.
#pragma once

#include <cstddef>
#include <string_view>

namespace lectoria {

/// Longest title the further rules accept, in characters (a double-byte character counts 1).
inline constexpr std::size_t kMaxTitleChars = 40;

/// "第" + a number + one of 章回节卷集部篇, with an optional short prefix before it ("正文",
/// "卷三", "《书名》", at most 12 characters) and an optional title after it. Numbers are Chinese
/// numerals (零〇一…十百千万两, also the financial forms 壹贰…拾佰仟), ASCII or full-width
/// digits, leading zeros allowed. A line holding "。" is a sentence, not a title.
bool IsNumberedTitle(std::string_view line);

/// A part named without a number: 序章 序言 楔子 引子 前言 尾声 后记 终章 番外, alone or followed
/// by a separator (blank or punctuation) and a title; 番外 may also be followed by a number or 篇.
bool IsNamedPartTitle(std::string_view line);

/// An English heading: "Chapter 12", "CHAPTER XII", "Part 3" (any case, Arabic or Roman
/// numbers), optionally followed by a separator and a title; "Prologue" and "Epilogue" alike.
bool IsEnglishTitle(std::string_view line);

/// The line without blanks (ASCII space, tab, full-width space) at either end.
std::string_view TrimTitleBlanks(std::string_view line);

/// Characters of a GBK text (a double-byte character counts 1).
std::size_t GbkCharCount(std::string_view text);

}  // namespace lectoria
