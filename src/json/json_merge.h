// The merge rule of a JSON-mode SetValue on an existing object.
#pragma once

#include "json/json_value.h"

namespace lectoria::json {

/// Merges `source` into `target`, member by member in the source's order:
///  - a member the target lacks, or holds as a string, boolean, number or null, takes the
///    source's value (a new member goes to the end);
///  - a target object member is merged with a source object by the same rule;
///  - a target array member gets a source array's elements appended;
///  - a target object or array member is left as it is when the source's value is of another
///    kind (a container is never replaced by a merge).
void MergeInto(JsonObject& target, JsonObject&& source);

}  // namespace lectoria::json
