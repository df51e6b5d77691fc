#include "json/json_document.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "json/gbk_unicode.h"
#include "json/json_merge.h"
#include "json/json_parser.h"
#include "json/json_path.h"
#include "json/json_writer.h"
#include "json/number_text.h"
#include "platform/gbk_text.h"

namespace lectoria {
namespace {

using json::Lookup;
using json::LookupStatus;
using json::PathSteps;

// "[2020年7月20日20时0分0秒]" in GBK.
constexpr char kSeparatorBytes[] =
    "[2020\xC4\xEA"  // 年
    "7\xD4\xC2"      // 月
    "20\xC8\xD5"     // 日
    "20\xCA\xB1"     // 时
    "0\xB7\xD6"      // 分
    "0\xC3\xEB]";    // 秒

// How far one write may extend an array with holes. A script engine makes a sparse array out
// of "a[2000000000] = 1"; a dense tree would have to allocate every hole, so such writes fail.
constexpr std::int64_t kMaxArrayGrowth = 1 << 16;

// SetNumber keeps the 13 significant digits of "%.13g".
constexpr int kSetNumberDigits = 13;

// The nesting a value may have when it is stored `steps` member accesses below the root.
int DepthLimitAt(std::size_t steps) {
  return steps >= static_cast<std::size_t>(json::kMaxDepth)
             ? 0
             : json::kMaxDepth - static_cast<int>(steps);
}

// The caller's path made absolute and followed. `valid` is false for a path that is not valid
// syntax, which behaves like a step below a missing node.
struct Target {
  bool valid = false;
  PathSteps steps;

