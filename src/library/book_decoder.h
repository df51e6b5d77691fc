// Converting a book to GBK block by block, whatever character set it came in.
#pragma once

#include <string>
#include <string_view>

#include "library/book_encoding.h"

namespace lectoria {

/// Turns the bytes of a book into the GBK text the library holds, one block at a time, with
/// the result of converting the whole at once: the byte-order mark is dropped, every invalid
/// sequence and every character GBK cannot hold becomes "?", and NUL and 0x1A bytes are
/// removed (they would end the text early for every reader of the chapter files). A GBK book
/// passes unchanged otherwise. Not thread-safe; one per pass over a book.
class BookDecoder {
 public:
  explicit BookDecoder(const BookEncoding& encoding);
  ~BookDecoder();
  BookDecoder(const BookDecoder&) = delete;
  BookDecoder& operator=(const BookDecoder&) = delete;

  /// The GBK text of the next block; `last` marks the end of the book (a sequence still cut
  /// off then is invalid). The view stays valid until the next call.
  std::string_view Decode(std::string_view block, bool last);

 private:
  void Convert(std::string_view input, bool last);
  void EncodeWide(std::size_t count);
  std::string_view WithoutNuls(std::string_view text);

  BookEncoding encoding_;
  std::size_t bomLeft_;
  bool passthrough_;
  void* decoder_ = nullptr;  // iconv_t: the book's charset -> wide characters
  void* encoder_ = nullptr;  // iconv_t: wide characters -> GBK
  std::string carry_;        // a sequence cut off at the end of the last block
  std::string joined_;
  std::string out_;
  std::string clean_;
  std::wstring wide_;
};

}  // namespace lectoria
