#include "library/library_index.h"

#include "platform/file_util.h"

namespace lectoria {

using namespace index_keys;

std::string PositionValue(std::int64_t value) {
  std::string text = std::to_string(value);
  if (text.size() < kPositionValueWidth) text.resize(kPositionValueWidth, ' ');
  return text;
}

namespace {

// Saves the position keys in place when possible, else with one save of the whole file.
bool WritePosition(IniFile& ini, const std::vector<std::pair<std::string_view, std::int64_t>>& keys,
                   bool inPlaceOnly = false) {
  std::vector<std::string> values;
  for (const auto& key : keys) values.push_back(PositionValue(key.second));
  std::vector<std::pair<std::string_view, std::string_view>> inPlace;
  std::vector<IniFile::Entry> entries;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    inPlace.emplace_back(keys[i].first, values[i]);
    entries.push_back({std::string(kProperties), std::string(keys[i].first), values[i]});
  }
  return ini.WriteInPlace(kProperties, inPlace) || (!inPlaceOnly && ini.WriteMany(entries));
}

}  // namespace

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

std::int64_t LibraryIndex::PlaceInLine() const {
  const std::int64_t ms = ini_.ReadInt(kProperties, kPlaceInLine);
  return ms > 0 ? ms : 0;
}

bool LibraryIndex::WriteReadingHistory(std::int32_t row) {
  return WritePosition(ini_, {{kReadingHistory, row}});
}

bool LibraryIndex::WriteLineNumber(std::int32_t line) {
  return WritePosition(ini_, {{kLineNumber, line}});
}

bool LibraryIndex::SavePosition(std::int32_t row, std::int32_t line, std::int64_t placeMs) {
  if (WritePosition(ini_, {{kReadingHistory, row}, {kLineNumber, line}, {kPlaceInLine, placeMs}},
                    /*inPlaceOnly=*/true))
    return true;
  // An index laid out before the place in the line was kept lacks its key, which reads as 0:
  // the start of a line is saved in place without it.
  if (placeMs == 0 && PlaceInLine() == 0 &&
      WritePosition(ini_, {{kReadingHistory, row}, {kLineNumber, line}}, /*inPlaceOnly=*/true))
    return true;
  return WritePosition(ini_,
                       {{kReadingHistory, row}, {kLineNumber, line}, {kPlaceInLine, placeMs}});
}

}  // namespace lectoria
