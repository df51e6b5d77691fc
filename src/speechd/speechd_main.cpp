// lectoria-speechd: the speech service as a program of its own.
#include <signal.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "speechd/speech_service.h"
#include "speechd/speech_synthesizer.h"

namespace {

constexpr const char* kUsage =
    "Usage: lectoria-speechd [--listen ADDR:PORT] [--cert FILE --key FILE]\n"
    "\n"
    "Serves Lectoria's speech requests (token, voices, multitune, split-ssmls, speak),\n"
    "speaking with espeak-ng and answering MP3 audio.\n"
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
  if (!lectoria::speechd::SynthesizerAvailable()) {
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
  std::printf("lectoria-speechd: listening on %s://%s%s%s:%d\n",
              service.UsesTls() ? "https" : "http", ipv6 ? "[" : "", address.c_str(),
              ipv6 ? "]" : "", bound);
  std::fflush(stdout);

  int signalNumber = 0;
  sigwait(&stopSignals, &signalNumber);
  std::printf("lectoria-speechd: stopping (%s)\n", strsignal(signalNumber));
  service.Stop();
  return 0;
}
