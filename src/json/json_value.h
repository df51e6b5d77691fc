// The JSON value tree held by a JsonDocument.
//
// Strings (and member names) are internal Unicode text: UTF-8, with lone surrogates kept as
// WTF-8 (see json/gbk_unicode.h). Besides JSON's six kinds a node can be "undefined": a hole in
// an array, left by removing an element or by writing past the end. A hole reads like a missing
// node and is written as null.
//
// Trees are deliberately move-only: copying one is a deep copy and is spelled Clone().
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace lectoria {

class JsonObject;
class JsonValue;

/// The elements of an array node.
using JsonArray = std::vector<JsonValue>;

/// One node of a JSON tree.
class JsonValue {
 public:
  enum class Type : std::uint8_t { kUndefined, kNull, kBoolean, kNumber, kString, kArray, kObject };

  /// A null node.
  JsonValue();
  JsonValue(JsonValue&& other) noexcept;
  JsonValue& operator=(JsonValue&& other) noexcept;
  JsonValue(const JsonValue&) = delete;
  JsonValue& operator=(const JsonValue&) = delete;
  ~JsonValue();

  static JsonValue Undefined();
  static JsonValue Boolean(bool value);
  static JsonValue Number(double value);
  static JsonValue String(std::string text);
  static JsonValue Array(JsonArray elements = {});
  static JsonValue Object();

  /// A deep copy. With `asJson`, the copy is what writing the node as JSON and reading that
  /// back gives: holes and non-finite numbers become null.
  JsonValue Clone(bool asJson = false) const;

  Type type() const { return static_cast<Type>(data_.index()); }
  /// Undefined or null: the nodes a script engine compares equal to null.
  bool IsNullish() const { return type() == Type::kUndefined || type() == Type::kNull; }
  bool IsArray() const { return type() == Type::kArray; }
  bool IsObject() const { return type() == Type::kObject; }
  bool IsString() const { return type() == Type::kString; }

  // Accessors; each requires the matching type().
  bool AsBoolean() const { return *std::get_if<bool>(&data_); }
  double AsNumber() const { return *std::get_if<double>(&data_); }
  const std::string& AsString() const { return *std::get_if<std::string>(&data_); }
  const JsonArray& AsArray() const { return *std::get_if<JsonArray>(&data_); }
  JsonArray& AsArray() { return *std::get_if<JsonArray>(&data_); }
  const JsonObject& AsObject() const { return **std::get_if<ObjectPtr>(&data_); }
  JsonObject& AsObject() { return **std::get_if<ObjectPtr>(&data_); }

 private:
  struct UndefinedTag {};
  struct NullTag {};
  using ObjectPtr = std::unique_ptr<JsonObject>;
  // The alternatives are in the order of Type.
  using Data = std::variant<UndefinedTag, NullTag, bool, double, std::string, JsonArray, ObjectPtr>;

  explicit JsonValue(Data data);

  Data data_;
};

/// The members of an object node, in insertion order. A name occurs at most once; setting an
/// existing name replaces its value in place. Large objects keep an index of their names,
/// hashed with a per-process random key, so that building and reading them stays linear even
/// for names chosen to collide.
class JsonObject {
 public:
  struct Member {
    std::string name;
    JsonValue value;
  };

  JsonObject();
  JsonObject(JsonObject&& other) noexcept;
  JsonObject& operator=(JsonObject&& other) noexcept;
  ~JsonObject();

  /// A deep copy (see JsonValue::Clone).
  JsonObject Clone(bool asJson) const;

  std::size_t size() const { return members_.size(); }
  bool empty() const { return members_.empty(); }
  const Member& MemberAt(std::size_t i) const { return members_[i]; }
  JsonValue& ValueAt(std::size_t i) { return members_[i].value; }

  /// The value of the member `name` (internal text), or nullptr.
  const JsonValue* Find(std::string_view name) const;
  JsonValue* Find(std::string_view name);

  /// Sets member `name` to `value`: a new name is appended, an existing one keeps its place.
  /// Returns the stored value.
  JsonValue& Set(std::string_view name, JsonValue value);

  /// Removes member `name`; false when there is none.
  bool Erase(std::string_view name);

 private:
  std::size_t FindIndex(std::string_view name) const;
  void RebuildIndex();
  void AddToIndex(std::uint32_t memberIndex);

  std::vector<Member> members_;
  // Open-addressing hash table of member positions, used once the object is large; empty
  // otherwise. Its size is a power of two at least twice the member count.
  std::vector<std::uint32_t> slots_;
};

}  // namespace lectoria
