#include "export_command.h"

#include <unistd.h>

#include <atomic>
#include <csignal>
#include <cstdio>

#include "export/export_options.h"
#include "export/export_runner.h"
#include "wiring.h"

namespace lectoria {
namespace {

std::atomic<bool> g_stopExport{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

void OnStopSignal(int) {
  g_stopExport = true;
}

}  // namespace

int RunExportProgram(int argc, const char* const* argv) {
  const ExportOptions options = ParseExportOptions(argc, argv);
  if (!options.error.empty()) {
    std::fprintf(stderr, "lectoria: %s\nTry 'lectoria --help'.\n", options.error.c_str());
    return export_exit::kUsage;
  }
  if (options.help) {
    std::fputs(UsageText().c_str(), stdout);
    return 0;
  }
  // The first Ctrl+C stops cleanly; the handler then gives way, so a second one ends the
  // program at once (still leaving only complete chapter files).
  struct sigaction action = {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART | SA_RESETHAND;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  ExportConsole console;
  console.terminal = ::isatty(STDOUT_FILENO) == 1;
  return RunExportCommand(options, console, g_stopExport);
}

}  // namespace lectoria
