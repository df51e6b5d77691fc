// Fuzzes the book import with arbitrary bytes: it must not crash or hang, must either import
// the book or refuse it for what it is (empty, binary, no readable line), and must write nothing
// but the library.
#include <stdlib.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>

#include "library/book_import.h"
#include "library/chapter_title.h"
#include "platform/codepage.h"
#include "platform/run_dir.h"

namespace {

namespace fs = std::filesystem;

void Check(bool condition) {
  if (!condition) __builtin_trap();
}

// One run directory per fuzzing process, removed at exit (kept on the heap so that it outlives
// the static destructors that run before the exit handler).
const fs::path& Base() {
  static const fs::path* const base = [] {
    std::string pattern = (fs::temp_directory_path() / "lectoria-import-fuzz-XXXXXX").string();
    Check(::mkdtemp(pattern.data()) != nullptr);
    auto* path = new fs::path(pattern);
    fs::create_directories(*path / "run");
    fs::create_directories(*path / "books");
    std::atexit([] {
      std::error_code ec;
      fs::remove_all(Base(), ec);
    });
    return path;
  }();
  return *base;
}

std::set<std::string> Listing(const fs::path& dir) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(dir)) names.insert(entry.path().filename());
  return names;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace lectoria;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  lectoria::IsChapterTitle(bytes);

  // An odd first byte takes the rest as a GBK book and converts it to UTF-8, so that the
  // UTF-8 path sees realistic books as well as raw bytes.
  if (!bytes.empty() && (bytes[0] & 1)) bytes = GbkToUtf8(bytes.substr(1));

  const RunPaths paths(Base() / "run");
  const fs::path source = Base() / "books" / "book.txt";
  {
    std::ofstream out(source, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
  const BookImportResult result = ImportBookFile(paths, source);
  if (!result.ok) {
    Check(result.error == ImportError::kEmpty || result.error == ImportError::kBinary ||
          result.error == ImportError::kNoText);
    Check(!result.message.empty());
    return 0;
  }
  Check(result.chapterCount >= 1);

  // Only the library.
  for (const std::string& name : Listing(paths.Root())) Check(name == "data");
  std::set<std::string> expected{"data.ini"};
  for (std::int64_t k = 1; k <= result.chapterCount; ++k) {
    expected.insert(std::to_string(k) + ".txt");
  }
  Check(Listing(paths.DataDir()) == expected);
  Check(Listing(Base() / "books") == std::set<std::string>{"book.txt"});
  return 0;
}
