// The ID3v2.3 tag at the start of an exported chapter file.
#pragma once

#include <string>
#include <string_view>

namespace lectoria {

/// The tag's texts, UTF-8.
struct Id3Fields {
  std::string title;   ///< TIT2
  std::string album;   ///< TALB
  std::string track;   ///< TRCK, "n/N"
  std::string artist;  ///< TPE1
};

/// An ID3v2.3 tag holding the non-empty fields as text frames in UTF-16 with a byte-order
/// mark, the encoding every ID3v2 reader understands (ID3v2.3 knows no UTF-8). Text that is not
/// valid UTF-8 has its faulty bytes replaced.
std::string BuildId3Tag(const Id3Fields& fields);

}  // namespace lectoria
