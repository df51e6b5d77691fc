#include "library/shelf_listing.h"

#include "library/bookshelf.h"
#include "platform/codepage.h"

namespace lectoria {

int ListBooks(const RunPaths& paths, std::FILE* out) {
  for (const ShelfBook& book : ListShelf(paths)) {
    std::fprintf(out, "%lld\t%s\t%d\t%d:%d%s\n", static_cast<long long>(book.id),
                 GbkToUtf8(book.title).c_str(), book.chapterCount, book.chapterRow + 1, book.line,
                 book.current ? "\t*" : "");
  }
  return std::fflush(out) == 0 && !std::ferror(out) ? 0 : 1;
}

}  // namespace lectoria
