#include "engine_settings.h"

#include "platform/codepage.h"
#include "speechd/speech_synthesizer.h"

namespace lectoria {

speechd::EngineOptions ReadEngineOptions(const IniFile& config, const RunPaths& paths,
                                         std::string& error) {
  using namespace engine_keys;
  const auto read = [&](std::string_view key) { return GbkToUtf8(config.Read(kSection, key)); };
  speechd::EngineOptions options;
  options.engine = read(kEngine);
  if (options.engine.empty()) options.engine = "espeak";
  options.azureRegion = read(kRegion);
  options.commandVoice = read(kCommandVoice);
  options.command = read(kCommand);
  options.openaiModel = read(kModel);
  options.openaiVoices = read(kVoices);
  // One address, read by whichever engine is chosen.
  options.azureEndpoint = options.openaiUrl = read(kAddress);
  options.timeoutSeconds = config.ReadInt(kSection, kTimeout, "0");
  if (options.timeoutSeconds < 0 || options.timeoutSeconds > 3600) options.timeoutSeconds = 0;
  speechd::TakeEngineKeys(options, paths.Root() / "azure.key", error);
  return options;
}

std::shared_ptr<speechd::SpeechEngine> ChooseSpeechEngine(const RunPaths& paths,
                                                          std::string& message) {
  message.clear();
  std::string error;
  const speechd::EngineOptions options =
      ReadEngineOptions(IniFile(paths.ConfigIni()), paths, error);
  std::shared_ptr<speechd::SpeechEngine> engine;
  if (error.empty()) engine = speechd::MakeEngine(options, error);
  if (engine) return engine;
  message = "the speech engine chosen in config.ini cannot be used (" + error +
            "); speaking with espeak-ng";
  return std::make_shared<speechd::EspeakEngine>();
}

}  // namespace lectoria
