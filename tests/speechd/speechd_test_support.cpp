#include "speechd_test_support.h"

#include <arpa/inet.h>
#include <mpg123.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdio>
#include <nlohmann/json.hpp>
#include <random>

#include "speechd/request_handlers.h"
#include "speechd/ssml_reader.h"

namespace lectoria::speechd::testing {

namespace {

constexpr const char* kSpeakOpen =
    R"(<speak version="1.0" xmlns="http://www.w3.org/2001/10/synthesis" )"
    R"(xmlns:mstts="https://www.w3.org/2001/mstts" xmlns:emo="http://www.w3.org/2009/10/emotionml" )";

std::string Comments(std::string_view voice, std::string_view locale) {
  return "<!--ID=B7267351-473F-409D-9765-754A8EBCDE05;Version=1|{\"VoiceNameToIdMapItems\":[{"
         "\"Id\":"
         "\"fa9f3c43-b3a8-4152-99d3-d91bbfe1c0d6\",\"Name\":\"Lectoria Speech "
         "Voice\",\"ShortName\":\"" +
         std::string(voice) + "\",\"Locale\":\"" + std::string(locale) +
         "\",\"VoiceType\":\"StandardVoice\"}]}-->\n"
         "<!--ID=5B95B1CC-2C7B-494F-B746-CF22A0E779B7;Version=1|{\"Locales\":{\"" +
         std::string(locale) + "\":{\"AutoApplyCustomLexiconFiles\":[{}]}}}-->\n";
}

std::string JsonString(std::string_view text) {
  return nlohmann::json(std::string(text)).dump();
}

}  // namespace

std::string SpeakSsml(std::string_view text, std::string_view voice, std::string_view style,
                      std::string_view locale) {
  return Comments(voice, locale) + kSpeakOpen + "xml:lang=\"" + std::string(locale) +
         "\"><voice name=\"" + std::string(voice) + "\"><mstts:express-as style=\"" +
         std::string(style) + "\">" + std::string(text) +
         "<prosody contour=\"(49%, -40%)\"></prosody></mstts:express-as></voice></speak>";
}

std::string SplitSsml(std::string_view text, std::string_view voice) {
  return Comments(voice, "zh-CN") + kSpeakOpen + "xml:lang=\"zh-CN\"><voice name=\"" +
         std::string(voice) + "\">" + std::string(text) + "</voice></speak>";
}

std::string SpeakBody(std::string_view ssml, std::string_view offset, std::string_view length) {
  std::string lengthText(length);
  if (length == "auto") {
    SsmlContent content;
    std::string error;
    lengthText = ReadSsml(ssml, SsmlLimits(), content, error)
                     ? std::to_string(content.plainTextLength)
                     : "0";
  }
  return "{\"ssml\":" + JsonString(ssml) +
         ",\"ttsAudioFormat\":\"audio-24khz-160kbitrate-mono-mp3\",\"offsetInPlainText\":" +
         std::string(offset) + ",\"lengthInPlainText\":" + lengthText +
         ",\"properties\":{\"SpeakTriggerSource\":\"AccTuningPagePlayButton\"}}";
}

std::string SplitBody(std::string_view ssml) {
  return "{\"ssmls\":[" + JsonString(ssml) +
         "],\"splitFileOptions\":{\"splitSsmlByContentMode\":\"OneLinePerSegment\","
         "\"ssmlMaxCharLengthOfPlainTextPerSegmentMode\":"
         "\"SpeakMaxPlainTextCharLengthAutoDetectLanguageFromSsml\"}}";
}

std::string MultituneBody(std::string_view text, std::size_t selectionLength) {
  const std::string ssml =
      std::string(kSpeakOpen) + "xml:lang=\"zh-CN\">" + std::string(text) + "</speak>";
  return "[{\"SelectionBeginIndex\":0,\"SelectionLength\":" + std::to_string(selectionLength) +
         ",\"Ssml\":" + JsonString(ssml) +
         ",\"UpdateType\":\"Voice\",\"Parameters\":{\"Name\":\"zh-CN-XiaoxiaoNeural\","
         "\"ExpressAsTagOperationKind\":\"KeepIfValid\",\"ExpressAsTagStyleNames\":\"开心,默认\","
         "\"ExpressAsTagDefaultStyleName\":\"cheerful\",\"LangTagOperationKind\":\"KeepIfValid\"},"
         "\"TuneLexiconTag\":{\"IsApplyToFullSsml\":true,\"VoicesOperation\":[{\"VoiceName\":\"a\","
         "\"TuneLexiconTagOperation\":{\"ClearAllExistingLexiconTags\":true}},{\"VoiceName\":\"b\","
         "\"TuneLexiconTagOperation\":{\"ClearAllExistingLexiconTags\":true}}]}}]";
}

ServiceRequest JsonPost(std::string_view path, std::string body, std::string token) {
  ServiceRequest request;
  request.method = "POST";
  request.path = std::string(path);
  request.headers = {{std::string(kTokenHeader), std::move(token)},
                     {"Content-Type", "application/json"}};
  request.body = std::move(body);
  return request;
}

std::string Gunzip(std::string_view data) {
  z_stream stream{};
  if (inflateInit2(&stream, 15 + 16) != Z_OK) return {};
  stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
  stream.avail_in = static_cast<uInt>(data.size());
  std::string out;
  char buffer[8192];
  int status = Z_OK;
  while (status == Z_OK) {
    stream.next_out = reinterpret_cast<Bytef*>(buffer);
    stream.avail_out = sizeof buffer;
    status = inflate(&stream, Z_NO_FLUSH);
    out.append(buffer, sizeof buffer - stream.avail_out);
  }
  inflateEnd(&stream);
  return status == Z_STREAM_END ? out : std::string();
}

DecodedMp3 DecodeMp3(std::string_view mp3) {
  DecodedMp3 result;
  mpg123_handle* handle = mpg123_new(nullptr, nullptr);
  if (handle == nullptr) return result;
  mpg123_param(handle, MPG123_ADD_FLAGS, MPG123_QUIET, 0);
  if (mpg123_open_feed(handle) != MPG123_OK ||
      mpg123_feed(handle, reinterpret_cast<const unsigned char*>(mp3.data()), mp3.size()) !=
          MPG123_OK) {
    mpg123_delete(handle);
    return result;
  }
  unsigned char buffer[16384];
  for (;;) {
    size_t done = 0;
    const int status = mpg123_read(handle, buffer, sizeof buffer, &done);
    if (status == MPG123_NEW_FORMAT) {
      int encoding = 0;
      mpg123_getformat(handle, &result.rate, &result.channels, &encoding);
    }
    const auto* samples = reinterpret_cast<const std::int16_t*>(buffer);
    for (size_t i = 0; i < done / 2; ++i) {
      result.energy +=
          static_cast<std::uint64_t>(static_cast<std::int64_t>(samples[i]) * samples[i]);
    }
    if (result.channels > 0) result.samples += done / 2 / static_cast<size_t>(result.channels);
    if (status == MPG123_NEED_MORE || status == MPG123_DONE) break;
    if (status != MPG123_OK && status != MPG123_NEW_FORMAT) {
      mpg123_delete(handle);
      return result;
    }
  }
  mpg123_delete(handle);
  result.ok = result.rate > 0 && result.samples > 0;
  return result;
}

int ConnectLoopback(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) return -1;
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  const int yes = 1;
  ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes);
  return fd;
}

