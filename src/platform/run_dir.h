// The run directory R and the fixed paths below it.
//
// R is the executable's directory when that is writable (a portable install, as on Windows),
// otherwise $XDG_DATA_HOME/lectoria (~/.local/share/lectoria). `--home DIR` and the
// environment variable LECTORIA_HOME override both, in that order.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace lectoria {

/// Decides R. `homeOption` is the value of --home when given. Creates R when missing.
std::filesystem::path ResolveRunDir(const std::optional<std::string>& homeOption = std::nullopt);

/// The directory holding the running executable.
std::filesystem::path ExecutableDir();

/// The fixed paths under R; numbers are decimal without leading zeros.
class RunPaths {
 public:
  explicit RunPaths(std::filesystem::path root) : root_(std::move(root)) {}

  const std::filesystem::path& Root() const { return root_; }
  std::filesystem::path ConfigIni() const { return root_ / "config.ini"; }
  std::filesystem::path DataDir() const { return root_ / "data"; }
  std::filesystem::path DataIni() const { return root_ / "data" / "data.ini"; }
  std::filesystem::path ChapterFile(int k) const {
    return root_ / "data" / (std::to_string(k) + ".txt");
  }
  std::filesystem::path TempDir() const { return root_ / "temp"; }
  std::filesystem::path TempText() const { return root_ / "temp" / "temp.txt"; }
  std::filesystem::path Clip(int n) const { return root_ / "temp" / (std::to_string(n) + ".mp3"); }
  /// The wake-up clip: R/1.mp3 when present, else 1.mp3 beside the executable (an installed
  /// program keeps its data directory apart from its binaries).
  std::filesystem::path WakeClip() const;

 private:
  std::filesystem::path root_;
};

}  // namespace lectoria
