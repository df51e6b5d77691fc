// The --list-chapters command of the lectoria program.
#pragma once

namespace lectoria {

/// True when the command line asks for --list-chapters (as its first argument).
bool IsListChaptersCommand(int argc, const char* const* argv);

/// Prints the chapters of the book named on the command line; the exit status.
int RunListChapters(int argc, const char* const* argv);

}  // namespace lectoria
