// `lectoria --export ...`: the export as a command of the program, with no window.
#pragma once

namespace lectoria {

/// Runs the export command line (IsExportCommand holds for it) and returns the exit status:
/// --help, Ctrl+C stopping cleanly, progress as a bar when standard output is a terminal.
int RunExportProgram(int argc, const char* const* argv);

}  // namespace lectoria
