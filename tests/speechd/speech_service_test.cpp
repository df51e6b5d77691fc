// The service over real sockets on 127.0.0.1: the whole exchange, the request log, HTTPS and
// shutdown.
#include "speechd/speech_service.h"

#include <gtest/gtest.h>
#include <httplib.h>

#include <nlohmann/json.hpp>
#include <cmath>
#include <thread>

#include "speechd/text_pieces.h"
#include "speechd/voice_catalogue.h"
#include "speechd_test_support.h"

namespace lectoria::speechd {
namespace {

using namespace std::chrono_literals;
using testing::DecodeMp3;
using testing::RawExchange;

const std::string kLine =
    "\xE4\xBB\x8A\xE5\xA4\xA9\xE5\xA4\xA9\xE6\xB0\x94\xE5\xBE\x88\xE5\xA5\xBD"
    "\xE3\x80\x82";  // 今天天气很好。

std::string FetchToken(httplib::Client& client) {
  auto reply = client.Get(std::string(kAuthTokenPath));
  if (!reply || reply->status != 200) return {};
  return nlohmann::json::parse(reply->body).value("authToken", "");
}

httplib::Headers Headers(const std::string& token) {
  return {{std::string(kTokenHeader), token}};
}

TEST(SpeechServiceTest, AnswersTheClientsFiveRequests) {
  SpeechService service;
  const int port = service.Start();
  ASSERT_GT(port, 0) << service.LastError();
  httplib::Client client("127.0.0.1", port);
  client.set_decompress(false);  // look at the bytes as sent

  const std::string token = FetchToken(client);
  ASSERT_EQ(token.size(), 64u);

  auto voices = client.Post(std::string(kVoicesPath), Headers(token),
                            std::string(testing::kVoicesBody), "application/json");
  ASSERT_TRUE(voices);
  EXPECT_EQ(voices->status, 200);
  EXPECT_FALSE(voices->has_header("Content-Encoding"));
  EXPECT_TRUE(nlohmann::json::parse(voices->body).is_array());

  httplib::Headers accepting = Headers(token);
  accepting.emplace("Accept-Encoding", "gzip, deflate, br");
  auto multitune = client.Post(std::string(kMultitunePath), accepting,
                               testing::MultituneBody(kLine, 14), "application/json");
  ASSERT_TRUE(multitune);
  EXPECT_EQ(multitune->status, 200);
  EXPECT_EQ(multitune->get_header_value("Content-Encoding"), "gzip");
  EXPECT_TRUE(nlohmann::json::parse(testing::Gunzip(multitune->body)).is_object());

  auto split = client.Post(std::string(kSplitSsmlsPath), accepting,
                           testing::SplitBody(testing::SplitSsml(kLine)), "application/json");
  ASSERT_TRUE(split);
  EXPECT_EQ(split->get_header_value("Content-Encoding"), "gzip");
  const auto segment =
      nlohmann::json::parse(testing::Gunzip(split->body))["ssmlSplitResults"][0]["segments"][0];
  EXPECT_EQ(segment["charLenghtOfPlainText"], 7);

  auto speak = client.Post(
      std::string(kSpeakPath), Headers(token),
      testing::SpeakBody(testing::SpeakSsml(kLine, "zh-CN-XiaoxiaoNeural", "gentle"), "0", "7"),
      "application/json");
  ASSERT_TRUE(speak);
  EXPECT_EQ(speak->status, 200);
  EXPECT_EQ(speak->get_header_value("Content-Type"), "audio/mpeg");
  EXPECT_FALSE(speak->has_header("Content-Encoding"));
  const auto decoded = DecodeMp3(speak->body);
  ASSERT_TRUE(decoded.ok);
  EXPECT_GT(decoded.Seconds(), 0.7);
  EXPECT_LT(decoded.Seconds(), 5.0);
}

TEST(SpeechServiceTest, RecordsEachRequestAsItArrived) {
  SpeechServiceOptions options;
  options.recordRequests = true;
  SpeechService service(options);
  const int port = service.Start();
  ASSERT_GT(port, 0);
  const std::string token = service.Handlers().Tokens().Issue();

  const std::string body = std::string(testing::kVoicesBody);
  const std::string raw = "POST " + std::string(kVoicesPath) +
                          " HTTP/1.1\r\n"
                          "AccDemoPageAuthToken: " +
                          token +
                          "\r\n"
                          "Accept: application/json, text/plain, */*\r\n"
                          "Content-Length: " +
                          std::to_string(body.size()) +
                          "\r\n"
                          "Content-Type: application/json\r\n"
                          "Host: 127.0.0.1\r\n"
                          "X-Ms-Useragent: SpeechStudio/2021.05.001\r\n"
                          "sec-ch-ua-platform: \"Windows\"\r\n"
                          "Connection: close\r\n\r\n" +
                          body;
  const std::string reply = RawExchange(port, raw);
  EXPECT_EQ(reply.substr(0, 15), "HTTP/1.1 200 OK");

  const auto requests = service.RecordedRequests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].requestLine, "POST " + std::string(kVoicesPath) + " HTTP/1.1");
  EXPECT_EQ(
      requests[0].HeaderNames(),
      (std::vector<std::string>{"AccDemoPageAuthToken", "Accept", "Content-Length", "Content-Type",
                                "Host", "X-Ms-Useragent", "sec-ch-ua-platform", "Connection"}));
  EXPECT_EQ(requests[0].headerLines[6], "sec-ch-ua-platform: \"Windows\"");
  EXPECT_EQ(requests[0].Header("content-length"), std::to_string(body.size()));
  EXPECT_EQ(requests[0].body, body);

