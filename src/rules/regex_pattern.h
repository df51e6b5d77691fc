// Regular expressions over UTF-8 text with PCRE2, and the replacement texts that name their
// groups.
//
// Patterns are compiled once, in UTF mode with Unicode properties (\d, \s and \w know
// full-width digits and the ideographic space), and JIT-compiled where the machine allows it.
// A search that would run away (catastrophic backtracking) stops at a match limit and counts as
// a failure, so no rule can hang the reader.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lectoria {

class RegexMatchData;

/// A compiled expression; immutable and safe to share between threads.
class RegexPattern {
 public:
  /// Where and why a pattern does not compile; the reason is PCRE2's (English) text.
  struct Error {
    std::size_t offset = 0;  // in bytes of the UTF-8 pattern
    std::string reason;
  };

  /// The compiled pattern, or nullptr with `error` filled in.
  static std::shared_ptr<const RegexPattern> Compile(std::string_view utf8, Error* error);

  ~RegexPattern();
  RegexPattern(const RegexPattern&) = delete;
  RegexPattern& operator=(const RegexPattern&) = delete;

  /// The number of capturing groups.
  std::uint32_t CaptureCount() const { return captureCount_; }
  /// PCRE2's lower bound for the length of a match in characters (0: may match nothing).
  std::uint32_t MinLength() const { return minLength_; }

  /// The next match at or after byte `start` of `subject` (valid UTF-8, `start` on a character
  /// boundary): 1 with the match in `data`, 0 for none, -1 when the search failed (limits).
  int Find(std::string_view subject, std::size_t start, RegexMatchData& data) const;

 private:
  struct Code;
  explicit RegexPattern(std::unique_ptr<Code> code);

  std::unique_ptr<Code> code_;
  std::uint32_t captureCount_ = 0;
  std::uint32_t minLength_ = 0;
};

/// Room for the groups of one match; one per thread and search, reused across patterns.
class RegexMatchData {
 public:
  /// Room for `captureCount` groups and the whole match.
  explicit RegexMatchData(std::uint32_t captureCount);
  ~RegexMatchData();
  RegexMatchData(const RegexMatchData&) = delete;
  RegexMatchData& operator=(const RegexMatchData&) = delete;

  /// Byte range of group `group` (0: the whole match); empty and npos-started when it did not
  /// take part in the match.
  std::size_t Start(std::uint32_t group) const;
  std::size_t End(std::uint32_t group) const;
  std::uint32_t Pairs() const;

 private:
  friend class RegexPattern;
  void* data_ = nullptr;  // pcre2_match_data_8
};

/// A replacement text split into literal pieces and group references.
class Replacement {
 public:
  /// A text taken as it is (a text rule's replacement).
  static Replacement Literal(std::string text);

  /// Reads $n, ${n} and $$ in `utf8` for a pattern of `captureCount` groups. A "$" followed by
  /// anything else stands for itself. $ followed by digits takes the longest number (at most
  /// two digits) that names a group. nullopt when a reference names no group, with the
  /// reference's text in `badReference`.
  static std::optional<Replacement> Parse(std::string_view utf8, std::uint32_t captureCount,
                                          std::string* badReference);

  /// Appends the replacement for the match in `data` over `subject`.
  void AppendTo(std::string& out, std::string_view subject, const RegexMatchData& data) const;

 private:
  struct Piece {
    std::string text;
    int group = -1;  // >= 0: a group reference instead of text
  };
  std::vector<Piece> pieces_;
};

/// What ReplaceAll did.
enum class ReplaceOutcome { kUnchanged, kChanged, kFailed };

/// Replaces every match of `pattern` in `text` (valid UTF-8) by `replacement`, left to right
/// without overlap. A match of nothing replaces nothing: the search steps one character on.
/// kFailed (with `text` unchanged) when a search failed.
ReplaceOutcome ReplaceAll(const RegexPattern& pattern, const Replacement& replacement,
                          std::string& text, RegexMatchData& data);

}  // namespace lectoria
