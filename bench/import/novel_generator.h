// A synthetic Chinese novel for the import benchmark.
#pragma once

#include <cstdint>
#include <filesystem>

namespace lectoria::bench {

struct NovelFiles {
  std::uintmax_t gbkBytes = 0;
  std::uintmax_t utf8Bytes = 0;
  int chapters = 0;
};

/// Writes the same novel as GBK to `gbkPath` and as UTF-8 (no byte-order mark) to `utf8Path`:
/// a short preface, then `chapters` chapters titled "第…<unit> name" (unit "章" by default) of
/// about `chapterBytes` GBK bytes each, in paragraphs starting with two full-width spaces, CR LF
/// line ends. Chapter by chapter, so the generator itself stays small in memory. Deterministic.
NovelFiles WriteNovel(const std::filesystem::path& gbkPath, const std::filesystem::path& utf8Path,
                      int chapters, std::size_t chapterBytes, const char* unit = "章");

}  // namespace lectoria::bench
