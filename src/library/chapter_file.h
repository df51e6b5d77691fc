// Reading the chapter files data/<k>.txt written by the import.
#pragma once

#include <filesystem>
#include <string>

namespace lectoria {

/// The whole content of a text file as the program reads chapter files: GBK bytes up to (not
/// including) the first NUL or 0x1A byte. A file that does not exist or cannot be read gives
/// the empty text.
std::string ReadChapterText(const std::filesystem::path& path);

}  // namespace lectoria
