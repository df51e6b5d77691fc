// Fuzzes the building of request bodies and the reading of service replies.
//
// The input is split at NUL bytes into a line of text and the five voice fields. Whatever they
// hold, each body must be valid JSON whose SSML is well-formed XML holding the line, and the
// reply readers must neither crash nor hang on the same bytes taken as a reply.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <pugixml.hpp>
#include <string>
#include <string_view>
#include <vector>

#include "json/json_document.h"
#include "platform/codepage.h"
#include "tts/request_bodies.h"
#include "tts/voice_catalogue.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckSsml(const std::string& gbkSsml) {
  const std::string utf8 = lectoria::GbkToUtf8(gbkSsml);
  pugi::xml_document document;
  Check(static_cast<bool>(
      document.load_buffer(utf8.data(), utf8.size(), pugi::parse_default, pugi::encoding_utf8)));
  Check(std::string_view(document.document_element().name()) == "speak");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i <= input.size() && parts.size() < 6; ++i) {
    if (i == input.size() || input[i] == '\0') {
      parts.emplace_back(input.substr(start, i - start));
      start = i + 1;
    }
  }
  parts.resize(6);
  const std::string& line = parts[0];
  const lectoria::VoiceRecord voice{parts[1], parts[2], parts[3], parts[4], parts[5]};

  lectoria::JsonDocument tune;
  Check(tune.Parse(lectoria::BuildMultituneBody(voice, line, parts[2], parts[3])));
  CheckSsml(tune.GetText("[0].Ssml"));

  lectoria::JsonDocument split;
  Check(split.Parse(lectoria::BuildSplitSsmlsBody(voice, line)));
  CheckSsml(split.GetText("ssmls[0]"));

  lectoria::JsonDocument speak;
  Check(speak.Parse(lectoria::BuildSpeakBody(voice, line, parts[4], {"0", "1"})));
  CheckSsml(speak.GetText("ssml"));

  // The same bytes as replies.
  lectoria::ReadSplitPosition(input);
  lectoria::VoiceShortNames(input);
  lectoria::BuildStyleLabels(input, parts[1]);
  lectoria::FindVoiceRecord(input, parts[1]);
  return 0;
}
