#include "json/gbk_unicode.h"

#include <iconv.h>
#include <array>
#include <cstdint>
#include <memory>

#include "platform/gbk_text.h"

namespace lectoria::json {
namespace {

constexpr unsigned kLeadFirst = 0x81;
constexpr unsigned kLeadCount = 0xFE - 0x81 + 1;
constexpr unsigned kTrailFirst = 0x40;
constexpr unsigned kTrailCount = 0xFE - 0x40 + 1;

bool IsTrailByte(unsigned char c) {
  return c >= 0x40 && c <= 0xFE && c != 0x7F;
}

// Both directions of code page 936 for the Basic Multilingual Plane; 0 marks "no mapping"
// (U+0000 and the GBK byte 0x00 are ASCII and never looked up here).
struct GbkTables {
  std::array<std::uint16_t, kLeadCount * kTrailCount> toUnicode{};  // by (lead, trail)
  std::array<std::uint16_t, 0x80> singleToUnicode{};                // bytes 0x80..0xFF
  std::array<std::uint16_t, 0x10000> fromUnicode{};  // GBK code: 0x00XX single, 0xLLTT pair
};

// Converts one GBK character with iconv; 0 when iconv has no mapping for it.
char32_t ConvertOne(iconv_t cd, const char* bytes, std::size_t length) {
  char input[2] = {bytes[0], length > 1 ? bytes[1] : '\0'};
  unsigned char output[8] = {};
  char* in = input;
  char* out = reinterpret_cast<char*>(output);
  std::size_t inLeft = length;
  std::size_t outLeft = sizeof output;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  const std::size_t rc = iconv(cd, &in, &inLeft, &out, &outLeft);
  if (rc == static_cast<std::size_t>(-1) || inLeft != 0 || sizeof output - outLeft != 4) return 0;
  return static_cast<char32_t>(output[0] | (output[1] << 8) | (output[2] << 16) |
                               (static_cast<std::uint32_t>(output[3]) << 24));
}

std::unique_ptr<GbkTables> BuildTables() {
  auto tables = std::make_unique<GbkTables>();
  iconv_t cd = iconv_open("UTF-32LE", "GBK");
  if (cd == reinterpret_cast<iconv_t>(-1)) return tables;  // every non-ASCII character reads "?"
  for (unsigned b = 0x80; b <= 0xFF; ++b) {
    const char byte = static_cast<char>(b);
    const char32_t cp = ConvertOne(cd, &byte, 1);
    if (cp != 0 && cp < 0x10000) {
      tables->singleToUnicode[b - 0x80] = static_cast<std::uint16_t>(cp);
      if (tables->fromUnicode[cp] == 0) tables->fromUnicode[cp] = static_cast<std::uint16_t>(b);
    }
  }
  for (unsigned lead = kLeadFirst; lead < kLeadFirst + kLeadCount; ++lead) {
    for (unsigned trail = kTrailFirst; trail < kTrailFirst + kTrailCount; ++trail) {
      if (trail == 0x7F) continue;
      const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
      const char32_t cp = ConvertOne(cd, pair, 2);
      if (cp == 0 || cp >= 0x10000) continue;
      tables->toUnicode[(lead - kLeadFirst) * kTrailCount + (trail - kTrailFirst)] =
          static_cast<std::uint16_t>(cp);
      // Keep the first code for a character that several codes map to.
      if (tables->fromUnicode[cp] == 0)
        tables->fromUnicode[cp] = static_cast<std::uint16_t>((lead << 8) | trail);
    }
  }
  iconv_close(cd);
  return tables;
}

const GbkTables& Tables() {
  static const std::unique_ptr<GbkTables> tables = BuildTables();
  return *tables;
}

// Appends the GBK form of one code point ("?" when GBK cannot hold it).
void AppendGbk(std::string& out, char32_t cp, const GbkTables& tables) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
    return;
  }
  const std::uint16_t code = cp < 0x10000 ? tables.fromUnicode[cp] : 0;
  if (code == 0) {
    out.push_back('?');
  } else if (code < 0x100) {
    out.push_back(static_cast<char>(code));
  } else {
    out.push_back(static_cast<char>(code >> 8));
    out.push_back(static_cast<char>(code & 0xFF));
  }
}

}  // namespace

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

