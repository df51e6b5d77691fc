#include "json/json_writer.h"

#include <cmath>
#include <string_view>

#include "json/gbk_unicode.h"
#include "json/number_text.h"

namespace lectoria::json {
namespace {

// The characters written as "\u" escapes besides the C0 controls.
bool NeedsUnicodeEscape(char32_t cp) {
  return (cp >= 0x7F && cp <= 0x9F) || cp == 0xAD || (cp >= 0x600 && cp <= 0x604) || cp == 0x70F ||
         cp == 0x17B4 || cp == 0x17B5 || (cp >= 0x200C && cp <= 0x200F) ||
         (cp >= 0x2028 && cp <= 0x202F) || (cp >= 0x2060 && cp <= 0x206F) || cp == 0xFEFF ||
         (cp >= 0xFFF0 && cp <= 0xFFFF);
}

void AppendUnicodeEscape(std::string& out, char32_t cp) {
  static constexpr char kHex[] = "0123456789abcdef";
  out += "\\u";
  for (int shift = 12; shift >= 0; shift -= 4) out.push_back(kHex[(cp >> shift) & 0xF]);
}

void AppendQuoted(std::string& out, std::string_view text) {
  out.push_back('"');
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = pos;
    while (pos < text.size()) {
      const unsigned char c = static_cast<unsigned char>(text[pos]);
      if (c < 0x20 || c == '"' || c == '\\' || c >= 0x7F) break;
      ++pos;
    }
    out.append(text, start, pos - start);
    if (pos >= text.size()) break;
    const std::size_t charStart = pos;
    const char32_t cp = DecodeUtf8(text, pos);
    switch (cp) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\b':
        out += "\\b";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\f':
        out += "\\f";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (cp < 0x20 || NeedsUnicodeEscape(cp)) {
          AppendUnicodeEscape(out, cp);
        } else {
          out.append(text, charStart, pos - charStart);
        }
    }
  }
  out.push_back('"');
}

void AppendJsonNumber(std::string& out, double x) {
  if (std::isfinite(x)) {
    AppendNumberText(out, x);
  } else {
    out += "null";
  }
}

}  // namespace

void AppendJsonForm(std::string& out, const JsonValue& value) {
  switch (value.type()) {
    case JsonValue::Type::kUndefined:
      return;
    case JsonValue::Type::kNull:
      out += "null";
      return;
    case JsonValue::Type::kBoolean:
      out += value.AsBoolean() ? "true" : "false";
      return;
    case JsonValue::Type::kNumber:
      AppendJsonNumber(out, value.AsNumber());
      return;
    case JsonValue::Type::kString:
      AppendQuoted(out, value.AsString());
      return;
    case JsonValue::Type::kArray: {
      out.push_back('[');
      bool first = true;
      for (const JsonValue& element : value.AsArray()) {
        if (!first) out.push_back(',');
        first = false;
        if (element.type() == JsonValue::Type::kUndefined) {
          out += "null";
        } else {
          AppendJsonForm(out, element);
        }
      }
      out.push_back(']');
      return;
    }
    case JsonValue::Type::kObject: {
      out.push_back('{');
      bool first = true;
      const JsonObject& object = value.AsObject();
      for (std::size_t i = 0; i < object.size(); ++i) {
        const JsonObject::Member& member = object.MemberAt(i);
        if (member.value.type() == JsonValue::Type::kUndefined) continue;
        if (!first) out.push_back(',');
        first = false;
        AppendQuoted(out, member.name);
        out.push_back(':');
        AppendJsonForm(out, member.value);
      }
      out.push_back('}');
      return;
    }
  }
}

void AppendTextForm(std::string& out, const JsonValue& value) {
  switch (value.type()) {
    case JsonValue::Type::kUndefined:
    case JsonValue::Type::kNull:
      return;
    case JsonValue::Type::kBoolean:
      out += value.AsBoolean() ? "true" : "false";
      return;
    case JsonValue::Type::kNumber:
      AppendNumberText(out, value.AsNumber());
      return;
    case JsonValue::Type::kString:
      out += value.AsString();
      return;
    case JsonValue::Type::kArray: {
      bool first = true;
      for (const JsonValue& element : value.AsArray()) {
        if (!first) out.push_back(',');
        first = false;
        AppendTextForm(out, element);
      }
      return;
    }
    case JsonValue::Type::kObject:
      out += "[object Object]";
      return;
  }
}

}  // namespace lectoria::json
