#include "json/json_path.h"

#include "json/gbk_unicode.h"
#include "platform/gbk_text.h"

namespace lectoria::json {
namespace {

bool IsDigit(unsigned char c) {
  return c >= '0' && c <= '9';
}

bool IsNameChar(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsDigit(c) || c == '_' || c == '$' ||
         c >= 0x80;
}

// Reads "[" integer "]" at `pos`.
bool ReadIndexStep(std::string_view text, std::size_t& pos, PathStep& step) {
  ++pos;  // "["
  const bool negative = pos < text.size() && text[pos] == '-';
  if (negative) ++pos;
  const std::size_t digitsStart = pos;
  while (pos < text.size() && IsDigit(static_cast<unsigned char>(text[pos]))) ++pos;
  if (pos == digitsStart || pos >= text.size() || text[pos] != ']') return false;
  std::string_view digits = text.substr(digitsStart, pos - digitsStart);
  ++pos;  // "]"
  while (digits.size() > 1 && digits[0] == '0') digits.remove_prefix(1);
  // Saturate: an index past 10^15 is as unreachable as any larger one.
  std::int64_t value = 0;
  for (const char c : digits) {
    value = value * 10 + (c - '0');
    if (value > 1'000'000'000'000'000) break;
  }
  const bool isZero = digits == "0";
  step.isIndex = true;
  step.index = negative ? -value : value;
  step.name.clear();
  if (negative && !isZero) step.name.push_back('-');
  step.name.append(digits);
  return true;
}

// The child of `node` named by `step`, or nullptr when it has none. `node` is not nullish.
JsonValue* Child(JsonValue& node, const PathStep& step) {
  if (node.IsObject()) return node.AsObject().Find(step.name);
  if (node.IsArray() && step.isIndex) {
    JsonArray& elements = node.AsArray();
    if (step.index >= 0 && static_cast<std::uint64_t>(step.index) < elements.size()) {
      return &elements[static_cast<std::size_t>(step.index)];
    }
  }
  return nullptr;
}

// Reads the member accesses of `text`; with `startsWithName`, text begins with a member name
// as if a "." stood before it.
bool ParseSteps(std::string_view text, bool startsWithName, PathSteps& steps) {
  steps.clear();
  std::size_t pos = 0;
  bool name = startsWithName;
  while (pos < text.size() || name) {
    PathStep step;
    if (!name && text[pos] == '[') {
      if (!ReadIndexStep(text, pos, step)) return false;
    } else if (name || text[pos] == '.') {
      if (!name) ++pos;
      name = false;
      const std::size_t start = pos;
      if (pos >= text.size() || IsDigit(static_cast<unsigned char>(text[pos]))) return false;
      while (pos < text.size() && IsNameChar(static_cast<unsigned char>(text[pos]))) {
        pos += GbkCharLength(text, pos);
      }
      if (pos == start) return false;
      const std::string_view member = text.substr(start, pos - start);
      step.name = IsAscii(member) ? std::string(member) : GbkToInternal(member);
    } else {
      return false;
    }
    steps.push_back(std::move(step));
  }
  return true;
}

}  // namespace

PathStep NameStep(std::string name) {
  return PathStep{false, 0, std::move(name)};
}

PathStep IndexStep(std::int64_t index) {
  return PathStep{true, index, std::to_string(index)};
}

bool ParsePathSteps(std::string_view text, PathSteps& steps) {
  return ParseSteps(text, false, steps);
}

Lookup Walk(JsonValue& root, const PathSteps& steps, std::size_t count) {
  JsonValue* node = &root;
  for (std::size_t i = 0; i < count; ++i) {
    if (node == nullptr || node->IsNullish()) return Lookup{LookupStatus::kError, nullptr};
    node = Child(*node, steps[i]);
  }
  if (node == nullptr) return Lookup{LookupStatus::kMissing, nullptr};
  return Lookup{LookupStatus::kFound, node};
}

bool ResolvePathSteps(JsonValue& root, std::string_view path, PathSteps& steps,
                      std::string* absolute) {
  steps.reserve(4);
  if (StartsWith(path, kRootName) && ParsePathSteps(path.substr(kRootName.size()), steps) &&
      Walk(root, steps).Exists()) {
    if (absolute != nullptr) absolute->assign(path);
    return true;
  }
  // "da" + path for the empty path and a path starting with "[", "da." + path otherwise.
  const bool startsWithName = !path.empty() && path[0] != '[';
  if (absolute != nullptr) {
    absolute->assign(kRootName);
    if (startsWithName) absolute->push_back('.');
    absolute->append(path);
  }
  return ParseSteps(path, startsWithName, steps);
}

}  // namespace lectoria::json
