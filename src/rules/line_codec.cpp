#include "rules/line_codec.h"

#include "json/gbk_unicode.h"

namespace lectoria {

std::string LineToUtf8(std::string_view gbk) {
  return json::GbkToInternal(gbk);
}

std::string LineToGbk(std::string_view utf8) {
  return json::InternalToGbk(utf8, /*translateMarkers=*/false);
}

}  // namespace lectoria
