// The two ways a node is written out: its JSON form and its text form (what a script engine's
// JSON.stringify and toString give). Both produce internal Unicode text; the document converts
// it to GBK and turns backslash markers into backslashes.
#pragma once

#include <string>

#include "json/json_value.h"

namespace lectoria::json {

/// Appends the compact JSON form of `value`: no white space; object members in order (members
/// whose value is undefined left out); holes and non-finite numbers as null; numbers in
/// ECMAScript's form; strings quoted, with `"` and `\` escaped, \b \t \n \f \r for those
/// controls, and "\u" plus four lower-case hex digits for the other controls and the invisible
/// or separator characters (U+007F-U+009F, U+00AD, U+0600-U+0604, U+070F, U+17B4, U+17B5,
/// U+200C-U+200F, U+2028-U+202F, U+2060-U+206F, U+FEFF, U+FFF0-U+FFFF). An undefined value
/// appends nothing.
void AppendJsonForm(std::string& out, const JsonValue& value);

/// Appends the text form of `value`: a string itself; a number in ECMAScript's form; "true" or
/// "false"; an array its elements' text forms joined by "," (null and holes giving nothing);
/// an object "[object Object]"; null and undefined nothing.
void AppendTextForm(std::string& out, const JsonValue& value);

}  // namespace lectoria::json
