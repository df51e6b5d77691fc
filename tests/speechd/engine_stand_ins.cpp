#include "engine_stand_ins.h"

#include <httplib.h>

#include <cmath>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "speechd/mp3_encoder.h"
#include "speechd_test_support.h"

namespace lectoria::speechd::testing {

namespace {

void Put32(std::string& out, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((v >> (8 * i)) & 0xFF);
}
void Put16(std::string& out, std::uint16_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>(v >> 8);
}

// A few voices as voices/list lists them: locales out of order, one without styles.
constexpr const char* kAzureVoices = R"json([
 {"Name":"Microsoft Server Speech Text to Speech Voice (en-US, JennyNeural)",
  "DisplayName":"Jenny","LocalName":"Jenny","ShortName":"en-US-JennyNeural","Gender":"Female",
  "Locale":"en-US","LocaleName":"English (United States)","StyleList":["cheerful"],
  "SampleRateHertz":"24000","VoiceType":"Neural","Status":"GA","WordsPerMinute":"152"},
 {"Name":"Microsoft Server Speech Text to Speech Voice (zh-CN, XiaoxiaoNeural)",
  "DisplayName":"Xiaoxiao","LocalName":"晓晓","ShortName":"zh-CN-XiaoxiaoNeural",
  "Gender":"Female","Locale":"zh-CN","LocaleName":"Chinese (Mandarin, Simplified)",
  "StyleList":["cheerful","sad","chat"],"SampleRateHertz":"24000","VoiceType":"Neural",
  "Status":"GA"},
 {"Name":"Microsoft Server Speech Text to Speech Voice (zh-TW, HsiaoChenNeural)",
  "DisplayName":"HsiaoChen","LocalName":"曉臻","ShortName":"zh-TW-HsiaoChenNeural",
  "Gender":"Female","Locale":"zh-TW","LocaleName":"Chinese (Taiwanese Mandarin, Traditional)",
  "SampleRateHertz":"24000","VoiceType":"Neural","Status":"GA"},
 {"ShortName":"broken entry without a locale"}
])json";

}  // namespace

std::string ToneWav(int rate, int channels, int bits, double seconds) {
  const std::uint32_t frames = static_cast<std::uint32_t>(rate * seconds);
  const int bytes = bits / 8;
  std::string data;
  for (std::uint32_t f = 0; f < frames; ++f) {
    const double v = 0.5 * std::sin(2 * M_PI * 440.0 * f / rate);
    for (int c = 0; c < channels; ++c) {
      if (bits == 16)
        Put16(data, static_cast<std::uint16_t>(static_cast<std::int16_t>(v * 32767)));
      else if (bits == 8)
        data += static_cast<char>(static_cast<int>(128 + v * 127));
      else if (bits == 24) {
        const std::int32_t s = static_cast<std::int32_t>(v * 8388607);
        for (int i = 0; i < 3; ++i) data += static_cast<char>((s >> (8 * i)) & 0xFF);
      } else
        Put32(data, static_cast<std::uint32_t>(static_cast<std::int32_t>(v * 2147483647.0)));
    }
  }
  std::string wav = "RIFF";
  Put32(wav, static_cast<std::uint32_t>(36 + data.size()));
  wav += "WAVEfmt ";
  Put32(wav, 16);
  Put16(wav, 1);
  Put16(wav, static_cast<std::uint16_t>(channels));
  Put32(wav, static_cast<std::uint32_t>(rate));
  Put32(wav, static_cast<std::uint32_t>(rate * channels * bytes));
  Put16(wav, static_cast<std::uint16_t>(channels * bytes));
  Put16(wav, static_cast<std::uint16_t>(bits));
  wav += "data";
  Put32(wav, static_cast<std::uint32_t>(data.size()));
  return wav + data;
}

std::string SeenRequest::Header(const std::string& name) const {
  for (const auto& [key, value] : headers)
    if (strcasecmp(key.c_str(), name.c_str()) == 0) return value;
  return {};
}

struct HttpStandIn::Server {
  Api api;
  std::string key;
  httplib::Server http;
  std::thread thread;
  int port = 0;
  std::atomic<bool> stopping{false};
  mutable std::mutex mutex;
  std::vector<SeenRequest> seen;
};

