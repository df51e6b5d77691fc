#include "export/chapter_file_name.h"

#include <algorithm>
#include <cstdint>

namespace lectoria {
namespace {

// Length of the UTF-8 sequence at `pos`, or 0 when it is not a valid one.
std::size_t Utf8SequenceLength(std::string_view text, std::size_t pos) {
  const auto byte = [&](std::size_t i) { return static_cast<std::uint8_t>(text[i]); };
  const std::uint8_t lead = byte(pos);
  if (lead < 0x80) return 1;
  const std::size_t length = lead >= 0xC2 && lead <= 0xDF   ? 2
                             : lead >= 0xE0 && lead <= 0xEF ? 3
                             : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                            : 0;
  if (length == 0 || pos + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i)
    if ((byte(pos + i) & 0xC0) != 0x80) return 0;
  // Overlong three- and four-byte forms, surrogates and code points past U+10FFFF.
  const std::uint8_t second = byte(pos + 1);
  if ((lead == 0xE0 && second < 0xA0) || (lead == 0xED && second > 0x9F) ||
      (lead == 0xF0 && second < 0x90) || (lead == 0xF4 && second > 0x8F))
    return 0;
  return length;
}

std::string_view FullWidthForm(char c) {
  switch (c) {
    case '/':
      return "\xEF\xBC\x8F";
    case '\\':
      return "\xEF\xBC\xBC";
    case ':':
      return "\xEF\xBC\x9A";
    case '*':
      return "\xEF\xBC\x8A";
    case '?':
      return "\xEF\xBC\x9F";
    case '"':
      return "\xEF\xBC\x82";
    case '<':
      return "\xEF\xBC\x9C";
    case '>':
      return "\xEF\xBC\x9E";
    case '|':
      return "\xEF\xBD\x9C";
    default:
      return {};
  }
}

constexpr std::string_view kFullWidthSpace = "\xE3\x80\x80";

}  // namespace

std::string SafeFileTitle(std::string_view utf8Title) {
  // Pieces: each character, mapped; blanks collapse into one pending space.
  std::string out;
  bool pendingSpace = false;
  for (std::size_t pos = 0; pos < utf8Title.size();) {
    std::size_t length = Utf8SequenceLength(utf8Title, pos);
    std::string_view piece;
    bool blank = false;
    if (length == 0) {
      length = 1;
      piece = FullWidthForm('?');
    } else if (length == 1) {
      const char c = utf8Title[pos];
      blank = static_cast<std::uint8_t>(c) < 0x20 || c == 0x7F || c == ' ';
      piece = FullWidthForm(c);
      if (piece.empty()) piece = utf8Title.substr(pos, 1);
    } else {
      piece = utf8Title.substr(pos, length);
      blank = piece == kFullWidthSpace;
    }
    pos += length;
    if (blank) {
      pendingSpace = !out.empty();
      continue;
    }
    if (pendingSpace) out += ' ';
    pendingSpace = false;
    if (out.size() + piece.size() > kMaxTitleNameBytes) break;
    out += piece;
  }
  // No leading dot (a hidden file) and no trailing dot or space (refused on Windows).
  const std::size_t first = out.find_first_not_of('.');
  out.erase(0, std::min(first, out.size()));
  while (!out.empty() && (out.back() == '.' || out.back() == ' ')) out.pop_back();
  if (!out.empty() && out.front() == ' ') out.erase(0, 1);
  return out;
}

std::string ChapterFileName(int number, int chapterCount, std::string_view utf8Title) {
  const std::size_t width = std::max<std::size_t>(3, std::to_string(chapterCount).size());
  std::string name = std::to_string(number);
  if (name.size() < width) name.insert(0, width - name.size(), '0');
  const std::string title = SafeFileTitle(utf8Title);
  if (!title.empty()) name += ' ' + title;
  return name + ".mp3";
}

}  // namespace lectoria
