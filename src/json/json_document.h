// JsonDocument: one JSON value, read and changed by path.
//
// The speech client parses the service's replies with it and reads member texts, counts arrays
// and takes sub-trees out as documents of their own. All texts in and out are the program's GBK;
// inside, strings are Unicode, and characters that GBK cannot hold read back as "?".
//
// Paths. A path names a node below the root with member accesses: "name", "a.b.c", "[0]",
// "a.b[2].c", "[3].samples.styleSamples"; the empty path names the root. The root's own name is
// "da", and every operation first makes its path absolute (see ResolvePath): a path that begins
// with "da" and names an existing, non-null node as an absolute path is used as it is; any other
// path gets "da" or "da." put in front. Consequences: a top-level member "data" is still reached
// by its name; "da" names the root, not a member called "da"; "da.newKey" cannot create a member
// (it means the member newKey of a member da), while "newKey" can.
//
// Handles. A JsonDocument is a handle on a shared document: copying it (Copy, or the copy
// constructor) gives a second handle on the same document, and a change through one is seen
// through the other, until one of them runs Parse or Init, which gives that handle a fresh
// document of its own. GetObject and GetElementObject return independent documents.
//
// Backslash marker. A text-mode SetValue stores each backslash of its value as the character
// U+2400, and every text read back (GetText, GetJson, ToJson, GetElementText, GetAllValues)
// turns each U+2400 into a backslash again; so ToJson writes such a backslash unescaped.
//
// No operation throws or reports an error: failures give empty text, 0, false, no values, or a
// document whose root is null. A document is used by one thread at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "json/json_value.h"

namespace lectoria {

/// What KindOf reports for a node (there is no 3).
enum class JsonKind : std::int32_t {
  kNullOrMissing = 0,
  kBoolean = 1,
  kNumber = 2,
  kObject = 4,
  kArray = 5,
  kString = 6,
  kOther = -1,  // a node below a missing or null parent, or a path that is not valid syntax
};

/// Why a Parse failed, field by field as a script engine's error object reports it. All zero
/// and empty after a successful parse.
struct JsonErrorInfo {
  std::int32_t Number = 0;  // 1002 for a syntax error, 28 for nesting too deep
  std::string Source;       // "JsonDocument.Parse" when there was an error
  std::string Description;  // what was wrong, in English
  std::string HelpFile;     // always empty
  std::int32_t HelpContext = 0;
  std::string Text;         // the line of the text where the error was found
  std::int32_t Line = 0;    // 1-based
  std::int32_t Column = 0;  // 1-based, in bytes
};

/// The text that GetAllValues puts between values and splits at: "[2020年7月20日20时0分0秒]".
extern const std::string_view kJsonValueSeparator;

/// A handle on one JSON document (see the file comment).
class JsonDocument {
 public:
  /// A new document whose root is an empty object (runs Init).
  JsonDocument();
  /// Copy: a second handle on the same document.
  JsonDocument(const JsonDocument& other);
  JsonDocument& operator=(const JsonDocument& other);
  JsonDocument(JsonDocument&& other) noexcept;
  JsonDocument& operator=(JsonDocument&& other) noexcept;
  ~JsonDocument();

  /// Releases this handle's reference to its document; the document goes with its last handle.
  /// Afterwards this handle has no document: reads give neutral results, changes and Parse
  /// fail, until Init gives it a new one.
  void Destroy();

  /// A new handle on the same document.
  JsonDocument Copy() const;

  /// Gives this handle a fresh document whose root is an empty object.
  void Init();

  /// Parses `text` (JSON, RFC 8259) into a fresh document for this handle. On success the root
  /// is the parsed value; on failure the root is null. `direct` is accepted for compatibility:
  /// both modes read exactly JSON. `errorInfo`, when given, receives the cause of a failure
  /// (or zeros). Returns true when the root is not null, so the text "null" gives false.
  bool Parse(std::string_view text, bool direct = false, JsonErrorInfo* errorInfo = nullptr);

  /// Resets the root to an empty object.
  void Clear();

  /// The JSON form of the root (see GetText); "null" after a failed Parse.
  std::string ToJson() const;

  /// Sets the node at `path`. Text mode: the node becomes the string `value` (backslashes
  /// stored as the marker). JSON mode: an empty value counts as "{}"; an existing object node
  /// has the parsed object merged into it (missing, string, boolean, number and null members
  /// take the new value, object members merge, array members get the new elements appended);
  /// any other node is replaced by the parsed value. The node's parent must exist. Returns
  /// whether the document changed as asked.
  bool SetValue(std::string_view path, std::string_view value, bool valueIsJson = false);

