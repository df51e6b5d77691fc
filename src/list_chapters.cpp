// `lectoria --list-chapters FILE`: needs no display and touches no library.
#include "list_chapters.h"

#include <cstdio>
#include <cstring>

#include "library/chapter_listing.h"

namespace lectoria {

bool IsListChaptersCommand(int argc, const char* const* argv) {
  return argc >= 2 && std::strcmp(argv[1], "--list-chapters") == 0;
}

int RunListChapters(int argc, const char* const* argv) {
  if (argc != 3) {
    std::fputs("usage: lectoria --list-chapters FILE\n", stderr);
    return 2;
  }
  return ListChapters(argv[2], stdout, stderr);
}

}  // namespace lectoria
