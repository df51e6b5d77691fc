// Reads the SSML documents the client sends: checks that they are well-formed XML with the
// expected namespaces and collects what is to be spoken, stretch by stretch.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace lectoria::speechd {

inline constexpr std::string_view kSsmlNamespace = "http://www.w3.org/2001/10/synthesis";

/// A stretch of speech with one voice and one style, or a pause.
struct SsmlSegment {
  std::string voiceName;     // `name` of the enclosing voice element; empty outside any
  std::string style;         // `style` of the enclosing express-as element; empty outside any
  double styleDegree = 1.0;  // its `styledegree`, 1 when absent
  std::string text;          // UTF-8 text to speak; empty for a pause
  int pauseMs = 0;           // > 0: a pause from a break element
};

/// What a document holds.
struct SsmlContent {
  std::string language;               // xml:lang of the speak element
  std::vector<SsmlSegment> segments;  // in document order
  std::string plainText;              // every spoken text, joined
  std::size_t plainTextLength = 0;    // length of plainText in UTF-16 code units
  std::size_t plainTextChars = 0;     // length of plainText in characters
};

/// Bounds on a document; beyond them it is refused.
/// The text bounds admit any paragraph of 64 KiB as the reader holds it (GBK, so at most
/// 65536 characters), with room for markup escapes.
struct SsmlLimits {
  std::size_t maxBytes = 512 * 1024;
  std::size_t maxElements = 1000;
  std::size_t maxTextChars = 64 * 1024;
  int maxPauseMs = 5000;       // one break element; longer ones are shortened
  int maxTotalPauseMs = 5000;  // all break elements of a document; beyond it they are shortened
};

/// Parses `ssml`. On success fills `content` and returns true; otherwise returns false and
/// sets `error` to a short English reason. Never throws.
bool ReadSsml(std::string_view ssml, const SsmlLimits& limits, SsmlContent& content,
              std::string& error);

/// The number of UTF-16 code units and of characters in UTF-8 `text` (which must be valid).
std::size_t Utf16Length(std::string_view text);
std::size_t Utf8CharCount(std::string_view text);

}  // namespace lectoria::speechd
