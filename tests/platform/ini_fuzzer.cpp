// Fuzzes the INI parser and editor: any bytes parse, serialise back unchanged, and an edit
// reads back the same from memory and from a fresh parse of the edited bytes.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>

#include "platform/ini_document.h"
#include "platform/ini_file.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using lectoria::IniDocument;
  using lectoria::IniSetResult;
  FuzzedDataProvider input(data, size);
  const std::string section = input.ConsumeRandomLengthString(24);
  const std::string key = input.ConsumeRandomLengthString(24);
  const std::string value = input.ConsumeRandomLengthString(64);
  const std::string file = input.ConsumeRemainingBytesAsString();

  IniDocument document = IniDocument::Parse(file);
  Check(document.Serialize() == file);
  Check(document.Get(section, key).size() <= lectoria::kIniMaxValueBytes);
  document.Get(key, section, value);

  const IniSetResult result = document.Set(section, key, value);
  const std::string edited = document.Serialize();
  if (result == IniSetResult::kRejected) {
    Check(edited == file);
    return 0;
  }
  const IniDocument reparsed = IniDocument::Parse(edited);
  Check(reparsed.Serialize() == edited);
  Check(document.FindRaw(section, key).has_value());
  Check(reparsed.FindRaw(section, key) == document.FindRaw(section, key));
  Check(reparsed.Get(section, key) == document.Get(section, key));
  return 0;
}