HttpStandIn::HttpStandIn(Api api, std::string key) : server_(std::make_unique<Server>()) {
  Server& s = *server_;
  s.api = api;
  s.key = std::move(key);
  auto record = [&s](const httplib::Request& req) {
    SeenRequest r{req.method, req.path, {}, req.body};
    for (const auto& [name, value] : req.headers) r.headers.emplace_back(name, value);
    std::lock_guard lock(s.mutex);
    s.seen.push_back(std::move(r));
  };
  // The fault common to both APIs; true when it answered.
  auto misbehave = [this, &s](httplib::Response& res) {
    switch (fault.load()) {
      case StandInFault::kRefuseKey:
        res.status = 401;
        res.set_content(R"({"error":{"code":"401","message":"Access denied"}})",
                        "application/json");
        return true;
      case StandInFault::kHang:
        for (int i = 0; i < 500 && !s.stopping; ++i)
          std::this_thread::sleep_for(std::chrono::milliseconds(10));
        res.status = 504;
        return true;
      case StandInFault::kNotAudio:
        res.set_content("<html><body>Service temporarily unavailable</body></html>", "text/html");
        return true;
      case StandInFault::kNone:
        return false;
    }
    return false;
  };
  if (api == Api::kAzure) {
    s.http.Get("/cognitiveservices/voices/list",
               [&s, record, misbehave](const httplib::Request& req, httplib::Response& res) {
                 record(req);
                 if (req.get_header_value("Ocp-Apim-Subscription-Key") != s.key) {
                   res.status = 401;
                   return;
                 }
                 if (!misbehave(res)) res.set_content(kAzureVoices, "application/json");
               });
    s.http.Post("/cognitiveservices/v1",
                [&s, record, misbehave](const httplib::Request& req, httplib::Response& res) {
                  record(req);
                  if (req.get_header_value("Ocp-Apim-Subscription-Key") != s.key) {
                    res.status = 401;
                  } else if (req.get_header_value("Content-Type") != "application/ssml+xml") {
                    res.status = 415;
                  } else if (req.get_header_value("X-Microsoft-OutputFormat").empty()) {
                    res.status = 400;
                  } else if (!misbehave(res)) {
                    std::vector<std::int16_t> tone(24000 / 2);
                    for (std::size_t i = 0; i < tone.size(); ++i)
                      tone[i] = static_cast<std::int16_t>(9000 * std::sin(0.1 * double(i)));
                    res.set_content(EncodeMp3(tone), "audio/mpeg");
                  }
                });
  } else {
    s.http.Post("/v1/audio/speech", [&s, record, misbehave](const httplib::Request& req,
                                                            httplib::Response& res) {
      record(req);
      const auto body = nlohmann::json::parse(req.body, nullptr, false);
      if (!s.key.empty() && req.get_header_value("Authorization") != "Bearer " + s.key) {
        res.status = 401;
      } else if (!body.is_object() || !body.contains("input") || !body.contains("voice") ||
                 !body.contains("model")) {
        res.status = 400;
      } else if (!misbehave(res)) {
        // Half a second per piece, at another rate and in stereo.
        res.set_content(ToneWav(22050, 2, 16, 0.5), "audio/wav");
      }
    });
  }
  s.port = s.http.bind_to_any_port("127.0.0.1");
  s.thread = std::thread([&s] { s.http.listen_after_bind(); });
  // A stop() that comes before the server loop runs is lost and the join would wait for ever
  // (a stand-in made but never used is destroyed at once): wait until it is serving.
  for (int i = 0; i < 5000 && !s.http.is_running(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

HttpStandIn::~HttpStandIn() {
  server_->stopping = true;
  server_->http.stop();
  server_->thread.join();
}

std::string HttpStandIn::BaseUrl() const {
  return "http://127.0.0.1:" + std::to_string(server_->port) +
         (server_->api == Api::kOpenAi ? "/v1" : "");
}

std::vector<SeenRequest> HttpStandIn::Requests() const {
  std::lock_guard lock(server_->mutex);
  return server_->seen;
}

EngineOptions HttpStandIn::Options() const {
  EngineOptions options;
  options.timeoutSeconds = 1;
  if (server_->api == Api::kAzure) {
    options.engine = "azure";
    options.azureRegion = "eastasia";
    options.azureEndpoint = BaseUrl();
    options.azureKey = server_->key;
  } else {
    options.engine = "openai";
    options.openaiUrl = BaseUrl();
    options.openaiModel = "tts-zh";
    options.openaiVoices = "zf_xiaobei, zm_yunxi";
    options.openaiKey = server_->key;
  }
  return options;
}

CommandStandIn::CommandStandIn() : dir_(MakeTempDir()) {
  std::ofstream(dir_ / "tone.wav", std::ios::binary) << ToneWav(16000, 1, 16, 0.5);
  // FAULT selects the misbehaviour; with an argument the WAV goes to that file.
  std::ofstream(Script()) << "#!/bin/sh\n"
                             "dir=$(dirname \"$0\")\n"
                             "cat >> \"$dir/input.txt\"\n"
                             "case \"$FAULT\" in\n"
                             "  refuse) echo 'model file not found' >&2; exit 3 ;;\n"
                             "  hang) sleep 30 ;;\n"
                             "  text) echo 'usage: speak [options]'; exit 0 ;;\n"
                             "esac\n"
                             "if [ -n \"$1\" ]; then cp \"$dir/tone.wav\" \"$1\"; "
                             "else cat \"$dir/tone.wav\"; fi\n";
  std::filesystem::permissions(Script(), std::filesystem::perms::owner_all);
}

CommandStandIn::~CommandStandIn() {
  std::error_code ignored;
  std::filesystem::remove_all(dir_, ignored);
}

std::string CommandStandIn::Inputs() const {
  std::ifstream file(dir_ / "input.txt", std::ios::binary);
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

EngineOptions CommandStandIn::Options(bool toFile, StandInFault fault) const {
  const char* faults[] = {"", "refuse", "hang", "text"};
  EngineOptions options;
  options.engine = "command";
  options.command = std::string("env FAULT=") + faults[static_cast<int>(fault)] + " '" +
                    Script().string() + "'" + (toFile ? " {output}" : "");
  options.commandVoice = "zh-CN-PiperHuayan";
  options.timeoutSeconds = 1;
  return options;
}

}  // namespace lectoria::speechd::testing
