// Fuzz target: Parse of any bytes, whose JSON form must read back to itself. Then the first line
// of the input serves as a path into the rest (read as JSON): reads and writes there must
// neither crash nor leave a document whose JSON form does not read back.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "json/json_document.h"
#include "platform/gbk_text.h"

namespace {

using lectoria::JsonDocument;

void Check(bool condition) {
  if (!condition) std::abort();
}

// A parsed "\u2400" is the backslash marker and is written back as a bare backslash, which
// need not be valid JSON; such texts are exempt from the read-back check.
bool MayHoldMarker(std::string_view text) {
  return lectoria::FindTextIgnoreCase(text, "u2400") != std::string::npos;
}

// ToJson of `document` parses again and is written back unchanged.
void CheckRoundTrip(const JsonDocument& document, bool mayHoldMarker) {
  const std::string json = document.ToJson();
  JsonDocument again;
  const bool parsed = again.Parse(json);
  if (!mayHoldMarker) Check(parsed || json == "null");
  if (parsed) Check(again.ToJson() == json);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bool marker = MayHoldMarker(text);

  JsonDocument document;
  lectoria::JsonErrorInfo error;
  const bool parsed = document.Parse(text, false, &error);
  if (!parsed) Check(document.ToJson() == "null");
  CheckRoundTrip(document, marker);
  Check(document.GetObject("").ToJson() == document.ToJson());

  const std::size_t lineEnd = text.find('\n');
  if (lineEnd == std::string_view::npos) return 0;
  const std::string path(text.substr(0, lineEnd));
  document.Parse(text.substr(lineEnd + 1));
  std::vector<std::string> list;
  std::string resolved = path;
  document.ResolvePath(resolved);
  document.KindOf(path);
  document.GetText(path);
  document.GetText(path, true);
  document.GetCount(path);
  document.GetNames(list, path);
  document.GetAllValues(list, path, true);
  document.GetNumber(path);
  document.GetElementText(1, path, true);
  document.GetElementObject(-1, path).ToJson();
  document.SetValue(path, "v");
  document.SetValue(path, "{\"k\":[1],\"m\":{\"n\":2}}", true);
  document.AddElement("[1,{\"k\":2}]", path, true);
  document.SetElement(3, path, "e");
  document.SetNumber(path, 0.1);
  document.RemoveElement(0, path);
  document.Remove(path + "[1]");
  document.Remove(path);
  CheckRoundTrip(document, marker);
  return 0;
}
