// `lectoria --list-chapters FILE`: the import's chapter detection, printed instead of stored.
#pragma once

#include <cstdio>
#include <filesystem>

namespace lectoria {

/// Runs exactly the import's analysis on `file` (nothing is written anywhere) and prints one
/// line per chapter to `out`, "NUMBER<TAB>TITLE<TAB>CHARACTERS" in UTF-8, and one summary line
/// to `err` naming the character set and the title rule. Returns 0, or 1 after printing to
/// `err` the message the window shows for a refused or unreadable file.
int ListChapters(const std::filesystem::path& file, std::FILE* out, std::FILE* err);

}  // namespace lectoria
