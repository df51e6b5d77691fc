// The in-memory form of an INI file, with the lookup and edit rules of the Windows
// private-profile functions (GetPrivateProfileStringA / WritePrivateProfileStringA).
//
// Every line keeps its exact bytes, line end included, so a file is written back byte for byte
// except for the lines an edit touches. IniFile (ini_file.h) adds the disk, the cache and the
// locking; this class does no I/O and is not thread-safe by itself.
//
// Reading rules: a line is split at CR LF, LF or a lone CR. Spaces and tabs around a line, a
// key and a value are ignored. `[name]` starts a section (the name runs to the last `]` of the
// line); a line whose first visible character is `;` is a comment; `key=value` splits at the
// first `=`. Names match ignoring ASCII case; the first of duplicate keys wins and only the
// first of duplicate sections is searched. Lines before the first section belong to none.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lectoria {

/// What IniDocument::Set did.
enum class IniSetResult {
  kChanged,    // the document's bytes changed
  kUnchanged,  // the key already held exactly this value
  kRejected,   // the key name is empty after cleaning; nothing was written
};

class IniDocument {
 public:
  /// An empty document (a missing file).
  IniDocument();

  /// Parses any bytes; never fails (lines that are neither sections nor keys are kept as they
  /// are and ignored by lookups).
  static IniDocument Parse(std::string_view bytes);

  /// The value as GetPrivateProfileStringA returns it: the stored value with one pair of
  /// enclosing quotes removed, cut at a NUL byte and at most kIniMaxValueBytes long (never
  /// ending in half a double-byte character); `defaultValue` with trailing spaces removed when
  /// the section or key is missing.
  std::string Get(std::string_view section, std::string_view key,
                  std::string_view defaultValue = {}) const;

  /// The stored value (trimmed, quotes kept), or nothing when the section or key is missing.
  std::optional<std::string_view> FindRaw(std::string_view section, std::string_view key) const;

  /// Writes `key=value` into `section` the way WritePrivateProfileStringA does: an existing key
  /// keeps its line and its spelling; a new key goes after the last key of its section; a new
  /// section is appended at the end of the file. Written lines end in CR LF. Names and the value
  /// are cut at their first NUL, CR or LF (a line break would otherwise split the line and
  /// plant the rest as a line of its own); names are trimmed of spaces and tabs.
  IniSetResult Set(std::string_view section, std::string_view key, std::string_view value);

  /// The file's bytes.
  std::string Serialize() const;

  /// The default as returned for a missing key (used also when the file cannot be read).
  static std::string DefaultValue(std::string_view defaultValue);

  /// A section or key name as the functions use it: cut at NUL, CR or LF, spaces and tabs
  /// trimmed.
  static std::string_view CleanName(std::string_view name);

 private:
  struct Line {
    std::string raw;  // the line's bytes including its line end
    std::size_t nameBegin = 0;
    std::size_t nameLength = 0;
    std::size_t valueBegin = 0;
    std::size_t valueLength = 0;

    bool HasLineEnd() const;
    std::string_view Name() const { return std::string_view(raw).substr(nameBegin, nameLength); }
    std::string_view Value() const { return std::string_view(raw).substr(valueBegin, valueLength); }
  };

  struct Section {
    bool hasHeader = false;  // false only for the lines before the first section
    Line header;
    std::vector<Line> lines;
    // Lower-cased key name -> index in `lines` of its first occurrence.
    std::unordered_map<std::string, std::size_t> keys;
    // Index of the last key line; new keys are inserted after it. No key lines follow it, so
    // inserting there never moves a line that `keys` points to.
    std::optional<std::size_t> lastKey;
  };

  void AddLine(std::string_view raw, std::size_t contentOffset);
  const Section* FindSection(std::string_view cleanName) const;
  Line* LastLine();

  std::vector<Section> sections_;
  // Lower-cased section name -> index in `sections_` of its first occurrence.
  std::unordered_map<std::string, std::size_t> sectionIndex_;
  std::size_t byteCount_ = 0;
};

}  // namespace lectoria
