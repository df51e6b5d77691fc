#include "library/utf8_block_converter.h"

#include <iconv.h>

#include "platform/codepage.h"

namespace lectoria {
namespace {

const iconv_t kInvalid = reinterpret_cast<iconv_t>(-1);

}  // namespace

Utf8BlockConverter::Utf8BlockConverter() : cd_(iconv_open("GBK", "UTF-8")) {}

Utf8BlockConverter::~Utf8BlockConverter() {
  if (static_cast<iconv_t>(cd_) != kInvalid) iconv_close(static_cast<iconv_t>(cd_));
}

std::string Utf8BlockConverter::Convert(std::string_view block) {
  const iconv_t cd = static_cast<iconv_t>(cd_);
  if (block.empty()) return {};
  if (cd == kInvalid) return ConvertEncoding(block, "UTF-8", "GBK");
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  // No character takes more bytes in GBK than in UTF-8; a few spare bytes all the same.
  std::string out(block.size() + 16, '\0');
  char* in = const_cast<char*>(block.data());
  std::size_t inLeft = block.size();
  char* outPtr = out.data();
  std::size_t outLeft = out.size();
  const std::size_t rc = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
  // Any trouble (an invalid or unmappable sequence, a cut sequence, an inexact conversion):
  // the careful path decides what each byte becomes.
  if (rc != 0 || inLeft != 0) return ConvertEncoding(block, "UTF-8", "GBK");
  out.resize(out.size() - outLeft);
  return out;
}

}  // namespace lectoria
