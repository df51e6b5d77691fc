#include "speechd/engine_factory.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>

#include "speechd/child_process.h"
#include "speechd/command_engine.h"
#include "speechd/remote_engines.h"
#include "speechd/speech_synthesizer.h"

namespace lectoria::speechd {

namespace {

std::string Trimmed(std::string_view text) {
  const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
  while (!text.empty() && blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && blank(text.back())) text.remove_suffix(1);
  return std::string(text);
}

bool IsHttpUrl(std::string_view url) {
  return (url.rfind("http://", 0) == 0 && url.size() > 7) ||
         (url.rfind("https://", 0) == 0 && url.size() > 8);
}

// A key goes into a header line: it must not be able to end that line or start another.
bool UsableKey(std::string_view key) {
  return std::all_of(key.begin(), key.end(),
                     [](char c) { return static_cast<unsigned char>(c) > 0x20 && c != 0x7F; });
}

std::chrono::milliseconds Timeout(const EngineOptions& options, int defaultSeconds) {
  return std::chrono::seconds(options.timeoutSeconds > 0 ? options.timeoutSeconds : defaultSeconds);
}

}  // namespace

bool ReadOwnerOnlyKey(const std::filesystem::path& path, std::string& key, std::string& error) {
  struct stat info = {};
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
    error = "the key file " + path.string() + " cannot be read";
    return false;
  }
  if ((info.st_mode & (S_IRWXG | S_IRWXO)) != 0) {
    error = "the key file " + path.string() +
            " may be read or changed by others; allow only its owner (chmod 600 " + path.string() +
            ")";
    return false;
  }
  std::ifstream file(path);
  std::string line;
  if (!file || !std::getline(file, line)) {
    error = "the key file " + path.string() + " cannot be read";
    return false;
  }
  key = Trimmed(line);
  return true;
}

bool TakeEngineKeys(EngineOptions& options, const std::filesystem::path& azureKeyFile,
                    std::string& error) {
  const auto fromEnvironment = [](const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? Trimmed(value) : std::string();
  };
  if (options.azureKey.empty()) options.azureKey = fromEnvironment(kAzureKeyVariable);
  if (options.openaiKey.empty()) options.openaiKey = fromEnvironment(kOpenAiKeyVariable);
  std::error_code ignored;
  if (options.azureKey.empty() && !azureKeyFile.empty() &&
      std::filesystem::exists(azureKeyFile, ignored)) {
    return ReadOwnerOnlyKey(azureKeyFile, options.azureKey, error);
  }
  return true;
}

std::shared_ptr<SpeechEngine> MakeEngine(const EngineOptions& options, std::string& error) {
  const std::string engine = Trimmed(options.engine);
  if (engine.empty() || engine == "espeak") return std::make_shared<EspeakEngine>();

  if (engine == "azure") {
    AzureSettings settings;
    settings.region = Trimmed(options.azureRegion);
    settings.endpoint = Trimmed(options.azureEndpoint);
    settings.key = options.azureKey;
    settings.timeout = Timeout(options, 30);
    if (settings.endpoint.empty() &&
        (settings.region.empty() ||
         settings.region.find_first_not_of("abcdefghijklmnopqrstuvwxyz0123456789") !=
             std::string::npos)) {
      error = "azure needs a region such as eastasia (lower-case letters and digits)";
    } else if (!settings.endpoint.empty() && !IsHttpUrl(settings.endpoint)) {
      error = "the Azure endpoint must be an http:// or https:// address";
    } else if (settings.key.empty()) {
      error = std::string("azure needs the Speech resource key in ") + kAzureKeyVariable +
              " or in an owner-only key file";
    } else if (!UsableKey(settings.key)) {
      error = "the Azure key holds blanks or control characters";
    } else {
      return std::make_shared<AzureEngine>(std::move(settings));
    }
    return nullptr;
  }

  if (engine == "openai") {
    OpenAiSettings settings;
    settings.baseUrl = Trimmed(options.openaiUrl);
    settings.model = Trimmed(options.openaiModel);
    settings.key = options.openaiKey;
    settings.timeout = Timeout(options, 60);
    std::string_view list = options.openaiVoices;
    while (!list.empty()) {
      const std::size_t comma = std::min(list.find(','), list.size());
      std::string name = Trimmed(list.substr(0, comma));
      if (!name.empty()) settings.voices.push_back(std::move(name));
      list.remove_prefix(std::min(comma + 1, list.size()));
    }
    if (!IsHttpUrl(settings.baseUrl)) {
      error = "openai needs the server's base address, such as http://127.0.0.1:8880/v1";
    } else if (settings.model.empty()) {
      error = "openai needs a model name";
    } else if (settings.voices.empty()) {
      error = "openai needs at least one voice name";
    } else if (!settings.key.empty() && !UsableKey(settings.key)) {
      error = "the OpenAI key holds blanks or control characters";
    } else {
      return std::make_shared<OpenAiEngine>(std::move(settings));
    }
    return nullptr;
  }

  if (engine == "command") {
    CommandSettings settings;
    if (!SplitCommandLine(options.command, settings.argv, error)) return nullptr;
    if (settings.argv.empty()) {
      error = "command needs the program to run";
      return nullptr;
    }
    if (!Trimmed(options.commandVoice).empty()) settings.voice = Trimmed(options.commandVoice);
    settings.timeout = Timeout(options, 60);
    return std::make_shared<CommandEngine>(std::move(settings));
  }

  error = "unknown speech engine '" + engine + "' (espeak, azure, openai or command)";
  return nullptr;
}

}  // namespace lectoria::speechd
