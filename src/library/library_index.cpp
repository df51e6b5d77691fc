#include "library/library_index.h"

#include "platform/file_util.h"

namespace lectoria {

using namespace index_keys;

bool LibraryIndex::Exists() const {
  return FileExists(ini_.path());
}

std::string LibraryIndex::BookName() const {
  return ini_.Read(kProperties, kBookName);
}

std::int32_t LibraryIndex::ChapterCount() const {
  return ini_.ReadInt(kProperties, kChapterCount);
}

std::string LibraryIndex::ChapterTitle(std::int32_t k) const {
  return ini_.Read(kChapterIndex, std::to_string(k));
}

std::int32_t LibraryIndex::ReadingHistory() const {
  return ini_.ReadInt(kProperties, kReadingHistory);
}

std::int32_t LibraryIndex::LineNumber() const {
  return ini_.ReadInt(kProperties, kLineNumber);
}

bool LibraryIndex::WriteBookName(std::string_view name) {
  return ini_.Write(kProperties, kBookName, name);
}

bool LibraryIndex::WriteChapterTitle(std::int32_t k, std::string_view title) {
  return ini_.Write(kChapterIndex, std::to_string(k), title);
}

bool LibraryIndex::WriteChapterCount(std::int32_t n) {
  return ini_.WriteInt(kProperties, kChapterCount, n);
}

bool LibraryIndex::WriteReadingHistory(std::int32_t row) {
  return ini_.WriteInt(kProperties, kReadingHistory, row);
}

bool LibraryIndex::WriteLineNumber(std::int32_t line) {
  return ini_.WriteInt(kProperties, kLineNumber, line);
}

bool LibraryIndex::WriteMany(const std::vector<IniFile::Entry>& entries) {
  return ini_.WriteMany(entries);
}

}  // namespace lectoria
