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

/// What the choice of R depends on; ResolveRunDir gathers it from the process.
struct RunDirSources {
  std::optional<std::string> homeOption;  // --home DIR
  std::string lectoriaHome;               // $LECTORIA_HOME
  std::filesystem::path executableDir;    // empty when unknown
  bool executableDirWritable = false;
  std::string xdgDataHome;  // $XDG_DATA_HOME
  std::string home;         // $HOME, or the user's home from the password database
};

/// The choice of R: --home, else LECTORIA_HOME, else the executable's directory when writable,
/// else $XDG_DATA_HOME/lectoria (used only when absolute, as the XDG rules say), else
/// ~/.local/share/lectoria (the current directory when no home is known). Empty values count
/// as not given. A relative directory is taken
/// from the current directory. The result is absolute, normalised, without a trailing slash.
std::filesystem::path ChooseRunDir(const RunDirSources& sources);

/// Decides R. `homeOption` is the value of --home when given. Creates R when missing.
std::filesystem::path ResolveRunDir(const std::optional<std::string>& homeOption = std::nullopt);

/// The directory holding the running executable (from /proc/self/exe); empty when unknown.
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
