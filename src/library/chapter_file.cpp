#include "library/chapter_file.h"

#include <cstring>
#include <fstream>

namespace lectoria {

std::string ReadChapterText(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return {};
  std::string text;
  in.seekg(0, std::ios::end);
  const std::streamoff size = in.tellg();
  in.seekg(0, std::ios::beg);
  if (size > 0) {
    text.resize(static_cast<std::size_t>(size));
    in.read(text.data(), size);
    text.resize(static_cast<std::size_t>(in.gcount()));
  } else {
    // Not a regular file with a known size (a pipe, a special file): read what comes.
    text.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  // Text reading ends at NUL or at the old end-of-file byte 0x1A; neither can be the second
  // byte of a GBK character, so cutting bytewise never splits a character.
  if (const void* nul = std::memchr(text.data(), '\0', text.size()))
    text.resize(static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()));
  if (const void* eof = std::memchr(text.data(), 0x1A, text.size()))
    text.resize(static_cast<std::size_t>(static_cast<const char*>(eof) - text.data()));
  return text;
}

}  // namespace lectoria
