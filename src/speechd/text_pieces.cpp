#include "speechd/text_pieces.h"

#include <algorithm>
#include <cstdint>

namespace lectoria::speechd {

namespace {

struct CodePoint {
  char32_t value;
  std::size_t length;  // bytes
};

// The character at `pos`; a byte that starts no valid sequence counts as one character.
CodePoint Decode(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char lead = byte(pos);
  std::size_t length = 1;
  char32_t value = lead;
  if (lead >= 0xF0) {
    length = 4;
    value = lead & 0x07;
  } else if (lead >= 0xE0) {
    length = 3;
    value = lead & 0x0F;
  } else if (lead >= 0xC0) {
    length = 2;
    value = lead & 0x1F;
  }
  if (length == 1 || pos + length > text.size()) return {lead, 1};
  for (std::size_t i = 1; i < length; ++i) {
    if ((byte(pos + i) & 0xC0) != 0x80) return {lead, 1};
    value = (value << 6) | (byte(pos + i) & 0x3F);
  }
  return {value, length};
}

bool IsBlank(char32_t c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == 0xA0 || c == 0x3000 ||
         (c >= 0x2000 && c <= 0x200B) || c == 0xFEFF;
}

bool IsCjkSentenceEnd(char32_t c) {
  return c == 0x3002 /* 。 */ || c == 0xFF01 /* ！ */ || c == 0xFF1F /* ？ */ ||
         c == 0xFF1B /* ； */ || c == 0x2026 /* … */ || c == 0xFF61 /* ｡ */;
}

bool IsAsciiSentenceEnd(char32_t c) {
  return c == '.' || c == '!' || c == '?' || c == ';';
}

// Closing quotes and brackets that belong to the sentence they follow.
bool IsCloser(char32_t c) {
  return c == '"' || c == '\'' || c == ')' || c == ']' || c == 0x201D /* ” */ ||
         c == 0x2019 /* ’ */ || c == 0x300D /* 」 */ || c == 0x300F /* 』 */ ||
         c == 0xFF09 /* ） */ || c == 0x300B /* 》 */ || c == 0x3009 /* 〉 */ ||
         c == 0x3011 /* 】 */ || c == 0x00BB /* » */;
}

bool IsComma(char32_t c) {
  return c == ',' || c == ':' || c == 0xFF0C /* ， */ || c == 0x3001 /* 、 */ ||
         c == 0xFF1A /* ： */ || c == 0x2014 /* — */;
}

// Punctuation that engines read as a pause, not as a word.
bool IsSilentPunctuation(char32_t c) {
  if (c < 0x80)
    return std::string_view("!\"'(),-.:;?[]{}").find(static_cast<char>(c)) !=
           std::string_view::npos;
  return c == 0xAB || c == 0xBB || c == 0xB7 || (c >= 0x2010 && c <= 0x2027) ||
         (c >= 0x3001 && c <= 0x3003) || (c >= 0x3008 && c <= 0x3011) ||
         (c >= 0x3014 && c <= 0x301F) || (c >= 0xFE10 && c <= 0xFE19) ||
         (c >= 0xFE30 && c <= 0xFE4F) || c == 0xFF01 || c == 0xFF08 || c == 0xFF09 || c == 0xFF0C ||
         c == 0xFF0E || c == 0xFF1A || c == 0xFF1B || c == 0xFF1F || c == 0xFF3B || c == 0xFF3D ||
         c == 0xFF5B || c == 0xFF5D || (c >= 0xFF61 && c <= 0xFF64);
}

// Where the sentence that starts at `pos` ends: after its end marks, the closers that follow
// them and the blanks after those; or the end of the text.
std::size_t SentenceEnd(std::string_view text, std::size_t pos) {
  while (pos < text.size()) {
    const CodePoint c = Decode(text, pos);
    const std::size_t next = pos + c.length;
    bool ends = IsCjkSentenceEnd(c.value);
    if (!ends && IsAsciiSentenceEnd(c.value)) {
      // "3.14", "e.g." and "..." inside a sentence do not end it.
      ends = next >= text.size() || IsBlank(Decode(text, next).value) ||
             Decode(text, next).value >= 0x80;
    }
    pos = next;
    if (!ends) continue;
    while (pos < text.size()) {
      const CodePoint follower = Decode(text, pos);
      if (!IsCjkSentenceEnd(follower.value) && !IsAsciiSentenceEnd(follower.value) &&
          !IsCloser(follower.value) && !IsBlank(follower.value)) {
        break;
      }
      pos += follower.length;
    }
    return pos;
  }
  return pos;
}

// Cuts [begin, end) into runs of at most `maxChars` characters and appends them.
void CutLongSentence(std::string_view text, std::size_t begin, std::size_t end,
                     std::size_t maxChars, std::vector<std::string_view>& pieces) {
  while (begin < end) {
    std::size_t pos = begin;
    std::size_t chars = 0;
    std::size_t afterComma = 0;
    std::size_t afterBlank = 0;
    while (pos < end && chars < maxChars) {
      const CodePoint c = Decode(text, pos);
      pos += c.length;
      ++chars;
      if (IsComma(c.value)) afterComma = pos;
      if (IsBlank(c.value)) afterBlank = pos;
    }
    std::size_t cut = pos;
    if (pos < end) {
      if (afterComma > begin) {
        cut = afterComma;
      } else if (afterBlank > begin) {
        cut = afterBlank;
      }
    }
    pieces.push_back(text.substr(begin, cut - begin));
    begin = cut;
  }
}

std::size_t CharCount(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

}  // namespace

std::vector<std::string_view> SplitIntoPieces(std::string_view text, std::size_t maxChars) {
  maxChars = std::max<std::size_t>(maxChars, 1);
  std::vector<std::string_view> pieces;
  std::size_t pieceBegin = 0;
  std::size_t pieceChars = 0;
  for (std::size_t begin = 0; begin < text.size();) {
    const std::size_t end = SentenceEnd(text, begin);
    const std::size_t chars = CharCount(text.substr(begin, end - begin));
    if (pieceChars > 0 && pieceChars + chars > maxChars) {
      pieces.push_back(text.substr(pieceBegin, begin - pieceBegin));
      pieceBegin = begin;
      pieceChars = 0;
    }
    if (chars > maxChars) {
      CutLongSentence(text, begin, end, maxChars, pieces);
      pieceBegin = end;
    } else {
      pieceChars += chars;
    }
    begin = end;
  }
  if (pieceBegin < text.size()) pieces.push_back(text.substr(pieceBegin));
  return pieces;
}

bool HasSpeakableText(std::string_view text) {
  for (std::size_t pos = 0; pos < text.size();) {
    const CodePoint c = Decode(text, pos);
    if (!IsBlank(c.value) && !IsSilentPunctuation(c.value)) return true;
    pos += c.length;
  }
  return false;
}

}  // namespace lectoria::speechd
