// INI files with the behaviour of the Windows private-profile functions.
//
// config.ini and data/data.ini stay byte-compatible with the files the Windows program wrote:
// GBK text, CR LF line ends, `key=value` lines under `[section]` headers. Reads follow
// GetPrivateProfileStringA, writes follow WritePrivateProfileStringA; every save replaces the
// file atomically. All operations are safe to call from several threads at once.
#pragma once

#include <cstdint>
#include <filesystem>
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

  /// Writes `key=value` into `section` and saves the file. Returns false when saving failed.
  bool Write(std::string_view section, std::string_view key, std::string_view value);
  bool WriteBool(std::string_view section, std::string_view key, bool value);
  bool WriteInt(std::string_view section, std::string_view key, std::int64_t value);

  /// Many writes applied in order and saved once (e.g. one key per chapter on import).
  struct Entry {
    std::string section;
    std::string key;
    std::string value;
  };
  bool WriteMany(const std::vector<Entry>& entries);

 private:
  std::filesystem::path path_;
};

}  // namespace lectoria
