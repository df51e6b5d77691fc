// The lectoria program: its command line and the one place that creates the core, the
// platform adapters and the view and connects them.
#pragma once

#include <optional>
#include <string>

namespace lectoria {

struct ProgramOptions {
  std::optional<std::string> home;  // --home DIR: the run directory
  std::string screenshot;           // --screenshot FILE: save the window as PNG, then quit
  std::string speechService;  // --speech-service URL: use that service, not the built-in one
  bool help = false;
  bool version = false;
  std::string error;  // why the command line was refused; empty when accepted
};

/// Reads the command line (argv[0] is the program). Options: --home DIR (or --home=DIR),
/// --screenshot FILE (or =FILE), --help/-h, --version/-v.
ProgramOptions ParseProgramOptions(int argc, const char* const* argv);

/// The text --help prints.
std::string UsageText();

/// Empty when a window system is there to show the window; otherwise a message naming what
/// is missing. A platform chosen with QT_QPA_PLATFORM (other than xcb) is taken as given.
std::string MissingDisplayMessage();

/// Claims the run directory (refused with a message and status 1 when another lectoria holds
/// it or it cannot be written), creates everything, runs the event loop until the window is
/// closed (or SIGINT/SIGTERM), shuts down cleanly and returns the exit status. Once the end
/// is asked for, the process ends within about two seconds even if the clean-up hangs.
/// Needs a QApplication.
int RunProgram(const ProgramOptions& options);

}  // namespace lectoria
