#include "platform/ini_document.h"

#include <utility>

#include "platform/gbk_text.h"
#include "platform/ini_file.h"

namespace lectoria {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

// Half-open byte range [begin, end).
struct Span {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::size_t size() const { return end - begin; }
};

// Spaces and tabs removed from both ends of text[begin, end). The right end is found by walking
// characters from the left, so a double-byte character is never cut in half (its second byte
// is never taken for a blank).
Span TrimSpan(std::string_view text, std::size_t begin, std::size_t end) {
  const std::string_view part = text.substr(begin, end - begin);
  std::size_t left = 0;
  while (left < part.size() && IsBlank(part[left])) ++left;
  std::size_t right = left;
  for (std::size_t i = left; i < part.size();) {
    const std::size_t length = GbkCharLength(part, i);
    if (length == 2 || !IsBlank(part[i])) right = i + length;
    i += length;
  }
  return {begin + left, begin + right};
}

// The position of the first (or last) `c` that starts a character in text[begin, end), or npos.
std::size_t FindCharacter(std::string_view text, std::size_t begin, std::size_t end, char c,
                          bool last) {
  const std::string_view part = text.substr(begin, end - begin);
  std::size_t found = std::string_view::npos;
  for (std::size_t i = 0; i < part.size(); i += GbkCharLength(part, i)) {
    if (part[i] != c) continue;
    found = begin + i;
    if (!last) break;
  }
  return found;
}

enum class LineKind { kOther, kHeader, kKey };

struct LineInfo {
  LineKind kind = LineKind::kOther;
  Span name;   // section name or key name
  Span value;  // key lines only
};

// Classifies one line. `contentOffset` skips a byte-order mark on the first line.
LineInfo Classify(std::string_view raw, std::size_t contentOffset) {
  std::size_t end = raw.size();
  if (end > contentOffset && raw[end - 1] == '\n') --end;
  if (end > contentOffset && raw[end - 1] == '\r') --end;
  const Span line = TrimSpan(raw, contentOffset, end);
  LineInfo info;
  if (line.size() == 0 || raw[line.begin] == ';') return info;
  if (raw[line.begin] == '[') {
    const std::size_t close = FindCharacter(raw, line.begin + 1, line.end, ']', true);
    if (close != std::string_view::npos) {
      info.kind = LineKind::kHeader;
      info.name = TrimSpan(raw, line.begin + 1, close);
      return info;
    }
    // Without a closing bracket the line is read like any other line.
  }
  const std::size_t equals = FindCharacter(raw, line.begin, line.end, '=', false);
  if (equals == std::string_view::npos) return info;
  info.kind = LineKind::kKey;
  info.name = TrimSpan(raw, line.begin, equals);
  info.value = TrimSpan(raw, equals + 1, line.end);
  return info;
}

std::string_view CutAtLineBreak(std::string_view text) {
  return text.substr(0, text.find_first_of(std::string_view("\0\r\n", 3)));
}

// At most kIniMaxValueBytes, cut before a double-byte character that would not fit whole.
std::string_view CutToValueLimit(std::string_view text) {
  if (text.size() <= kIniMaxValueBytes) return text;
  std::size_t i = 0;
  while (i < text.size()) {
    const std::size_t length = GbkCharLength(text, i);
    if (i + length > kIniMaxValueBytes) break;
    i += length;
  }
  return text.substr(0, i);
}

}  // namespace

bool IniDocument::Line::HasLineEnd() const {
  return !raw.empty() && (raw.back() == '\n' || raw.back() == '\r');
}

IniDocument::IniDocument() {
  sections_.emplace_back();
}

IniDocument IniDocument::Parse(std::string_view bytes) {
  IniDocument document;
  const std::size_t bomLength = StartsWith(bytes, kByteOrderMark) ? kByteOrderMark.size() : 0;
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const std::size_t end = bytes.find_first_of("\r\n", pos);
    std::size_t next = bytes.size();
    if (end != std::string_view::npos) {
      next = end + 1;
      if (bytes[end] == '\r' && next < bytes.size() && bytes[next] == '\n') ++next;
    }
    document.AddLine(bytes.substr(pos, next - pos), pos == 0 ? bomLength : 0);
    pos = next;
  }
  return document;
}

void IniDocument::AddLine(std::string_view raw, std::size_t contentOffset) {
  byteCount_ += raw.size();
  const LineInfo info = Classify(raw, contentOffset);
  Line line;
  line.raw = raw;
  line.nameBegin = info.name.begin;
  line.nameLength = info.name.size();
  line.valueBegin = info.value.begin;
  line.valueLength = info.value.size();
  if (info.kind == LineKind::kHeader) {
    Section section;
    section.hasHeader = true;
    section.header = std::move(line);
    sectionIndex_.try_emplace(AsciiLower(section.header.Name()), sections_.size());
    sections_.push_back(std::move(section));
    return;
  }
  Section& section = sections_.back();
  if (info.kind == LineKind::kKey && section.hasHeader) {
    section.keys.try_emplace(AsciiLower(line.Name()), section.lines.size());
    section.lastKey = section.lines.size();
  }
  section.lines.push_back(std::move(line));
}

std::string_view IniDocument::CleanName(std::string_view name) {
  const std::string_view cut = CutAtLineBreak(name);
  const Span span = TrimSpan(cut, 0, cut.size());
  return cut.substr(span.begin, span.size());
}

