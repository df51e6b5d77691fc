// `lectoria --list-books [--home DIR]`: needs no display and changes nothing on the shelf.
#include "list_books.h"

#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "library/shelf_listing.h"
#include "platform/run_dir.h"

namespace lectoria {

bool IsListBooksCommand(int argc, const char* const* argv) {
  return argc >= 2 && std::strcmp(argv[1], "--list-books") == 0;
}

int RunListBooks(int argc, const char* const* argv) {
  std::optional<std::string> home;
  if (argc == 4 && std::strcmp(argv[2], "--home") == 0 && argv[3][0] != '\0') {
    home = argv[3];
  } else if (argc == 3 && std::strncmp(argv[2], "--home=", 7) == 0 && argv[2][7] != '\0') {
    home = argv[2] + 7;
  } else if (argc != 2) {
    std::fputs("usage: lectoria --list-books [--home DIR]\n", stderr);
    return 2;
  }
  return ListBooks(RunPaths(ResolveRunDir(home)), stdout);
}

}  // namespace lectoria
