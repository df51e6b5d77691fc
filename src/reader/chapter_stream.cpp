#include "reader/chapter_stream.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/gbk_text.h"

namespace lectoria {
namespace {

constexpr std::size_t kReadBlock = 64 * 1024;

// Where a long line is best cut, within its first `limit` bytes (character boundaries only):
// after the last sentence mark, else the last comma, else the last space.
std::size_t CutPoint(std::string_view text, std::size_t limit) {
  static const std::string_view kStrong[] = {"\xA1\xA3", "\xA3\xA1", "\xA3\xBF", "\xA3\xBB",
                                             "\xA1\xAD", ".", "!", "?", ";"};  // 。！？；…
  static const std::string_view kWeak[] = {"\xA3\xAC", "\xA1\xA2", ","};      // ，、
  std::size_t strong = 0, weak = 0, space = 0, last = 0;
  for (std::size_t i = 0; i < text.size();) {
    const std::size_t len = GbkCharLength(text, i);
    if (i + len > limit) break;
    const std::string_view c = text.substr(i, len);
    for (std::string_view s : kStrong)
      if (c == s) strong = i + len;
    for (std::string_view s : kWeak)
      if (c == s) weak = i + len;
    if (c == " ") space = i + len;
    i += len;
    last = i;
  }
  if (strong) return strong;
  if (weak) return weak;
  if (space) return space;
  return last ? last : std::min(limit, text.size());
}

}  // namespace

ChapterStream::~ChapterStream() {
  Close();
}

void ChapterStream::Close() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
  buffer_.clear();
  pos_ = 0;
  bufferOffset_ = 0;
  end_ = true;
  line_ = 1;
}

void ChapterStream::Open(const std::filesystem::path& path) {
  Close();
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  struct stat info {};
  if (fd_ >= 0 && (::fstat(fd_, &info) != 0 || !S_ISREG(info.st_mode))) {
    ::close(fd_);
    fd_ = -1;
  }
  end_ = fd_ < 0;
}

void ChapterStream::Seek(const Mark& mark) {
  if (fd_ < 0) return;
  const std::int64_t end = bufferOffset_ + static_cast<std::int64_t>(buffer_.size());
  if (mark.offset >= bufferOffset_ && mark.offset <= end) {
    pos_ = static_cast<std::size_t>(mark.offset - bufferOffset_);
  } else {
    buffer_.clear();
    pos_ = 0;
    bufferOffset_ = mark.offset;
    end_ = ::lseek(fd_, mark.offset, SEEK_SET) < 0;
  }
  line_ = mark.line;
}

bool ChapterStream::Fill(std::size_t want) {
  while (buffer_.size() - pos_ < want && !end_) {
    if (pos_ > 0) {
      buffer_.erase(0, pos_);
      bufferOffset_ += static_cast<std::int64_t>(pos_);
      pos_ = 0;
    }
    const std::size_t used = buffer_.size();
    buffer_.resize(used + kReadBlock);
    ssize_t n;
    do {
      n = ::read(fd_, buffer_.data() + used, kReadBlock);
    } while (n < 0 && errno == EINTR);
    buffer_.resize(used + static_cast<std::size_t>(n > 0 ? n : 0));
    if (n <= 0) end_ = true;
    // The text ends at the first NUL or 0x1A byte, as every reader of chapter files takes it.
    const char* data = buffer_.data() + used;
    const std::size_t got = buffer_.size() - used;
    const void* nul = std::memchr(data, '\0', got);
    const void* eof = std::memchr(data, 0x1A, got);
    const char* stop = static_cast<const char*>(nul);
    if (eof && (!stop || static_cast<const char*>(eof) < stop)) stop = static_cast<const char*>(eof);
    if (stop) {
      buffer_.resize(static_cast<std::size_t>(stop - buffer_.data()));
      end_ = true;
    }
  }
  return buffer_.size() > pos_;
}

void ChapterStream::SeekLine(std::int32_t line) {
  Seek({0, 1});
  ChapterPiece skipped;
  while (line_ < line && Next(skipped)) {
  }
}

bool ChapterStream::Next(ChapterPiece& piece) {
  if (!Fill(kMaxPieceBytes + 2)) return false;
  const std::string_view text(buffer_.data() + pos_, buffer_.size() - pos_);
  piece.line = line_;
  // The line's end on a character boundary, within the piece's reach.
  std::size_t i = 0;
  while (i < text.size() && i <= kMaxPieceBytes) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      piece.text.assign(text.substr(0, i));
      piece.endsLine = true;
      pos_ += i + 2;
      ++line_;
      return true;
    }
    i += GbkCharLength(text, i);
  }
  if (text.size() <= kMaxPieceBytes) {  // the last line of the text
    piece.text.assign(text);
    piece.endsLine = true;
    pos_ += text.size();
    ++line_;
    return true;
  }
  const std::size_t cut = CutPoint(text, kMaxPieceBytes);
  piece.text.assign(text.substr(0, cut));
  piece.endsLine = false;
  pos_ += cut;
  return true;
}

}  // namespace lectoria
