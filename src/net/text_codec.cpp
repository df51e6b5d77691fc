#include "net/text_codec.h"

#include "platform/codepage.h"
#include "platform/gbk_text.h"

namespace lectoria {
namespace {

// The iconv name for a charset name as the caller gives it (the names Windows' text streams
// use). Windows reads "gb2312" as code page 936, a superset of the EUC-CN that glibc's
// "GB2312" is, so that name goes to glibc's "GBK" (code page 936).
std::string IconvName(std::string_view name, const char* fallback) {
  if (name.empty()) return fallback;
  if (EqualsIgnoreCase(name, "GB2312")) return "GBK";
  if (EqualsIgnoreCase(name, "unicode")) return "UTF-16LE";
  return std::string(name);
}

}  // namespace

std::string ConvertCharset(std::string_view input, std::string_view fromCharset,
                           std::string_view toCharset, std::size_t startPosition) {
  const std::string from = IconvName(fromCharset, "UTF-8");
  const std::string to = IconvName(toCharset, "GBK");
  std::string output = ConvertEncoding(input, from.c_str(), to.c_str());
  if (startPosition >= output.size()) return {};
  if (startPosition > 0) output.erase(0, startPosition);
  return output;
}

}  // namespace lectoria
