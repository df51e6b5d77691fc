#include "platform/run_dir.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

#include "platform/file_util.h"

namespace lectoria {
namespace fs = std::filesystem;

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string() : std::string(value);
}

std::string UserHome() {
  std::string home = Environment("HOME");
  if (!home.empty()) return home;
  const passwd* entry = ::getpwuid(::getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? std::string(entry->pw_dir) : std::string();
}

fs::path Normalised(const fs::path& directory) {
  std::error_code ec;
  fs::path result = fs::absolute(directory, ec);
  if (ec) result = directory;
  result = result.lexically_normal();
  // "/a/b/" names the same directory as "/a/b"; paths are built by appending tails to R.
  if (!result.has_filename() && result != result.root_path()) result = result.parent_path();
  return result;
}

}  // namespace

fs::path ChooseRunDir(const RunDirSources& sources) {
  if (sources.homeOption && !sources.homeOption->empty()) return Normalised(*sources.homeOption);
  if (!sources.lectoriaHome.empty()) return Normalised(sources.lectoriaHome);
  if (!sources.executableDir.empty() && sources.executableDirWritable)
    return Normalised(sources.executableDir);
  const fs::path xdg(sources.xdgDataHome);
  if (xdg.is_absolute()) return Normalised(xdg / "lectoria");
  if (!sources.home.empty()) return Normalised(fs::path(sources.home) / ".local/share/lectoria");
  return Normalised(".");
}

fs::path ExecutableDir() {
  std::error_code ec;
  const fs::path executable = fs::read_symlink("/proc/self/exe", ec);
  if (ec || !executable.is_absolute()) return {};
  return executable.parent_path();
}

fs::path ResolveRunDir(const std::optional<std::string>& homeOption) {
  RunDirSources sources;
  sources.homeOption = homeOption;
  sources.lectoriaHome = Environment("LECTORIA_HOME");
  sources.executableDir = ExecutableDir();
  sources.executableDirWritable =
      !sources.executableDir.empty() && ::access(sources.executableDir.c_str(), W_OK | X_OK) == 0;
  sources.xdgDataHome = Environment("XDG_DATA_HOME");
  sources.home = UserHome();
  const fs::path root = ChooseRunDir(sources);
  MakeDirectories(root);
  return root;
}

fs::path RunPaths::WakeClip() const {
  const fs::path beside = root_ / "1.mp3";
  if (FileExists(beside)) return beside;
  const fs::path executableDir = ExecutableDir();
  return executableDir.empty() ? beside : executableDir / "1.mp3";
}

}  // namespace lectoria
