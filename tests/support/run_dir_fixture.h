// A fresh run directory R under the system's temporary directory, removed afterwards, with
// helpers to write the files a test starts from.
#pragma once

#include <gtest/gtest.h>

#include <unistd.h>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include "platform/codepage.h"
#include "platform/run_dir.h"

namespace lectoria::testing {

class TempRunDir {
 public:
  TempRunDir() {
    static std::atomic<int> counter{0};
    root_ = std::filesystem::temp_directory_path() /
            ("lectoria-test-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
  }
  ~TempRunDir() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  TempRunDir(const TempRunDir&) = delete;
  TempRunDir& operator=(const TempRunDir&) = delete;

  const std::filesystem::path& root() const { return root_; }
  RunPaths paths() const { return RunPaths(root_); }

  /// Writes `bytes` to root/relative, creating directories on the way.
  void WriteFile(const std::filesystem::path& relative, std::string_view bytes) const {
    const std::filesystem::path path = root_ / relative;
    std::filesystem::create_directories(path.parent_path());
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }

  std::string ReadFile(const std::filesystem::path& relative) const {
    std::ifstream in(root_ / relative, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

 private:
  std::filesystem::path root_;
};

/// UTF-8 test text as the program's GBK.
inline std::string G(std::string_view utf8) {
  return Utf8ToGbk(utf8);
}

/// Joins lines with CR LF, as chapter files are written.
inline std::string CrLf(std::initializer_list<std::string_view> lines) {
  std::string text;
  bool first = true;
  for (std::string_view line : lines) {
    if (!first) text += "\r\n";
    text += line;
    first = false;
  }
  return text;
}

}  // namespace lectoria::testing
