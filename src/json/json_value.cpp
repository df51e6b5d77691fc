#include "json/json_value.h"

#include <cmath>

#include "json/keyed_hash.h"

namespace lectoria {
namespace {

constexpr std::size_t kIndexThreshold = 16;
constexpr std::uint32_t kEmptySlot = 0xFFFFFFFFu;

// Keyed per process, so that a reply cannot bring names that collide (see keyed_hash.h).
std::size_t HashName(std::string_view name) {
  return static_cast<std::size_t>(json::HashMemberName(name));
}

}  // namespace

JsonValue::JsonValue() : data_(NullTag{}) {}
JsonValue::JsonValue(Data data) : data_(std::move(data)) {}
JsonValue::JsonValue(JsonValue&& other) noexcept = default;
JsonValue& JsonValue::operator=(JsonValue&& other) noexcept = default;
JsonValue::~JsonValue() = default;

JsonValue JsonValue::Undefined() {
  return JsonValue(Data(UndefinedTag{}));
}
JsonValue JsonValue::Boolean(bool value) {
  return JsonValue(Data(value));
}
JsonValue JsonValue::Number(double value) {
  return JsonValue(Data(value));
}
JsonValue JsonValue::String(std::string text) {
  return JsonValue(Data(std::in_place_type<std::string>, std::move(text)));
}
JsonValue JsonValue::Array(JsonArray elements) {
  return JsonValue(Data(std::in_place_type<JsonArray>, std::move(elements)));
}
JsonValue JsonValue::Object() {
  return JsonValue(Data(std::in_place_type<ObjectPtr>, std::make_unique<JsonObject>()));
}

JsonValue JsonValue::Clone(bool asJson) const {
  switch (type()) {
    case Type::kUndefined:
      return asJson ? JsonValue() : Undefined();
    case Type::kNull:
      return JsonValue();
    case Type::kBoolean:
      return Boolean(AsBoolean());
    case Type::kNumber:
      return asJson && !std::isfinite(AsNumber()) ? JsonValue() : Number(AsNumber());
    case Type::kString:
      return String(AsString());
    case Type::kArray: {
      JsonArray elements;
      elements.reserve(AsArray().size());
      for (const JsonValue& element : AsArray()) elements.push_back(element.Clone(asJson));
      return Array(std::move(elements));
    }
    case Type::kObject: {
      JsonValue copy = Object();
      copy.AsObject() = AsObject().Clone(asJson);
      return copy;
    }
  }
  return JsonValue();
}

JsonObject::JsonObject() = default;
JsonObject::JsonObject(JsonObject&& other) noexcept = default;
JsonObject& JsonObject::operator=(JsonObject&& other) noexcept = default;
JsonObject::~JsonObject() = default;

JsonObject JsonObject::Clone(bool asJson) const {
  JsonObject copy;
  copy.members_.reserve(members_.size());
  for (const Member& member : members_) {
    copy.members_.push_back(Member{member.name, member.value.Clone(asJson)});
  }
  copy.slots_ = slots_;  // same names at the same positions
  return copy;
}

std::size_t JsonObject::FindIndex(std::string_view name) const {
  if (slots_.empty()) {
    for (std::size_t i = 0; i < members_.size(); ++i) {
      if (members_[i].name == name) return i;
    }
    return members_.size();
  }
  const std::size_t mask = slots_.size() - 1;
  for (std::size_t slot = HashName(name) & mask;; slot = (slot + 1) & mask) {
    const std::uint32_t index = slots_[slot];
    if (index == kEmptySlot) return members_.size();
    if (members_[index].name == name) return index;
  }
}

const JsonValue* JsonObject::Find(std::string_view name) const {
  const std::size_t index = FindIndex(name);
  return index < members_.size() ? &members_[index].value : nullptr;
}

JsonValue* JsonObject::Find(std::string_view name) {
  const std::size_t index = FindIndex(name);
  return index < members_.size() ? &members_[index].value : nullptr;
}

JsonValue& JsonObject::Set(std::string_view name, JsonValue value) {
  const std::size_t index = FindIndex(name);
  if (index < members_.size()) {
    members_[index].value = std::move(value);
    return members_[index].value;
  }
  members_.push_back(Member{std::string(name), std::move(value)});
  if (members_.size() > kIndexThreshold) {
    if (slots_.size() < members_.size() * 2) {
      RebuildIndex();
    } else {
      AddToIndex(static_cast<std::uint32_t>(members_.size() - 1));
    }
  }
  return members_.back().value;
}

bool JsonObject::Erase(std::string_view name) {
  const std::size_t index = FindIndex(name);
  if (index >= members_.size()) return false;
  members_.erase(members_.begin() + static_cast<std::ptrdiff_t>(index));
  // Positions after the removed member moved down: rebuild (removal is rare).
  if (members_.size() > kIndexThreshold) {
    RebuildIndex();
  } else {
    slots_.clear();
  }
  return true;
}

void JsonObject::RebuildIndex() {
  std::size_t size = 64;
  while (size < members_.size() * 4) size *= 2;
  slots_.assign(size, kEmptySlot);
  for (std::size_t i = 0; i < members_.size(); ++i) AddToIndex(static_cast<std::uint32_t>(i));
}

void JsonObject::AddToIndex(std::uint32_t memberIndex) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = HashName(members_[memberIndex].name) & mask;
  while (slots_[slot] != kEmptySlot) slot = (slot + 1) & mask;
  slots_[slot] = memberIndex;
}

}  // namespace lectoria
