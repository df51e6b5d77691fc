#include "library/chapter_writer.h"

#include <utility>

namespace lectoria {

ChapterWriter::ChapterWriter(std::filesystem::path dir) : dir_(std::move(dir)) {
  text_.reserve(64 * 1024);
}

void ChapterWriter::Begin(std::int64_t k, std::string_view firstLine) {
  file_.Close();
  chapter_ = k;
  text_.assign(firstLine);
}

void ChapterWriter::AppendLine(std::string_view line) {
  text_ += "\r\n";
  text_ += line;
  if (text_.size() >= kSpillBytes) Spill();
}

bool ChapterWriter::OpenFile() {
  if (file_.IsOpen()) return true;
  if (!file_.Create(dir_ / (std::to_string(chapter_) + ".txt"))) ok_ = false;
  return ok_;
}

void ChapterWriter::Spill() {
  if (OpenFile() && !file_.Write(text_)) ok_ = false;
  text_.clear();
}

bool ChapterWriter::Finish() {
  Spill();
  if (!file_.Close()) ok_ = false;
  return ok_;
}

}  // namespace lectoria