  // Requests refused before any handler ran are recorded too.
  RawExchange(port, "GET /nowhere HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n");
  ASSERT_EQ(service.RecordedRequests().size(), 2u);
  EXPECT_EQ(service.RecordedRequests()[1].requestLine, "GET /nowhere HTTP/1.1");
  service.ClearRecordedRequests();
  EXPECT_TRUE(service.RecordedRequests().empty());
}

TEST(SpeechServiceTest, RefusalsCarryJsonBodies) {
  SpeechService service;
  const int port = service.Start();
  ASSERT_GT(port, 0);
  const std::string token = service.Handlers().Tokens().Issue();
  const auto statusAndBody = [](const std::string& reply) {
    const std::size_t bodyStart = reply.find("\r\n\r\n");
    return std::make_pair(reply.substr(9, 3),
                          bodyStart == std::string::npos ? "" : reply.substr(bodyStart + 4));
  };

  const auto [missing, missingBody] = statusAndBody(
      RawExchange(port, "POST " + std::string(kSpeakPath) +
                            " HTTP/1.1\r\nHost: x\r\nContent-Type: application/json\r\n"
                            "Content-Length: 2\r\nConnection: close\r\n\r\n{}"));
  EXPECT_EQ(missing, "401");
  EXPECT_EQ(nlohmann::json::parse(missingBody)["error"]["code"], "Unauthorized");

  const auto [notFound, notFoundBody] = statusAndBody(
      RawExchange(port, "GET /api/x HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n"));
  EXPECT_EQ(notFound, "404");
  EXPECT_TRUE(nlohmann::json::parse(notFoundBody).contains("error"));

  // A body above the limit is refused from its Content-Length, before it is read.
  const auto [tooLarge, tooLargeBody] =
      statusAndBody(RawExchange(port, "POST " + std::string(kSpeakPath) +
                                          " HTTP/1.1\r\nHost: x\r\nAccDemoPageAuthToken: " + token +
                                          "\r\nContent-Type: application/json\r\nContent-Length: "
                                          "10000000\r\nConnection: close\r\n\r\n{"));
  EXPECT_EQ(tooLarge, "413");
  EXPECT_TRUE(nlohmann::json::parse(tooLargeBody).contains("error"));

  // A request line that cannot be read gets a 400 or, if even that is not sure, the
  // connection closed without a reply.
  const std::string garbage = RawExchange(port, "NONSENSE\r\n\r\n");
  EXPECT_TRUE(garbage.empty() || garbage.substr(9, 3) == "400") << garbage;
}

TEST(SpeechServiceTest, TokensExpireAfterTheirLifetime) {
  std::atomic<std::int64_t> seconds{0};
  SpeechServiceOptions options;
  options.handlers.tokenLifetime = 600s;
  options.handlers.clock = [&] {
    return std::chrono::steady_clock::time_point(std::chrono::seconds(seconds.load()));
  };
  SpeechService service(options);
  const int port = service.Start();
  ASSERT_GT(port, 0);
  httplib::Client client("127.0.0.1", port);
  const std::string token = FetchToken(client);
  const auto voices = [&] {
    auto reply = client.Post(std::string(kVoicesPath), Headers(token),
                             std::string(testing::kVoicesBody), "application/json");
    return reply ? reply->status : -1;
  };
  EXPECT_EQ(voices(), 200);
  seconds = 599;
  EXPECT_EQ(voices(), 200);
  seconds = 601;
  EXPECT_EQ(voices(), 401);
}

