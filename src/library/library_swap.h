// Replacing the library directory R/data as a whole.
//
// An import builds the new library in a staging directory beside R/data and swaps it in only
// once it is complete, so a crash, a full disk or an unreadable book during an import leaves the
// previous library intact and readable.
#pragma once

#include <filesystem>

#include "platform/run_dir.h"

namespace lectoria {

/// R/data.new: where an import builds the new library.
std::filesystem::path StagingDataDir(const RunPaths& paths);

/// R/data.old: where the previous library waits while the new one is moved in (only when the
/// file system cannot exchange two directories in one step).
std::filesystem::path RetiredDataDir(const RunPaths& paths);

/// Repairs what an interrupted import left behind: restores R/data from R/data.old when the
/// crash came between the two renames of a swap, then removes R/data.new and R/data.old.
/// Call at start-up before looking for R/data/data.ini; the import calls it itself.
void RecoverInterruptedImport(const RunPaths& paths);

/// Removes the staging directory (an abandoned import).
void DiscardStagingDir(const RunPaths& paths);

/// Makes the staging directory the library R/data and removes the previous library. False when
/// the swap could not be made; the previous library is then still in place.
bool SwapInStagedLibrary(const RunPaths& paths);

}  // namespace lectoria
