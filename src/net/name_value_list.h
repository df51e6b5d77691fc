// An ordered list of (name, value) text pairs, rendered as HTTP header lines, a URL query or
// form string, or a flat JSON object. The speech client builds each request's headers in one.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lectoria {

/// Ordered (name, value) pairs. Names are not unique: adding an existing name adds a second
/// pair, and lookups find the first. Texts are GBK, or UTF-8 when added with conversion; they
/// are compared and rendered byte for byte. Copies are deep. No operation fails; a list belongs
/// to one thread (no lock).
class NameValueList {
 public:
  NameValueList() = default;

  /// A new list with copies of every pair.
  NameValueList Copy() const { return *this; }

  /// Appends the pair; with `convert`, name and value are converted from GBK to UTF-8 first.
  void Add(std::string_view name, std::string_view value, bool convert = false);

  /// Splits `text` at every "&" (empty middle parts kept, an empty last part dropped) and adds,
  /// for each part, the text before its first "=" as the name and the text after its last "="
  /// as the value; a part without "=" adds an empty name and value. No URL decoding is done.
  void AddFromQuery(std::string_view text, bool convert = false);

  /// The value of the first pair named `name` (byte for byte); empty text when there is none.
  std::string Get(std::string_view name) const;

  /// Replaces the value of the first pair named `name`, or adds the pair (unconverted).
  void Set(std::string_view name, std::string_view value);

  /// "name=value" for each pair joined by "&", names and values URL-encoded when `encode` is
  /// set; "=" and "&" inside them are not treated specially. An empty list gives empty text.
  std::string ToQueryString(bool encode = false) const;

  /// "name: value" for each pair joined by CR LF, no line end after the last; the value (never
  /// the name) URL-encoded when `encode` is set. An empty list gives empty text.
  std::string ToHeaderText(bool encode = false) const;

  /// Replaces `names` with a copy of the names, in order.
  void GetNames(std::vector<std::string>& names) const { names = names_; }

  /// Replaces `values` with a copy of the values, in order.
  void GetValues(std::vector<std::string>& values) const { values = values_; }

  /// Removes every pair.
  void Clear();

  /// Removes the first pair named `name`; nothing happens when none matches.
  void Remove(std::string_view name);

  /// A flat JSON object {"name":"value",...} in list order with no spaces; "{}" when empty.
  /// Double quotes in values are escaped with EscapeQuotes; names, backslashes and control
  /// characters are written as they are (the texts may be GBK, where 0x5C is also the second
  /// byte of some characters, or UTF-8, so a byte-wise escape could not be right for both).
  std::string ToJson() const;

  /// Number of pairs.
  std::size_t Size() const { return names_.size(); }

  /// `text` with a backslash before every double quote; nothing else changes.
  static std::string EscapeQuotes(std::string_view text);

  /// Cuts one `affix` off the end of `text` if it ends with it, then one off the start if it
  /// (still) starts with it. An empty affix changes nothing.
  static std::string StripAffix(std::string_view text, std::string_view affix);

  /// URL encoding of the bytes of `text` (no charset conversion): NUL bytes are dropped,
  /// A-Z a-z 0-9 - . _ ' ( ) * stay, a space becomes "+", every other byte "%XX" (upper-case
  /// hexadecimal).
  static std::string UrlEncode(std::string_view text);

 private:
  // Parallel arrays: entry i of both forms pair i, so both always have the same length.
  std::vector<std::string> names_;
  std::vector<std::string> values_;
};

}  // namespace lectoria