TEST(SpeechServiceTest, ServesHttpsWithACertificateMadeNow) {
  const auto directory = testing::MakeTempDir();
  ASSERT_TRUE(testing::MakeSelfSignedCertificate(directory));
  SpeechServiceOptions options;
  options.certFile = (directory / "cert.pem").string();
  options.keyFile = (directory / "key.pem").string();
  SpeechService service(options);
  const int port = service.Start();
  ASSERT_GT(port, 0) << service.LastError();
  EXPECT_TRUE(service.UsesTls());

  httplib::SSLClient client("127.0.0.1", port);
  client.enable_server_certificate_verification(false);
  auto tokenReply = client.Get(std::string(kAuthTokenPath));
  ASSERT_TRUE(tokenReply) << httplib::to_string(tokenReply.error());
  const std::string token = nlohmann::json::parse(tokenReply->body)["authToken"];
  auto speak = client.Post(std::string(kSpeakPath), Headers(token),
                           testing::SpeakBody(testing::SpeakSsml(kLine)), "application/json");
  ASSERT_TRUE(speak);
  EXPECT_EQ(speak->status, 200);
  EXPECT_TRUE(DecodeMp3(speak->body).ok);

  // Plain HTTP to the HTTPS port gets no reply.
  EXPECT_EQ(RawExchange(port, "GET / HTTP/1.1\r\n\r\n").find("HTTP/1.1"), std::string::npos);
  service.Stop();
  std::filesystem::remove_all(directory);

  SpeechServiceOptions broken;
  broken.certFile = "/nonexistent/cert.pem";
  broken.keyFile = "/nonexistent/key.pem";
  SpeechService failing(broken);
  EXPECT_EQ(failing.Start(), 0);
  EXPECT_FALSE(failing.LastError().empty());
}

TEST(SpeechServiceTest, StopEndsIdleAndBusyConnectionsAndCanRestart) {
  SpeechServiceOptions options;
  options.recordRequests = true;
  options.keepAliveTimeout = 60s;  // an idle connection must not hold Stop up
  SpeechService service(options);
  const int port = service.Start();
  ASSERT_GT(port, 0);

  httplib::Client idle("127.0.0.1", port);
  idle.set_keep_alive(true);
  ASSERT_FALSE(FetchToken(idle).empty());

  // A long line is being spoken when the service stops.
  const std::string token = service.Handlers().Tokens().Issue();
  std::string longText;
  for (int i = 0; i < 150; ++i) longText += kLine;
  std::atomic<int> busyStatus{0};
  std::thread busy([&] {
    httplib::Client client("127.0.0.1", port);
    auto reply = client.Post(std::string(kSpeakPath), Headers(token),
                             testing::SpeakBody(testing::SpeakSsml(longText)), "application/json");
    busyStatus = reply ? reply->status : -1;
  });
  while (service.RecordedRequests().size() < 2) std::this_thread::yield();
  service.Stop();
  busy.join();
  EXPECT_TRUE(busyStatus == 503 || busyStatus == -1 || busyStatus == 200) << busyStatus;
  EXPECT_FALSE(service.Running());

  const int again = service.Start();
  ASSERT_GT(again, 0);
  httplib::Client client("127.0.0.1", again);
  EXPECT_FALSE(FetchToken(client).empty());
  service.Stop();
  service.Stop();  // a second Stop does nothing
}

TEST(SpeechServiceTest, TakenPortIsReported) {
  SpeechService first;
  const int port = first.Start();
  ASSERT_GT(port, 0);
  SpeechService second;
  EXPECT_EQ(second.Start("127.0.0.1", port), 0);
  EXPECT_FALSE(second.LastError().empty());
  EXPECT_EQ(first.Start(), 0) << "already running";
}

// Speaks each piece as a tenth of a second of tone, at once.
class ToneEngine final : public SpeechEngine {
 public:
  std::string_view Name() const override { return "tone"; }
  VoiceList Voices(std::string&) override { return EspeakVoices(); }
  SynthesisResult Speak(const PieceVoice&, std::string_view, const StopCheck&, double,
                        EngineAudio& audio) override {
    ++pieces;
    audio.rate = 24000;
    audio.samples.assign(2400, 0);
    for (std::size_t i = 0; i < audio.samples.size(); ++i)
      audio.samples[i] = static_cast<std::int16_t>(8000 * std::sin(0.2 * static_cast<double>(i)));
    return SynthesisResult::kOk;
  }
  std::atomic<int> pieces{0};
};