  /// Replaces the node at `path` by the parsed JSON `json` (no merge).
  bool SetJson(std::string_view path, std::string_view json);

  /// Rewrites `path` as an absolute path ("da", "da[0].name", "da.x", ...) and returns whether
  /// that node exists and is not null.
  bool ResolvePath(std::string& path) const;

  /// The node at `path` exists and is not null.
  bool Exists(std::string_view path) const;

  /// The kind of the node at `path`: kNullOrMissing for null, a hole or a missing node;
  /// kOther below a missing or null parent.
  JsonKind KindOf(std::string_view path) const;

  /// The node's text form (asJson false): a string itself, a number in ECMAScript's form (3,
  /// 0.5, 1e+21, 1e-7), "true"/"false", an array its elements' text forms joined by ",", an
  /// object "[object Object]", null or missing the empty text. Or its compact JSON form (asJson
  /// true): "null" for null, the empty text for a missing node.
  std::string GetText(std::string_view path = {}, bool asJson = false) const;

  /// Replaces `names` by the member names of the object at `path`, in order, and returns their
  /// count; 0 for anything that is not an object. The names are joined by CR LF and split
  /// again, so a name holding CR LF splits and an empty last name is lost.
  int GetNames(std::vector<std::string>& names, std::string_view path = {}) const;

  /// The number of elements of the array at `path` (holes counted); 0 for anything else.
  int GetCount(std::string_view path = {}) const;

  /// An independent document holding a copy of the node at `path`. When the node is missing
  /// (or a hole), the new root is missing too: it reads as null, and its ToJson is the empty
  /// text, so "the JSON form of the node at a path" is empty for a path that does not resolve.
  JsonDocument GetObject(std::string_view path = {}) const;

  /// Adds `value` (a string, or parsed JSON) at the end of the array at `path`, or at its start
  /// with `atFront`. A node that is not an array is first replaced by an empty array.
  bool AddElement(std::string_view value, std::string_view path = {}, bool valueIsJson = false,
                  bool atFront = false);

  /// GetObject of element `index` of the node at `path`.
  JsonDocument GetElementObject(std::int32_t index, std::string_view path = {}) const;

  /// GetText of element `index` of the node at `path`.
  std::string GetElementText(std::int32_t index, std::string_view path = {},
                             bool asJson = false) const;

  /// Sets element `index` of the node at `path` to `value` (a string, or parsed JSON). Writing
  /// past the end of an array extends it with holes; on an object the index is a member name.
  bool SetElement(std::int32_t index, std::string_view path, std::string_view value,
                  bool valueIsJson = false);

  /// Removes element `index` of the array at `path`; later elements move down. A negative
  /// index counts from the end; an index past the end changes nothing.
  bool RemoveElement(std::int32_t index, std::string_view path = {});

  /// Removes the member at `path`; an array element leaves a hole (the count is unchanged).
  /// The root cannot be removed.
  bool Remove(std::string_view path);

  /// Sets the node at `path` to `number` rounded to 13 significant digits. Fails for NaN and
  /// infinities.
  bool SetNumber(std::string_view path, double number);

  /// The number at `path`; a string holding a JSON number gives that number, true 1, and
  /// anything else (including a missing node) 0.
  double GetNumber(std::string_view path) const;

  /// GetText(path, true).
  std::string GetJson(std::string_view path = {}) const;

  /// There is no script engine: this gives the nearest thing, a shared read-only handle on the
  /// document's root node. It keeps the document alive and sees later changes made through
  /// any handle on that document; null when this handle has no document.
  std::shared_ptr<const JsonValue> GetEngine() const;

  /// Replaces `values` by the text forms of the members (or elements) of the node at `path`,
  /// in order: strings, numbers and booleans give their text, null and holes nothing, and
  /// objects and arrays are visited the same way when `recursive`, skipped otherwise. The
  /// values are joined by kJsonValueSeparator and split again, so an empty last value is lost.
  /// Returns the count.
  int GetAllValues(std::vector<std::string>& values, std::string_view path = {},
                   bool recursive = false) const;

 private:
  struct State;

  /// A new document holding a JSON copy of `node`, or null when there is none.
  static JsonDocument DocumentOf(const JsonValue* node);

  std::shared_ptr<State> state_;  // null after Destroy
};

}  // namespace lectoria
