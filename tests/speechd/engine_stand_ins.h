// Stand-ins on 127.0.0.1 for the outside parties the speech engines talk to, written from the
// public descriptions of their interfaces: Azure's Speech REST API, an OpenAI-style
// audio/speech server, and a local speech program (a shell script).
#pragma once

#include <atomic>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "speechd/engine_factory.h"

namespace lectoria::speechd::testing {

/// Seconds of a 440 Hz tone as a WAV file.
std::string ToneWav(int rate, int channels, int bits, double seconds);

/// How a stand-in misbehaves.
enum class StandInFault {
  kNone,
  kRefuseKey,  // HTTP 401 / a program that exits with status 3 and a message on stderr
  kHang,       // answers nothing for 5 seconds / a program that sleeps
  kNotAudio,   // 200 with an HTML page / a program that writes text
};

/// One request as a stand-in server saw it.
struct SeenRequest {
  std::string method;
  std::string path;
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::string Header(const std::string& name) const;
};

/// A small HTTP server for the Azure or the OpenAI-style API.
class HttpStandIn {
 public:
  enum class Api { kAzure, kOpenAi };
  /// `key`: the key the server accepts (OpenAI: empty accepts any request).
  HttpStandIn(Api api, std::string key);
  ~HttpStandIn();

  std::string BaseUrl() const;  // "http://127.0.0.1:PORT" (OpenAI: + "/v1")
  std::vector<SeenRequest> Requests() const;
  std::atomic<StandInFault> fault{StandInFault::kNone};

  /// Engine options that point an engine at this stand-in (timeout 1 s).
  EngineOptions Options() const;

 private:
  struct Server;
  std::unique_ptr<Server> server_;
};

/// A speech program in a private directory: a shell script that stores its stdin in
/// input.txt and writes a WAV (16 kHz mono) to stdout, or to its first argument.
class CommandStandIn {
 public:
  CommandStandIn();
  ~CommandStandIn();
  std::filesystem::path Script() const { return dir_ / "speak.sh"; }
  /// Everything the program was given on stdin, runs appended.
  std::string Inputs() const;
  /// Engine options for the script; `toFile` passes {output} as its argument.
  EngineOptions Options(bool toFile, StandInFault fault = StandInFault::kNone) const;

 private:
  std::filesystem::path dir_;
};

}  // namespace lectoria::speechd::testing