const IniDocument::Section* IniDocument::FindSection(std::string_view cleanName) const {
  const auto found = sectionIndex_.find(AsciiLower(cleanName));
  return found == sectionIndex_.end() ? nullptr : &sections_[found->second];
}

std::optional<std::string_view> IniDocument::FindRaw(std::string_view section,
                                                     std::string_view key) const {
  const std::string_view keyName = CleanName(key);
  if (keyName.empty()) return std::nullopt;
  const Section* found = FindSection(CleanName(section));
  if (found == nullptr) return std::nullopt;
  const auto line = found->keys.find(AsciiLower(keyName));
  if (line == found->keys.end()) return std::nullopt;
  return found->lines[line->second].Value();
}

std::string IniDocument::DefaultValue(std::string_view defaultValue) {
  std::string_view value = defaultValue.substr(0, defaultValue.find('\0'));
  while (!value.empty() && value.back() == ' ') value.remove_suffix(1);
  return std::string(CutToValueLimit(value));
}

std::string IniDocument::Get(std::string_view section, std::string_view key,
                             std::string_view defaultValue) const {
  const std::optional<std::string_view> stored = FindRaw(section, key);
  if (!stored) return DefaultValue(defaultValue);
  std::string_view value = stored->substr(0, stored->find('\0'));
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(CutToValueLimit(value));
}

IniDocument::Line* IniDocument::LastLine() {
  for (auto section = sections_.rbegin(); section != sections_.rend(); ++section) {
    if (!section->lines.empty()) return &section->lines.back();
    if (section->hasHeader) return &section->header;
  }
  return nullptr;
}

IniSetResult IniDocument::Set(std::string_view section, std::string_view key,
                              std::string_view value) {
  const std::string_view sectionName = CleanName(section);
  const std::string_view keyName = CleanName(key);
  if (keyName.empty()) return IniSetResult::kRejected;

  // Builds the line for `name=value` and checks that it reads back as that key: a name such
  // as ";x", "a=b" or "[x" (with a "]" in the value) would turn into another kind of line.
  const auto makeKeyLine = [&](std::string_view name) -> std::optional<Line> {
    Line line;
    line.raw.reserve(name.size() + value.size() + 3);
    line.raw.append(name).append("=").append(CutAtLineBreak(value)).append(kLineEnd);
    const LineInfo info = Classify(line.raw, 0);
    if (info.kind != LineKind::kKey || line.raw.compare(info.name.begin, info.name.size(), name))
      return std::nullopt;
    line.nameBegin = info.name.begin;
    line.nameLength = info.name.size();
    line.valueBegin = info.value.begin;
    line.valueLength = info.value.size();
    return line;
  };

  const std::string sectionKey = AsciiLower(sectionName);
  const auto foundSection = sectionIndex_.find(sectionKey);
  if (foundSection == sectionIndex_.end()) {
    Section added;
    added.hasHeader = true;
    added.header.raw.append("[").append(sectionName).append("]").append(kLineEnd);
    const LineInfo info = Classify(added.header.raw, 0);
    if (info.kind != LineKind::kHeader ||
        added.header.raw.compare(info.name.begin, info.name.size(), sectionName))
      return IniSetResult::kRejected;
    added.header.nameBegin = info.name.begin;
    added.header.nameLength = info.name.size();
    std::optional<Line> line = makeKeyLine(keyName);
    if (!line) return IniSetResult::kRejected;
    // The new section starts on a line of its own, with no blank line before it.
    if (Line* last = LastLine(); last != nullptr && !last->HasLineEnd()) {
      last->raw.append(kLineEnd);
      byteCount_ += kLineEnd.size();
    }
    byteCount_ += added.header.raw.size() + line->raw.size();
    added.keys.emplace(AsciiLower(keyName), 0);
    added.lastKey = 0;
    added.lines.push_back(std::move(*line));
    sectionIndex_.emplace(sectionKey, sections_.size());
    sections_.push_back(std::move(added));
    return IniSetResult::kChanged;
  }

  Section& target = sections_[foundSection->second];
  const std::string keyKey = AsciiLower(keyName);
  if (const auto foundKey = target.keys.find(keyKey); foundKey != target.keys.end()) {
    Line& existing = target.lines[foundKey->second];
    // The file's spelling of the key is kept.
    std::optional<Line> line = makeKeyLine(existing.Name());
    if (!line) return IniSetResult::kRejected;
    if (line->raw == existing.raw) return IniSetResult::kUnchanged;
    byteCount_ += line->raw.size();
    byteCount_ -= existing.raw.size();
    existing = std::move(*line);
    return IniSetResult::kChanged;
  }

  std::optional<Line> line = makeKeyLine(keyName);
  if (!line) return IniSetResult::kRejected;
  const std::size_t at = target.lastKey ? *target.lastKey + 1 : 0;
  Line& before = target.lastKey ? target.lines[*target.lastKey] : target.header;
  if (!before.HasLineEnd()) {
    before.raw.append(kLineEnd);
    byteCount_ += kLineEnd.size();
  }
  byteCount_ += line->raw.size();
  target.lines.insert(target.lines.begin() + static_cast<std::ptrdiff_t>(at), std::move(*line));
  target.keys.emplace(keyKey, at);
  target.lastKey = at;
  return IniSetResult::kChanged;
}

std::string IniDocument::Serialize() const {
  std::string bytes;
  bytes.reserve(byteCount_);
  for (const Section& section : sections_) {
    if (section.hasHeader) bytes += section.header.raw;
    for (const Line& line : section.lines) bytes += line.raw;
  }
  return bytes;
}

}  // namespace lectoria