char32_t DecodeUtf8(std::string_view text, std::size_t& pos) {
  const unsigned char c = static_cast<unsigned char>(text[pos]);
  if (c < 0x80) {
    ++pos;
    return c;
  }
  std::size_t length = 0;
  char32_t cp = 0;
  if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    cp = c & 0x07;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    cp = c & 0x0F;
  } else if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
    cp = c & 0x1F;
  } else {
    ++pos;
    return U'?';
  }
  if (text.size() - pos < length) {
    ++pos;
    return U'?';
  }
  for (std::size_t i = 1; i < length; ++i) {
    const unsigned char next = static_cast<unsigned char>(text[pos + i]);
    if ((next & 0xC0) != 0x80) {
      ++pos;
      return U'?';
    }
    cp = (cp << 6) | (next & 0x3F);
  }
  pos += length;
  return cp;
}

char32_t DecodeGbkChar(std::string_view text, std::size_t& pos) {
  const GbkTables& tables = Tables();
  const unsigned char lead = static_cast<unsigned char>(text[pos]);
  if (IsGbkLeadByte(lead) && pos + 1 < text.size() &&
      IsTrailByte(static_cast<unsigned char>(text[pos + 1]))) {
    const unsigned char trail = static_cast<unsigned char>(text[pos + 1]);
    pos += 2;
    const std::uint16_t cp =
        tables.toUnicode[(lead - kLeadFirst) * kTrailCount + (trail - kTrailFirst)];
    return cp != 0 ? cp : U'?';
  }
  ++pos;
  const std::uint16_t cp = lead >= 0x80 ? tables.singleToUnicode[lead - 0x80] : lead;
  return cp != 0 ? cp : U'?';
}

std::string GbkToInternal(std::string_view gbk, bool markBackslashes) {
  // Every byte gives at most three bytes of UTF-8 (0x80 is the euro sign, U+20AC), so the
  // text is written into a buffer of that size through a pointer: converting each line of a
  // book must not pay a capacity check per byte.
  std::string out(gbk.size() * 3, '\0');
  char* o = out.data();
  std::size_t pos = 0;
  while (pos < gbk.size()) {
    const unsigned char c = static_cast<unsigned char>(gbk[pos]);
    if (c < 0x80 && !(c == '\\' && markBackslashes)) {
      *o++ = static_cast<char>(c);
      ++pos;
      continue;
    }
    const char32_t cp = c < 0x80 ? kBackslashMarker : DecodeGbkChar(gbk, pos);
    if (c < 0x80) ++pos;
    if (cp < 0x80) {
      *o++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
      *o++ = static_cast<char>(0xC0 | (cp >> 6));
      *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
      *o++ = static_cast<char>(0xE0 | (cp >> 12));
      *o++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
      *o++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

void AppendInternalAsGbk(std::string& out, std::string_view text, bool translateMarkers) {
  const GbkTables& tables = Tables();
  std::size_t pos = 0;
  while (pos < text.size()) {
    // Copy runs of ASCII at once: most texts in service replies are all ASCII.
    std::size_t run = pos;
    while (run < text.size() && static_cast<unsigned char>(text[run]) < 0x80) ++run;
    out.append(text, pos, run - pos);
    pos = run;
    if (pos >= text.size()) break;
    const char32_t cp = DecodeUtf8(text, pos);
    if (cp == kBackslashMarker && translateMarkers) {
      out.push_back('\\');
    } else {
      AppendGbk(out, cp, tables);
    }
  }
}

std::string InternalToGbk(std::string_view text, bool translateMarkers) {
  // GBK never takes more bytes than UTF-8 for the same text (and a malformed byte becomes
  // one "?"), so the result is written into a buffer of the input's size.
  const GbkTables& tables = Tables();
  std::string out(text.size(), '\0');
  char* o = out.data();
  std::size_t pos = 0;
  while (pos < text.size()) {
    const unsigned char c = static_cast<unsigned char>(text[pos]);
    if (c < 0x80) {
      *o++ = static_cast<char>(c);
      ++pos;
      continue;
    }
    const char32_t cp = DecodeUtf8(text, pos);
    if (cp < 0x80) {  // the "?" of a malformed byte
      *o++ = static_cast<char>(cp);
      continue;
    }
    const std::uint16_t code = cp == kBackslashMarker && translateMarkers
                                   ? '\\'
                                   : (cp < 0x10000 ? tables.fromUnicode[cp] : 0);
    if (code == 0) {
      *o++ = '?';
    } else if (code < 0x100) {
      *o++ = static_cast<char>(code);
    } else {
      *o++ = static_cast<char>(code >> 8);
      *o++ = static_cast<char>(code & 0xFF);
    }
  }
  out.resize(static_cast<std::size_t>(o - out.data()));
  return out;
}

}  // namespace lectoria::json
