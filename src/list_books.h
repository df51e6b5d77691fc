// The --list-books command of the lectoria program.
#pragma once

namespace lectoria {

/// True when the command line asks for --list-books (as its first argument).
bool IsListBooksCommand(int argc, const char* const* argv);

/// Prints the bookshelf of the run directory (see library/shelf_listing.h); the exit status.
int RunListBooks(int argc, const char* const* argv);

}  // namespace lectoria
