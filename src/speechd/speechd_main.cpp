// lectoria-speechd: the speech service as a program of its own.
#include <signal.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <string>

#include "speechd/engine_factory.h"
#include "speechd/speech_service.h"
#include "speechd/speech_synthesizer.h"

namespace {

constexpr const char* kUsage =
    "Usage: lectoria-speechd [--listen ADDR:PORT] [--cert FILE --key FILE] [ENGINE]\n"
    "\n"
    "Serves Lectoria's speech requests (token, voices, multitune, split-ssmls, speak),\n"
    "answering MP3 audio spoken by one of these engines:\n"
    "\n"
    "  --engine espeak                       espeak-ng, offline (the default)\n"
    "  --engine azure --azure-region REGION [--azure-endpoint URL] [--azure-key-file FILE]\n"
    "      Microsoft's Speech REST API; the key comes from LECTORIA_AZURE_KEY or from FILE,\n"
    "      which only its owner may read (chmod 600). URL replaces the region's host.\n"
    "  --engine openai --openai-url BASE_URL --openai-model NAME --openai-voices V1,V2,...\n"
    "      any server answering POST BASE_URL/audio/speech; optional key in\n"
    "      LECTORIA_OPENAI_KEY\n"
    "  --engine command --command 'PROGRAM ARGS...' [--command-voice NAME]\n"
    "      a local program reading UTF-8 text on stdin and writing a WAV file to stdout,\n"
    "      or to the path that replaces {output} in its arguments\n"
    "  --engine-timeout SECONDS              time allowed for one piece of text\n"
    "\n"
    "  --listen ADDR:PORT  address and port to listen on (default 127.0.0.1:8470);\n"
    "                      port 0 picks a free one; IPv6 as [::1]:8470.\n"
    "                      Use a non-loopback address only if the service must be reachable\n"
    "                      from other machines: anyone who reaches it can fetch a token.\n"
    "  --cert FILE         PEM certificate chain: serve HTTPS (needs --key)\n"
    "  --key FILE          PEM private key of the certificate\n"
    "  --help              show this text\n"
    "\n"
    "Stop it with Ctrl+C or SIGTERM.\n";

bool SplitListen(const std::string& text, std::string& address, int& port) {
  const std::size_t colon = text.rfind(':');
  if (colon == std::string::npos || colon == 0) return false;
  address = text.substr(0, colon);
  if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
    address = address.substr(1, address.size() - 2);
  }
  const std::string portText = text.substr(colon + 1);
  if (portText.empty() || portText.size() > 5 ||
      portText.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  port = std::stoi(portText);
  return !address.empty() && port <= 65535;
}

}  // namespace

int main(int argc, char** argv) {
  std::string address = "127.0.0.1";
  int port = 8470;
  lectoria::speechd::SpeechServiceOptions options;
  lectoria::speechd::EngineOptions engine;
  std::string azureKeyFile;
  struct TextOption {
    const char* name;
    std::string* value;
  };
  const TextOption textOptions[] = {
      {"--engine", &engine.engine},
      {"--azure-region", &engine.azureRegion},
      {"--azure-endpoint", &engine.azureEndpoint},
      {"--azure-key-file", &azureKeyFile},
      {"--openai-url", &engine.openaiUrl},
      {"--openai-model", &engine.openaiModel},
      {"--openai-voices", &engine.openaiVoices},
      {"--command", &engine.command},
      {"--command-voice", &engine.commandVoice},
  };
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    const bool hasValue = i + 1 < argc;
    if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return 0;
    } else if (argument == "--listen" && hasValue) {
      if (!SplitListen(argv[++i], address, port)) {
        std::fprintf(stderr, "lectoria-speechd: --listen wants ADDR:PORT, not '%s'\n", argv[i]);
        return 2;
      }
    } else if (argument == "--cert" && hasValue) {
      options.certFile = argv[++i];
    } else if (argument == "--key" && hasValue) {
      options.keyFile = argv[++i];
    } else if (argument == "--azure-key" || argument == "--openai-key") {
      // A command line is visible to every user of the machine.
      std::fprintf(stderr,
                   "lectoria-speechd: keys are not taken on the command line; set %s or use "
                   "--azure-key-file\n",
                   argument == "--azure-key" ? lectoria::speechd::kAzureKeyVariable
                                             : lectoria::speechd::kOpenAiKeyVariable);
      return 2;
    } else if (argument == "--engine-timeout" && hasValue) {
      engine.timeoutSeconds = std::atoi(argv[++i]);
      if (engine.timeoutSeconds <= 0 || engine.timeoutSeconds > 3600) {
        std::fprintf(stderr, "lectoria-speechd: --engine-timeout wants 1 to 3600 seconds\n");
        return 2;
      }
    } else if (const auto* option =
                   std::find_if(std::begin(textOptions), std::end(textOptions),
                                [&](const TextOption& o) { return argument == o.name; });
               option != std::end(textOptions) && hasValue) {
      *option->value = argv[++i];
    } else {
      std::fprintf(stderr, "lectoria-speechd: unknown or incomplete option '%s'\n\n%s",
                   argument.c_str(), kUsage);
      return 2;
    }
  }
  if (options.certFile.empty() != options.keyFile.empty()) {
    std::fprintf(stderr, "lectoria-speechd: --cert and --key go together\n");
    return 2;
  }
  std::string error;
  if (!lectoria::speechd::TakeEngineKeys(engine, azureKeyFile, error) ||
      !(options.handlers.engine = lectoria::speechd::MakeEngine(engine, error))) {
    std::fprintf(stderr, "lectoria-speechd: %s\n", error.c_str());
    return 2;
  }
  if (!azureKeyFile.empty() && engine.azureKey.empty()) {
    std::fprintf(stderr, "lectoria-speechd: the key file %s does not exist\n",
                 azureKeyFile.c_str());
    return 2;
  }
  if (options.handlers.engine->Name() == "espeak-ng" &&
      !lectoria::speechd::SynthesizerAvailable()) {
    std::fprintf(stderr,
                 "lectoria-speechd: espeak-ng cannot start (is espeak-ng-data installed?)\n");
    return 1;
  }

  // SIGINT and SIGTERM are taken with sigwait below, so block them before any thread starts.
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  lectoria::speechd::SpeechService service(options);
  const int bound = service.Start(address, port);
  if (bound == 0) {
    std::fprintf(stderr, "lectoria-speechd: %s\n", service.LastError().c_str());
    return 1;
  }
  const bool ipv6 = address.find(':') != std::string::npos;
  std::printf("lectoria-speechd: listening on %s://%s%s%s:%d, speaking with %s\n",
              service.UsesTls() ? "https" : "http", ipv6 ? "[" : "", address.c_str(),
              ipv6 ? "]" : "", bound, std::string(options.handlers.engine->Name()).c_str());
  std::fflush(stdout);

  int signalNumber = 0;
  sigwait(&stopSignals, &signalNumber);
  std::printf("lectoria-speechd: stopping (%s)\n", strsignal(signalNumber));
  service.Stop();
  return 0;
}
