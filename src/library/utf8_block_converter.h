// UTF-8 to GBK conversion of a book, block by block.
#pragma once

#include <string>
#include <string_view>

namespace lectoria {

/// Converts blocks of UTF-8 to GBK with exactly the result of
/// ConvertEncoding(block, "UTF-8", "GBK"): "?" for each invalid sequence and each character GBK
/// cannot hold. ConvertEncoding decodes character by character to place those replacements;
/// a block that converts cleanly (nearly every block of a real book) takes one direct iconv
/// pass instead, which is many times faster. Not thread-safe; use one per import.
class Utf8BlockConverter {
 public:
  Utf8BlockConverter();
  ~Utf8BlockConverter();
  Utf8BlockConverter(const Utf8BlockConverter&) = delete;
  Utf8BlockConverter& operator=(const Utf8BlockConverter&) = delete;

  /// The GBK form of `block`. Cut blocks only where a character ends (e.g. after an ASCII
  /// byte) to get the same bytes as converting the whole text at once.
  std::string Convert(std::string_view block);

 private:
  void* cd_;  // iconv_t
};

}  // namespace lectoria
