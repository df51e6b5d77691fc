// INI files with the behaviour of the Windows private-profile functions.
//
// config.ini and data/data.ini stay byte-compatible with the files the Windows program wrote:
// GBK text, CR LF line ends, `key=value` lines under `[section]` headers. Reads follow
// GetPrivateProfileStringA, writes follow WritePrivateProfileStringA; every save replaces the
// file atomically. All operations are safe to call from several threads at once.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>
#include <vector>

namespace lectoria {

/// The stored forms of a logical value.
inline constexpr std::string_view kIniTrue = "\xD5\xE6";   // "真" in GBK
inline constexpr std::string_view kIniFalse = "\xBC\xD9";  // "假" in GBK

/// Values are read into a 10240-byte buffer, so at most this many bytes come back.
inline constexpr std::size_t kIniMaxValueBytes = 10239;

/// One INI file on disk. Cheap to construct; holds no open file handle.
///
/// Objects naming the same path share one lock and one parsed copy of the file, which is
/// reused while the file on disk is unchanged (its identity, size and change times match, and
/// the copy was read late enough that a later change could not share those times); a change
/// made by another process is therefore always seen. A save writes a temporary file beside the
/// target, flushes it to disk and renames it over the target, so readers and a crash only ever
/// see the old or the new file. Writes fail (return false) when the file exists but cannot be
/// read, rather than replacing it; the directory is not created.
class IniFile {
 public:
  explicit IniFile(std::filesystem::path path);

  const std::filesystem::path& path() const { return path_; }

  /// The value of `key` in `section`, or `defaultValue` (trailing spaces removed) when the
  /// file, section or key is missing. Section and key names match ignoring ASCII case.
  std::string Read(std::string_view section, std::string_view key,
                   std::string_view defaultValue = {}) const;

  /// Read() interpreted as a logical value: true exactly when the text is "真".
  bool ReadBool(std::string_view section, std::string_view key,
                std::string_view defaultValue = {}) const;

  /// Read() interpreted by the leading-number rule.
  std::int32_t ReadInt(std::string_view section, std::string_view key,
                       std::string_view defaultValue = {}) const;

  /// Writes `key=value` into `section` and saves the file (no save when the key already holds
  /// exactly this value). Returns false when the file could not be read or saved, or when the
  /// key cannot be stored (an empty name, or one that would read back as another line, such as
  /// ";x" or "a=b"). Names and the value are cut at a NUL, CR or LF.
  bool Write(std::string_view section, std::string_view key, std::string_view value);
  bool WriteBool(std::string_view section, std::string_view key, bool value);
  bool WriteInt(std::string_view section, std::string_view key, std::int64_t value);

  /// Many writes applied in order and saved once (e.g. one key per chapter on import). An entry
  /// that cannot be stored is skipped and makes the result false; the others are saved.
  struct Entry {
    std::string section;
    std::string key;
    std::string value;
  };
  bool WriteMany(const std::vector<Entry>& entries);

  /// Rewrites the values of `entries` (all in `section`) in place, without saving the whole
  /// file, when the file is laid out for it: `section` is its first line, and each key's first
  /// line in that section lies within the file's first kInPlaceBytes and holds a number padded
  /// with spaces to exactly the width of the new value. Only the bytes of those values change,
  /// in one write inside one disk sector (which a disk writes whole, so a crash leaves the old
  /// or the new values), flushed to disk before returning true. Otherwise nothing is written
  /// and the result is false.
  bool WriteInPlace(std::string_view section,
                    const std::vector<std::pair<std::string_view, std::string_view>>& entries);
  static constexpr std::size_t kInPlaceBytes = 512;

 private:
  struct State;
  static std::shared_ptr<State> StateFor(const std::filesystem::path& path);

  std::filesystem::path path_;
  std::shared_ptr<State> state_;
};

}  // namespace lectoria
