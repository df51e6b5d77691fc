// Helpers for the speech service tests: request bodies as the reader's client builds them,
// gzip and MP3 decoding, raw HTTP exchanges and a self-signed certificate.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "speechd/service_types.h"

namespace lectoria::speechd::testing {

/// The voices request body the client sends (105 bytes).
inline constexpr std::string_view kVoicesBody =
    R"({"queryCondition":{"items":[{"name":"VoiceTypeList","value":"StandardVoice","operatorKind":"Contains"}]}})";

/// A `speak` element as the client writes it: voice, express-as style, text and empty prosody.
std::string SpeakSsml(std::string_view text, std::string_view voice = "zh-CN-XiaoxiaoNeural",
                      std::string_view style = "Default", std::string_view locale = "zh-CN");

/// The SSML of a split-ssmls request: voice-map and lexicon comments, then speak/voice/text.
std::string SplitSsml(std::string_view text, std::string_view voice = "zh-CN-XiaoxiaoNeural");

/// Bodies of the three SSML requests (UTF-8 JSON, values escaped properly).
std::string SpeakBody(std::string_view ssml, std::string_view offset = "0",
                      std::string_view length = "auto");  // "auto": the SSML's text length
std::string SplitBody(std::string_view ssml);
std::string MultituneBody(std::string_view text, std::size_t selectionLength);

/// A POST request to `path` with a token and a JSON content type.
ServiceRequest JsonPost(std::string_view path, std::string body, std::string token);

/// Inflates a gzip member; empty when `data` is not valid gzip.
std::string Gunzip(std::string_view data);

/// Facts about an MP3 stream, found by decoding it with libmpg123.
struct DecodedMp3 {
  bool ok = false;
  long rate = 0;
  int channels = 0;
  std::size_t samples = 0;  // per channel
  double Seconds() const { return rate > 0 ? static_cast<double>(samples) / rate : 0; }
  std::uint64_t energy = 0;  // sum of squared samples, to tell sound from silence
};
DecodedMp3 DecodeMp3(std::string_view mp3);

/// Sends `raw` to 127.0.0.1:`port` and returns everything read until the peer closes.
std::string RawExchange(int port, std::string_view raw);

/// A TCP connection to 127.0.0.1:`port` (-1 when it fails), with Nagle's delay off.
int ConnectLoopback(int port);

/// Sends all of `bytes` on `fd`; false when the connection fails.
bool SendAll(int fd, std::string_view bytes);

/// Reads from `fd` until the peer closes or `timeout` passes; true when it closed (or broke).
bool ReadUntilClosed(int fd, std::chrono::milliseconds timeout, std::string* received = nullptr);

/// Writes a self-signed certificate for 127.0.0.1 and its key into `directory` as cert.pem
/// and key.pem. Returns false when OpenSSL fails.
bool MakeSelfSignedCertificate(const std::filesystem::path& directory);

/// A fresh empty directory below the system's temporary directory.
std::filesystem::path MakeTempDir();

}  // namespace lectoria::speechd::testing
