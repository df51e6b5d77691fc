// Paths into a JSON tree and the rule that makes a caller's path absolute.
//
// An absolute path is the root's name "da" followed by member accesses: "." and a name
// (letters, non-ASCII characters, digits, "_" and "$", not starting with a digit) or an integer
// index in brackets, e.g. "da.voices[3].name". Following a path behaves as member access in a
// script: a member of a missing or null node is an error, a member a node does not have is
// missing, and a primitive (string, number, boolean) has no members.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "json/json_value.h"

namespace lectoria::json {

/// The name of the root in absolute paths.
inline constexpr std::string_view kRootName = "da";

/// One member access: a name, or an index in brackets.
struct PathStep {
  bool isIndex = false;
  std::int64_t index = 0;  // index steps: the value, saturated far beyond any array size
  std::string name;        // name steps: the name (internal text); index steps: index in decimal
};

using PathSteps = std::vector<PathStep>;

/// A name step / an index step.
PathStep NameStep(std::string name);
PathStep IndexStep(std::int64_t index);

/// Reads the member accesses of `text` (GBK), e.g. ".a[2].b"; the empty text has none.
/// False on a syntax error.
bool ParsePathSteps(std::string_view text, PathSteps& steps);

enum class LookupStatus {
  kFound,    // the node exists (it may be null or a hole)
  kMissing,  // its parent exists but has no such member or element
  kError,    // a step before the last reached a missing, null or hole node
};

struct Lookup {
  LookupStatus status = LookupStatus::kError;
  JsonValue* node = nullptr;  // set when kFound

  /// The node exists and is neither null nor a hole.
  bool Exists() const { return status == LookupStatus::kFound && !node->IsNullish(); }
};

/// Follows the first `count` steps from `root`.
Lookup Walk(JsonValue& root, const PathSteps& steps, std::size_t count);
inline Lookup Walk(JsonValue& root, const PathSteps& steps) {
  return Walk(root, steps, steps.size());
}

/// Makes the caller's `path` (GBK) absolute and reads its steps below the root:
///  1. a path beginning with "da" is kept when, read as an absolute path, it names a node that
///     exists and is not null;
///  2. otherwise the empty path becomes "da",
///  3. a path beginning with "[" becomes "da" + path,
///  4. and any other path "da." + path.
/// So a top-level member "data" is reached by its name, "da" names the root, and "da.newKey"
/// names the member newKey of a member da. Returns false when the absolute path is not valid
/// syntax. `absolute`, when given, receives the absolute path text.
bool ResolvePathSteps(JsonValue& root, std::string_view path, PathSteps& steps,
                      std::string* absolute = nullptr);

}  // namespace lectoria::json
