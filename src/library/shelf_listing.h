// `lectoria --list-books`: the shelf, printed.
#pragma once

#include <cstdio>

#include "platform/run_dir.h"

namespace lectoria {

/// Prints one line per book of the shelf under `paths` to `out`, the book being read first:
/// "ID<TAB>TITLE<TAB>CHAPTERS<TAB>CHAPTER:LINE", UTF-8, CHAPTER 1-based, and a fifth column
/// "*" for the book being read. Reads only; prints nothing for an empty shelf. Returns 0, or 1 when
/// `out` could not be written.
int ListBooks(const RunPaths& paths, std::FILE* out);

}  // namespace lectoria
