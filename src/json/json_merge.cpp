#include "json/json_merge.h"

#include <iterator>

namespace lectoria::json {

void MergeInto(JsonObject& target, JsonObject&& source) {
  for (std::size_t i = 0; i < source.size(); ++i) {
    const std::string& name = source.MemberAt(i).name;
    JsonValue& value = source.ValueAt(i);
    JsonValue* existing = target.Find(name);
    if (existing == nullptr || (!existing->IsObject() && !existing->IsArray())) {
      target.Set(name, std::move(value));
    } else if (existing->IsObject()) {
      if (value.IsObject()) MergeInto(existing->AsObject(), std::move(value.AsObject()));
    } else if (value.IsArray()) {
      JsonArray& elements = existing->AsArray();
      JsonArray& added = value.AsArray();
      elements.insert(elements.end(), std::make_move_iterator(added.begin()),
                      std::make_move_iterator(added.end()));
    }
  }
}

}  // namespace lectoria::json
