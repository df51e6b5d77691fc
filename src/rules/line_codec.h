// GBK <-> UTF-8 for the lines the rules work on.
//
// These run on lookup tables built once per process (the JSON document's, taken from iconv's
// code page 936): opening an iconv descriptor for every line of a book would cost more than
// the rules themselves. Bytes that are no GBK character become "?", as do characters GBK
// cannot hold.
#pragma once

#include <string>
#include <string_view>

namespace lectoria {

std::string LineToUtf8(std::string_view gbk);
std::string LineToGbk(std::string_view utf8);

}  // namespace lectoria
