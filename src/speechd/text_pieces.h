// Cutting long texts into the pieces a speech engine is asked to speak one at a time.
//
// Every engine gets the same pieces, so a long paragraph sounds alike whichever engine speaks
// it, and work can stop between pieces when the client has gone.
#pragma once

#include <cstddef>
#include <string_view>
#include <vector>

namespace lectoria::speechd {

/// The longest piece handed to an engine, in characters.
inline constexpr std::size_t kMaxPieceChars = 200;

/// Cuts UTF-8 `text` into pieces of at most `maxChars` characters that, joined, give `text`
/// back. Whole sentences (ending in 。！？；… or in . ! ? ; before a space or the end) are kept
/// together and packed into one piece while they fit; a longer sentence is cut after its last
/// comma that fits, else before a blank, else between any two characters.
std::vector<std::string_view> SplitIntoPieces(std::string_view text,
                                              std::size_t maxChars = kMaxPieceChars);

/// False when UTF-8 `text` holds nothing to pronounce: only blanks and punctuation that
/// engines read as pauses (quotes, brackets, commas, full stops and the like).
bool HasSpeakableText(std::string_view text);

}  // namespace lectoria::speechd
