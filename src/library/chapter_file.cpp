#include "library/chapter_file.h"

#include <cstring>

#include "platform/file_util.h"

namespace lectoria {

std::string ReadChapterText(const std::filesystem::path& path) {
  // Only a regular file is read (a pipe or device named like a chapter never blocks).
  std::string text;
  if (!ReadFileBytes(path, text)) return {};
  // Text reading ends at NUL or at the old end-of-file byte 0x1A; neither can be the second
  // byte of a GBK character, so cutting bytewise never splits a character.
  if (const void* nul = std::memchr(text.data(), '\0', text.size()))
    text.resize(static_cast<std::size_t>(static_cast<const char*>(nul) - text.data()));
  if (const void* eof = std::memchr(text.data(), 0x1A, text.size()))
    text.resize(static_cast<std::size_t>(static_cast<const char*>(eof) - text.data()));
  return text;
}

}  // namespace lectoria