  Lookup Find(JsonValue& root) const {
    return valid ? json::Walk(root, steps) : Lookup{LookupStatus::kError, nullptr};
  }
};

Target ResolveTarget(JsonValue& root, std::string_view path) {
  Target target;
  target.valid = json::ResolvePathSteps(root, path, target.steps);
  return target;
}

// Stores `value` at `steps`: the root itself, a member of an object (an index step names the
// member by its decimal text) or an element of an array (extending it with holes). The parent
// must exist; members of primitives cannot be set.
bool AssignAt(JsonValue& root, const PathSteps& steps, JsonValue value) {
  if (steps.empty()) {
    root = std::move(value);
    return true;
  }
  const Lookup parent = json::Walk(root, steps, steps.size() - 1);
  if (!parent.Exists()) return false;
  const json::PathStep& last = steps.back();
  if (parent.node->IsObject()) {
    parent.node->AsObject().Set(last.name, std::move(value));
    return true;
  }
  if (!parent.node->IsArray() || !last.isIndex || last.index < 0) return false;
  JsonArray& elements = parent.node->AsArray();
  const auto size = static_cast<std::int64_t>(elements.size());
  if (last.index < size) {
    elements[static_cast<std::size_t>(last.index)] = std::move(value);
    return true;
  }
  if (last.index - size > kMaxArrayGrowth) return false;
  elements.reserve(static_cast<std::size_t>(last.index) + 1);
  while (static_cast<std::int64_t>(elements.size()) < last.index) {
    elements.push_back(JsonValue::Undefined());
  }
  elements.push_back(std::move(value));
  return true;
}

// The value of a SetValue, AddElement or SetElement argument: a string, or parsed JSON
// nested at most `maxDepth` deep. False when the JSON does not parse.
bool MakeValue(std::string_view text, bool isJson, bool markBackslashes, int maxDepth,
               JsonValue& value) {
  if (!isJson) {
    value = JsonValue::String(json::GbkToInternal(text, markBackslashes));
    return true;
  }
  return json::ParseJson(text, maxDepth, value);
}

// The JSON form of a found node in GBK; the empty text for a hole.
std::string JsonFormText(const JsonValue& node) {
  std::string internal;
  json::AppendJsonForm(internal, node);
  return json::InternalToGbk(internal, true);
}

// The text form of a found node in GBK.
std::string TextFormText(const JsonValue& node) {
  if (node.IsString()) return json::InternalToGbk(node.AsString(), true);
  std::string internal;
  json::AppendTextForm(internal, node);
  return json::InternalToGbk(internal, true);
}

std::string TextOf(const Lookup& found, bool asJson) {
  if (found.status != LookupStatus::kFound) return {};
  return asJson ? JsonFormText(*found.node) : TextFormText(*found.node);
}

// Appends the values below `node` for GetAllValues, each preceded by the separator but the
// first.
void CollectValues(const JsonValue& node, bool recursive, std::string& joined, bool& first) {
  const auto visit = [&](const JsonValue& member) {
    switch (member.type()) {
      case JsonValue::Type::kString:
      case JsonValue::Type::kNumber:
      case JsonValue::Type::kBoolean:
        if (!first) joined += kJsonValueSeparator;
        first = false;
        joined += TextFormText(member);
        break;
      case JsonValue::Type::kArray:
      case JsonValue::Type::kObject:
        if (recursive) CollectValues(member, recursive, joined, first);
        break;
      case JsonValue::Type::kUndefined:
      case JsonValue::Type::kNull:
        break;
    }
  };
  if (node.IsObject()) {
    const JsonObject& object = node.AsObject();
    for (std::size_t i = 0; i < object.size(); ++i) visit(object.MemberAt(i).value);
  } else if (node.IsArray()) {
    for (const JsonValue& element : node.AsArray()) visit(element);
  }
}

int ClampCount(std::size_t count) {
  return static_cast<int>(std::min<std::size_t>(count, 0x7FFFFFFF));
}

}  // namespace

const std::string_view kJsonValueSeparator(kSeparatorBytes, sizeof kSeparatorBytes - 1);

struct JsonDocument::State {
  explicit State(JsonValue value) : root(std::move(value)) {}
  JsonValue root;
};

JsonDocument::JsonDocument() {
  Init();
}
JsonDocument::JsonDocument(const JsonDocument& other) = default;
JsonDocument& JsonDocument::operator=(const JsonDocument& other) = default;
JsonDocument::JsonDocument(JsonDocument&& other) noexcept = default;
JsonDocument& JsonDocument::operator=(JsonDocument&& other) noexcept = default;
JsonDocument::~JsonDocument() = default;

void JsonDocument::Destroy() {
  state_.reset();
}

JsonDocument JsonDocument::Copy() const {
  return *this;
}

void JsonDocument::Init() {
  state_ = std::make_shared<State>(JsonValue::Object());
}

bool JsonDocument::Parse(std::string_view text, bool direct, JsonErrorInfo* errorInfo) {
  (void)direct;  // both modes read exactly JSON
  if (errorInfo != nullptr) *errorInfo = JsonErrorInfo{};
  if (!state_) return false;
  // A fresh document: other handles keep the old one.
  state_ = std::make_shared<State>(JsonValue());
  JsonValue value;
  json::ParseFailure failure;
  if (json::ParseJson(text, json::kMaxDepth, value, &failure)) {
    state_->root = std::move(value);
  } else if (errorInfo != nullptr) {
    errorInfo->Number = failure.number;
    errorInfo->Source = "JsonDocument.Parse";
    errorInfo->Description = failure.message;
    json::LocateOffset(text, failure.offset, errorInfo->Line, errorInfo->Column, errorInfo->Text);
  }
  return !state_->root.IsNullish();
}

void JsonDocument::Clear() {
  if (state_) state_->root = JsonValue::Object();
}

std::string JsonDocument::ToJson() const {
  if (!state_) return {};
  return JsonFormText(state_->root);
}

bool JsonDocument::SetValue(std::string_view path, std::string_view value, bool valueIsJson) {
  if (!state_) return false;
  JsonValue& root = state_->root;
  const Target target = ResolveTarget(root, path);
  if (!target.valid) return false;
  if (valueIsJson && value.empty()) value = "{}";
  JsonValue parsed;
  if (!MakeValue(value, valueIsJson, true, DepthLimitAt(target.steps.size()), parsed)) {
    return false;
  }
  if (valueIsJson) {
    const Lookup node = target.Find(root);
    if (node.status == LookupStatus::kFound && node.node->IsObject()) {
      if (!parsed.IsObject()) return false;
      json::MergeInto(node.node->AsObject(), std::move(parsed.AsObject()));
      return true;
    }
  }
  return AssignAt(root, target.steps, std::move(parsed));
}

bool JsonDocument::SetJson(std::string_view path, std::string_view json) {
  if (!state_) return false;
  const Target target = ResolveTarget(state_->root, path);
  JsonValue parsed;
  if (!target.valid || !json::ParseJson(json, DepthLimitAt(target.steps.size()), parsed)) {
    return false;
  }
  return AssignAt(state_->root, target.steps, std::move(parsed));
}

bool JsonDocument::ResolvePath(std::string& path) const {
  if (!state_) return false;
  PathSteps steps;
  std::string absolute;
  const bool valid = json::ResolvePathSteps(state_->root, path, steps, &absolute);
  path = std::move(absolute);
  return valid && json::Walk(state_->root, steps).Exists();
}

bool JsonDocument::Exists(std::string_view path) const {
  if (!state_) return false;
  return ResolveTarget(state_->root, path).Find(state_->root).Exists();
}

JsonKind JsonDocument::KindOf(std::string_view path) const {
  if (!state_) return JsonKind::kOther;
  const Lookup found = ResolveTarget(state_->root, path).Find(state_->root);
  if (found.status == LookupStatus::kError) return JsonKind::kOther;
  if (found.status == LookupStatus::kMissing) return JsonKind::kNullOrMissing;
  switch (found.node->type()) {
    case JsonValue::Type::kUndefined:
    case JsonValue::Type::kNull:
      return JsonKind::kNullOrMissing;
    case JsonValue::Type::kBoolean:
      return JsonKind::kBoolean;
    case JsonValue::Type::kNumber:
      return JsonKind::kNumber;
    case JsonValue::Type::kString:
      return JsonKind::kString;
    case JsonValue::Type::kArray:
      return JsonKind::kArray;
    case JsonValue::Type::kObject:
      return JsonKind::kObject;
  }
  return JsonKind::kOther;
}

std::string JsonDocument::GetText(std::string_view path, bool asJson) const {
  if (!state_) return {};
  return TextOf(ResolveTarget(state_->root, path).Find(state_->root), asJson);
}

int JsonDocument::GetNames(std::vector<std::string>& names, std::string_view path) const {
  names.clear();
  if (!state_) return 0;
  const Lookup found = ResolveTarget(state_->root, path).Find(state_->root);
  if (found.status != LookupStatus::kFound || !found.node->IsObject()) return 0;
  const JsonObject& object = found.node->AsObject();
  std::string joined;
  for (std::size_t i = 0; i < object.size(); ++i) {
    if (i > 0) joined += "\r\n";
    json::AppendInternalAsGbk(joined, object.MemberAt(i).name, false);
  }
  names = SplitText(joined, "\r\n");
  return ClampCount(names.size());
}

int JsonDocument::GetCount(std::string_view path) const {
  if (!state_) return 0;
  const Lookup found = ResolveTarget(state_->root, path).Find(state_->root);
  if (found.status != LookupStatus::kFound || !found.node->IsArray()) return 0;
  return ClampCount(found.node->AsArray().size());
}

JsonDocument JsonDocument::DocumentOf(const JsonValue* node) {
  JsonDocument document;
  if (node == nullptr || node->type() == JsonValue::Type::kUndefined) {
    // Nothing to copy: the root is missing, so it reads as null and its JSON form is the empty
    // text, as that of any missing node ("the value at this path as JSON" stays empty).
    document.state_->root = JsonValue::Undefined();
  } else {
    // A copy as its JSON form would read back, except that backslash markers stay markers, so
    // that the copy reads back the same texts as the node it came from.
    document.state_->root = node->Clone(/*asJson=*/true);
  }
  return document;
}

JsonDocument JsonDocument::GetObject(std::string_view path) const {
  if (!state_) return DocumentOf(nullptr);
  const Lookup found = ResolveTarget(state_->root, path).Find(state_->root);
  return DocumentOf(found.status == LookupStatus::kFound ? found.node : nullptr);
}

bool JsonDocument::AddElement(std::string_view value, std::string_view path, bool valueIsJson,
                              bool atFront) {
  if (!state_) return false;
  JsonValue& root = state_->root;
  const Target target = ResolveTarget(root, path);
  JsonValue element;
  if (!target.valid ||
      !MakeValue(value, valueIsJson, false, DepthLimitAt(target.steps.size() + 1), element)) {
    return false;
  }
  const Lookup node = target.Find(root);
  if (node.status == LookupStatus::kFound && node.node->IsArray()) {
    JsonArray& elements = node.node->AsArray();
    elements.insert(atFront ? elements.begin() : elements.end(), std::move(element));
    return true;
  }
  JsonArray elements;
  elements.push_back(std::move(element));
  return AssignAt(root, target.steps, JsonValue::Array(std::move(elements)));
}

JsonDocument JsonDocument::GetElementObject(std::int32_t index, std::string_view path) const {
  if (!state_) return DocumentOf(nullptr);
  Target target = ResolveTarget(state_->root, path);
  target.steps.push_back(json::IndexStep(index));
  const Lookup found = target.Find(state_->root);
  return DocumentOf(found.status == LookupStatus::kFound ? found.node : nullptr);
}

std::string JsonDocument::GetElementText(std::int32_t index, std::string_view path,
                                         bool asJson) const {
  if (!state_) return {};
  Target target = ResolveTarget(state_->root, path);
  target.steps.push_back(json::IndexStep(index));
  return TextOf(target.Find(state_->root), asJson);
}

bool JsonDocument::SetElement(std::int32_t index, std::string_view path, std::string_view value,
                              bool valueIsJson) {
  if (!state_) return false;
  Target target = ResolveTarget(state_->root, path);
  target.steps.push_back(json::IndexStep(index));
  JsonValue element;
  if (!target.valid ||
      !MakeValue(value, valueIsJson, false, DepthLimitAt(target.steps.size()), element)) {
    return false;
  }
  return AssignAt(state_->root, target.steps, std::move(element));
}

bool JsonDocument::RemoveElement(std::int32_t index, std::string_view path) {
  if (!state_) return false;
  const Lookup found = ResolveTarget(state_->root, path).Find(state_->root);
  if (found.status != LookupStatus::kFound || !found.node->IsArray()) return false;
  JsonArray& elements = found.node->AsArray();
  const auto size = static_cast<std::int64_t>(elements.size());
  // As splice(index, 1): a negative index counts from the end.
  const std::int64_t start = index < 0 ? std::max<std::int64_t>(size + index, 0) : index;
  if (start >= size) return false;
  elements.erase(elements.begin() + static_cast<std::ptrdiff_t>(start));
  return true;
}

bool JsonDocument::Remove(std::string_view path) {
  if (!state_) return false;
  const Target target = ResolveTarget(state_->root, path);
  if (!target.valid || target.steps.empty()) return false;
  const Lookup parent = json::Walk(state_->root, target.steps, target.steps.size() - 1);
  if (!parent.Exists()) return false;
  const json::PathStep& last = target.steps.back();
  if (parent.node->IsObject()) return parent.node->AsObject().Erase(last.name);
  if (!parent.node->IsArray() || !last.isIndex || last.index < 0) return false;
  JsonArray& elements = parent.node->AsArray();
  if (static_cast<std::uint64_t>(last.index) >= elements.size()) return false;
  JsonValue& element = elements[static_cast<std::size_t>(last.index)];
  if (element.type() == JsonValue::Type::kUndefined) return false;
  element = JsonValue::Undefined();
  return true;
}

bool JsonDocument::SetNumber(std::string_view path, double number) {
  if (!state_ || !std::isfinite(number)) return false;
  const Target target = ResolveTarget(state_->root, path);
  if (!target.valid) return false;
  return AssignAt(state_->root, target.steps,
                  JsonValue::Number(json::RoundToSignificantDigits(number, kSetNumberDigits)));
}

double JsonDocument::GetNumber(std::string_view path) const {
  if (!state_) return 0;
  const Lookup found = ResolveTarget(state_->root, path).Find(state_->root);
  if (!found.Exists()) return 0;
  const JsonValue& node = *found.node;
  switch (node.type()) {
    case JsonValue::Type::kNumber:
      return node.AsNumber();
    case JsonValue::Type::kBoolean:
      return node.AsBoolean() ? 1 : 0;
    case JsonValue::Type::kString:
      return json::ReadJsonNumber(TrimSpaces(node.AsString())).value_or(0);
    default:
      return 0;
  }
}

std::string JsonDocument::GetJson(std::string_view path) const {
  return GetText(path, true);
}

std::shared_ptr<const JsonValue> JsonDocument::GetEngine() const {
  if (!state_) return nullptr;
  return std::shared_ptr<const JsonValue>(state_, &state_->root);
}

int JsonDocument::GetAllValues(std::vector<std::string>& values, std::string_view path,
                               bool recursive) const {
  values.clear();
  if (!state_) return 0;
  const Lookup found = ResolveTarget(state_->root, path).Find(state_->root);
  if (found.status != LookupStatus::kFound) return 0;
  std::string joined;
  bool first = true;
  CollectValues(*found.node, recursive, joined, first);
  values = SplitText(joined, kJsonValueSeparator);
  return ClampCount(values.size());
}

}  // namespace lectoria