bool SendAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL);
    if (n <= 0) return false;
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

bool ReadUntilClosed(int fd, std::chrono::milliseconds timeout, std::string* received) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  char buffer[8192];
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, static_cast<int>(left.count())) <= 0) continue;
    const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
    if (n <= 0) return true;
    if (received != nullptr) received->append(buffer, static_cast<std::size_t>(n));
  }
}

std::string RawExchange(int port, std::string_view raw) {
  const int fd = ConnectLoopback(port);
  if (fd < 0) return {};
  std::string reply;
  if (SendAll(fd, raw)) ReadUntilClosed(fd, std::chrono::seconds(60), &reply);
  ::close(fd);
  return reply;
}

bool MakeSelfSignedCertificate(const std::filesystem::path& directory) {
  EVP_PKEY* key = EVP_EC_gen("P-256");
  X509* certificate = X509_new();
  bool ok = key != nullptr && certificate != nullptr;
  if (ok) {
    X509_set_version(certificate, 2);
    ASN1_INTEGER_set(X509_get_serialNumber(certificate), 1);
    X509_gmtime_adj(X509_getm_notBefore(certificate), -60);
    X509_gmtime_adj(X509_getm_notAfter(certificate), 24 * 3600);
    X509_set_pubkey(certificate, key);
    X509_NAME* name = X509_get_subject_name(certificate);
    X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                               reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
    X509_set_issuer_name(certificate, name);
    ok = X509_sign(certificate, key, EVP_sha256()) > 0;
  }
  if (ok) {
    FILE* certFile = std::fopen((directory / "cert.pem").c_str(), "w");
    FILE* keyFile = std::fopen((directory / "key.pem").c_str(), "w");
    ok = certFile != nullptr && keyFile != nullptr && PEM_write_X509(certFile, certificate) == 1 &&
         PEM_write_PrivateKey(keyFile, key, nullptr, nullptr, 0, nullptr, nullptr) == 1;
    if (certFile != nullptr) std::fclose(certFile);
    if (keyFile != nullptr) std::fclose(keyFile);
  }
  X509_free(certificate);
  EVP_PKEY_free(key);
  return ok;
}

std::filesystem::path MakeTempDir() {
  std::random_device random;
  const auto directory = std::filesystem::temp_directory_path() /
                         ("lectoria-speechd-test-" + std::to_string(random()));
  std::filesystem::create_directories(directory);
  return directory;
}

}  // namespace lectoria::speechd::testing