TEST(SpeechServiceTest, ReadsATwentyThousandCharacterParagraph) {
  // 今天天气很好。 (7 characters) and 夜深了，灯火熄灭了。 (10 characters), taken in turn.
  const std::string second =
      "\xE5\xA4\x9C\xE6\xB7\xB1\xE4\xBA\x86\xEF\xBC\x8C\xE7\x81\xAF\xE7\x81\xAB"
      "\xE7\x86\x84\xE7\x81\xAD\xE4\xBA\x86\xE3\x80\x82";
  std::string paragraph;
  for (int chars = 0; chars < 20000; chars += 17) paragraph += kLine + second;
  const std::string body = testing::SpeakBody(testing::SpeakSsml(paragraph));

  // Every piece goes to the engine, and all of them make one stream.
  {
    auto engine = std::make_shared<ToneEngine>();
    SpeechServiceOptions options;
    options.handlers.engine = engine;
    SpeechService service(options);
    const int port = service.Start();
    ASSERT_GT(port, 0);
    httplib::Client client("127.0.0.1", port);
    auto reply = client.Post(std::string(kSpeakPath), Headers(service.Handlers().Tokens().Issue()),
                             body, "application/json");
    ASSERT_TRUE(reply) << httplib::to_string(reply.error());
    ASSERT_EQ(reply->status, 200);
    const int pieces = static_cast<int>(SplitIntoPieces(paragraph).size());
    EXPECT_GT(pieces, 100);
    EXPECT_EQ(engine->pieces.load(), pieces);
    EXPECT_NEAR(DecodeMp3(reply->body).Seconds(), pieces * 0.1, 0.2);
  }

  // espeak-ng speaks it as a stream: the first minutes of audio, several pieces' worth, arrive
  // long before the rest is spoken; the client then leaves.
  SpeechService service;
  const int port = service.Start();
  ASSERT_GT(port, 0);
  httplib::Client client("127.0.0.1", port);
  httplib::Request request;
  request.method = "POST";
  request.path = std::string(kSpeakPath);
  request.headers = Headers(service.Handlers().Tokens().Issue());
  request.headers.emplace("Content-Type", "application/json");
  request.body = body;
  int status = 0;
  std::string contentType;
  request.response_handler = [&](const httplib::Response& response) {
    status = response.status;
    contentType = response.get_header_value("Content-Type");
    return true;
  };
  std::string audio;
  constexpr std::size_t kWanted = 2'000'000;  // 100 seconds at 160 kbit/s
  request.content_receiver = [&](const char* data, std::size_t size, std::uint64_t,
                                 std::uint64_t) {
    audio.append(data, size);
    return audio.size() < kWanted;
  };
  client.send(request);
  EXPECT_EQ(status, 200);
  EXPECT_EQ(contentType, "audio/mpeg");
  ASSERT_GE(audio.size(), kWanted);
  const auto decoded = DecodeMp3(audio);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.rate, 24000);
  EXPECT_GT(decoded.Seconds(), 90);
  EXPECT_GT(decoded.energy, 0u);
}

TEST(SpeechServiceTest, ConcurrentSpeakRequestsAllSucceed) {
  SpeechService service;
  const int port = service.Start();
  ASSERT_GT(port, 0);
  const std::string token = service.Handlers().Tokens().Issue();
  std::vector<std::thread> clients;
  std::atomic<int> good{0};
  for (const char* voice :
       {"zh-CN-XiaoxiaoNeural", "zh-CN-YunxiNeural", "zh-HK-HiuMaanNeural", "en-US-AriaNeural"}) {
    clients.emplace_back([&, voice] {
      httplib::Client client("127.0.0.1", port);
      auto reply =
          client.Post(std::string(kSpeakPath), Headers(token),
                      testing::SpeakBody(testing::SpeakSsml(kLine, voice)), "application/json");
      if (reply && reply->status == 200 && DecodeMp3(reply->body).ok) ++good;
    });
  }
  for (auto& thread : clients) thread.join();
  EXPECT_EQ(good.load(), 4);
}

}  // namespace
}  // namespace lectoria::speechd
