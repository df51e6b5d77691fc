// Choosing and building the service's speech engine from its settings, as the program's
// config.ini or lectoria-speechd's command line give them.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

#include "speechd/speech_engine.h"

namespace lectoria::speechd {

/// The engine names: "espeak" (the default), "azure", "openai", "command".
struct EngineOptions {
  std::string engine = "espeak";
  std::string azureRegion;
  std::string azureEndpoint;  // replaces https://REGION.tts.speech.microsoft.com
  std::string azureKey;       // from the environment or an owner-only file; never logged
  std::string openaiUrl;
  std::string openaiModel;
  std::string openaiVoices;  // comma-separated
  std::string openaiKey;
  std::string command;       // program and arguments in one line (SplitCommandLine)
  std::string commandVoice;  // empty: the engine's default name
  int timeoutSeconds = 0;    // each engine exchange; 0: 30 s for Azure, 60 s otherwise
};

/// The environment variables that hold the keys.
inline constexpr const char* kAzureKeyVariable = "LECTORIA_AZURE_KEY";
inline constexpr const char* kOpenAiKeyVariable = "LECTORIA_OPENAI_KEY";

/// Fills the keys `options` lacks from the environment; the Azure key, when the environment
/// has none, from `azureKeyFile` if that exists (see ReadOwnerOnlyKey). False with `error`
/// set when the file is unsafe or unreadable.
bool TakeEngineKeys(EngineOptions& options, const std::filesystem::path& azureKeyFile,
                    std::string& error);

/// The first line of `path`, blanks trimmed, into `key`. The file must be a regular file that
/// only its owner may read or write (mode 0600 or 0400): a key others can read is refused.
bool ReadOwnerOnlyKey(const std::filesystem::path& path, std::string& key, std::string& error);

/// The engine `options` describe, or null with a message in `error` (which never holds a key).
std::shared_ptr<SpeechEngine> MakeEngine(const EngineOptions& options, std::string& error);

}  // namespace lectoria::speechd
