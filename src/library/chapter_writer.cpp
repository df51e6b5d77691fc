#include "library/chapter_writer.h"

#include <fcntl.h>
#include <unistd.h>

namespace lectoria {

ChapterWriter::ChapterWriter(const std::filesystem::path& dir) {
  dirFd_ = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ok_ = dirFd_ >= 0;
  text_.reserve(64 * 1024);
}

ChapterWriter::~ChapterWriter() {
  file_.Close();
  if (dirFd_ >= 0) ::close(dirFd_);
}

void ChapterWriter::Begin(std::int64_t k) {
  chapter_ = k;
  text_.clear();
}

void ChapterWriter::Append(std::string_view text) {
  text_ += text;
  if (text_.size() >= kSpillBytes) Spill();
}

void ChapterWriter::Spill() {
  if (!ok_) return;
  if (!file_.IsOpen() && !file_.CreateAt(dirFd_, (std::to_string(chapter_) + ".txt").c_str())) {
    ok_ = false;
    return;
  }
  if (!file_.Write(text_)) ok_ = false;
  text_.clear();
}

bool ChapterWriter::Finish() {
  Spill();
  if (!file_.Close()) ok_ = false;
  return ok_;
}

}  // namespace lectoria
