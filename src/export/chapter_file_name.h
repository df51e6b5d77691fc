// File names of exported chapters: "NNN 标题.mp3".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lectoria {

/// Longest title part of a file name, in bytes of UTF-8: with the number, the extension and
/// the temporary name's additions the name stays well below the usual limit of 255 bytes.
inline constexpr std::size_t kMaxTitleNameBytes = 180;

/// A chapter title (UTF-8) made safe as part of a file name on Linux, Windows and macOS: the
/// characters / \ : * ? " < > | become their full-width forms (／ ＼ ： ＊ ？ ＂ ＜ ＞ ｜), other
/// control characters become spaces, runs of blanks become one space, and leading and trailing
/// blanks (ASCII and full-width) and dots are removed. Invalid UTF-8 bytes become "？". Cut to
/// kMaxTitleNameBytes on a character boundary.
std::string SafeFileTitle(std::string_view utf8Title);

/// "NNN 标题.mp3" for chapter `number` of `chapterCount`: the number padded with zeros to at
/// least three digits (more when the book has more chapters), then a space and the safe title
/// (both left out when the title is empty).
std::string ChapterFileName(int number, int chapterCount, std::string_view utf8Title);

}  // namespace lectoria
