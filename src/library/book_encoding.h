// Deciding a book's character set from all of its bytes, and whether it is text at all.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace lectoria {

/// The character sets a book may come in. Everything is converted to GBK for the library.
enum class BookCharset { kGbk, kGb18030, kUtf8, kUtf16Le, kUtf16Be, kBig5, kOther };

/// What the survey found out about a book's bytes.
struct BookEncoding {
  BookCharset charset = BookCharset::kGbk;
  std::string iconvName = "GBK";  ///< the name to convert from
  std::size_t bomBytes = 0;       ///< a byte-order mark to skip
  bool empty = false;             ///< no bytes at all
  bool binary = false;            ///< control bytes beyond what text holds
};

/// A readable name of the character set ("GBK", "UTF-8", "UTF-16LE", "Big5", ...).
std::string CharsetName(const BookEncoding& encoding);

/// Feeds a book's bytes block by block and decides its character set on the whole text.
///
/// A byte-order mark decides (UTF-8, UTF-16 LE/BE). Otherwise the bytes are validated as UTF-8
/// over the whole book: UTF-8 when its multi-byte sequences are valid save for a few stray
/// bytes (at most one invalid sequence per kUtf8ValidPerInvalid valid ones). Validation ends
/// early once kUtf8SettledInvalid invalid sequences, over that share, have been seen: no UTF-8
/// book has that many stray bytes. Text that is not
/// UTF-8 is GBK, or GB18030 when it holds GB18030's four-byte sequences, unless uchardet, given
/// a sample from the first non-ASCII byte on, names Big5 (which GBK's byte structure cannot tell
/// apart), or names another character set for bytes that are not well-formed GBK.
///
/// Binary: more than one control byte (other than tab, LF, FF, CR and 0x1A) per hundred bytes,
/// and at least kMinBinaryControls of them (a stray byte in a short text is no program).
/// Runs of kDamageNulRun or more NUL bytes do not count: a block of zeros is damage inside a
/// text, while a program or an image has control bytes spread all through it.
class EncodingSurvey {
 public:
  static constexpr std::int64_t kUtf8ValidPerInvalid = 50;
  static constexpr std::int64_t kUtf8SettledInvalid = 4096;
  static constexpr std::size_t kDamageNulRun = 64;
  static constexpr std::int64_t kMinBinaryControls = 4;
  static constexpr std::size_t kDetectorSampleBytes = 256 * 1024;

  EncodingSurvey();
  ~EncodingSurvey();
  EncodingSurvey(const EncodingSurvey&) = delete;
  EncodingSurvey& operator=(const EncodingSurvey&) = delete;

  void Add(std::string_view block);
  BookEncoding Decide();

 private:
  void AddUtf8(const unsigned char* p, std::size_t n);
  void AddGbk(const unsigned char* p, std::size_t n);
  void AddControls(const unsigned char* p, std::size_t n);

  std::int64_t bytes_ = 0;
  std::string head_;  // the first bytes, for a byte-order mark
  bool nonAscii_ = false;
  // UTF-8: bytes of a sequence carried over from the previous block.
  std::string utf8Carry_;
  std::int64_t utf8Valid_ = 0;    // multi-byte sequences
  std::int64_t utf8Invalid_ = 0;  // ill-formed sequences
  // GBK: a lead byte or a partial four-byte sequence carried over.
  std::string gbkCarry_;
  std::int64_t gbkPairs_ = 0;
  std::int64_t gbkInvalid_ = 0;
  std::int64_t gb18030Quads_ = 0;
  // Control bytes and the NUL run in progress.
  std::int64_t controls_ = 0;
  std::size_t nulRun_ = 0;
  // UTF-16 (after a byte-order mark): control code units, an odd byte carried over.
  std::int64_t units_ = 0;
  std::int64_t unitControls_ = 0;
  std::string unitCarry_;
  std::size_t sampled_ = 0;
  void* detector_ = nullptr;  // uchardet_t
};

}  // namespace lectoria
