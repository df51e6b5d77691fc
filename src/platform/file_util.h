// Small file helpers over std::filesystem and POSIX calls. None of them throws; each reports
// failure through its result.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <system_error>

namespace lectoria {

/// Default cap for ReadFileBytes.
inline constexpr std::size_t kDefaultMaxFileBytes = std::size_t{256} << 20;

/// Reads the whole regular file at `path` into `out`. Fails (with `out` empty) when the file is
/// missing, is not a regular file (a directory or a pipe is never read, so nothing blocks),
/// cannot be read, or holds more than `maxBytes` bytes. `error`, when given, receives the
/// reason (std::errc::no_such_file_or_directory for a missing file, file_too_large over the
/// cap).
bool ReadFileBytes(const std::filesystem::path& path, std::string& out,
                   std::size_t maxBytes = kDefaultMaxFileBytes, std::error_code* error = nullptr);

/// Replaces the file at `path` with `bytes` atomically: the bytes go to a temporary file in the
/// same directory, which is renamed over the target, so readers and a crash see the old or the
/// new contents and never a part. With `syncToDisk` the temporary file is flushed to disk before
/// the rename and the directory after it. An existing file keeps its permission bits; a symbolic
/// link is followed (its target is replaced). The directory must exist.
bool WriteFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                         bool syncToDisk = true);

/// True when something other than a directory exists at `path` (links followed).
bool FileExists(const std::filesystem::path& path);

/// True when a directory exists at `path` (links followed).
bool DirectoryExists(const std::filesystem::path& path);

/// Creates `path` and its missing parents. True when the directory exists afterwards.
bool MakeDirectories(const std::filesystem::path& path);

/// Deletes `path` with everything below it. A missing path is no error. True when nothing is
/// left at `path`.
bool RemoveTree(const std::filesystem::path& path);

/// Deletes the file (not a directory) at `path`. A missing file is no error. True when no file
/// is left at `path`.
bool RemoveFile(const std::filesystem::path& path);

}  // namespace lectoria
