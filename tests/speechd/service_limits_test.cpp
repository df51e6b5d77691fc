// The service under clients that are slow, idle, greedy or gone, over real sockets on
// 127.0.0.1. Waits are bounded by the service's own time limits, never by speed goals.
#include <gtest/gtest.h>
#include <httplib.h>
#include <unistd.h>

#include <atomic>
#include <cmath>
#include <nlohmann/json.hpp>
#include <thread>
#include <vector>

#include "speechd/speech_service.h"
#include "speechd/voice_catalogue.h"
#include "speechd_test_support.h"

namespace lectoria::speechd {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using testing::ConnectLoopback;
using testing::ReadUntilClosed;
using testing::SendAll;

// Closes the sockets a test opened.
struct Sockets {
  std::vector<int> fds;
  ~Sockets() {
    for (int fd : fds) ::close(fd);
  }
};

bool TokenFetched(int port) {
  httplib::Client client("127.0.0.1", port);
  client.set_read_timeout(30, 0);
  auto reply = client.Get(std::string(kAuthTokenPath));
  return reply && reply->status == 200 &&
         !nlohmann::json::parse(reply->body).value("authToken", "").empty();
}

TEST(SpeechdServiceLimitsTest, SlowAndIdleClientsDelayNobodyElse) {
  SpeechServiceOptions options;
  options.keepAliveTimeout = 5s;
  options.requestTimeout = 30s;
  SpeechService service(options);
  const int port = service.Start();
  ASSERT_GT(port, 0) << service.LastError();

  // 200 connections: silent ones, ones stuck in the middle of a head, kept-alive ones.
  Sockets slow;
  for (int i = 0; i < 200; ++i) {
    const int fd = ConnectLoopback(port);
    ASSERT_GE(fd, 0);
    slow.fds.push_back(fd);
    if (i % 3 == 1) SendAll(fd, "POST " + std::string(kSpeakPath) + " HTTP/1.1\r\nHost: x\r\n");
    if (i % 3 == 2) {
      SendAll(fd, "GET " + std::string(kAuthTokenPath) + " HTTP/1.1\r\nHost: x\r\n\r\n");
    }
  }
  const auto start = Clock::now();
  EXPECT_TRUE(TokenFetched(port));
  // Answered while every slow client still held its connection: none had to time out first.
  EXPECT_LT(Clock::now() - start, options.keepAliveTimeout);
}

TEST(SpeechdServiceLimitsTest, RequestTricklingInIsCutAtItsDeadline) {
  SpeechServiceOptions options;
  options.requestTimeout = 500ms;
  SpeechService service(options);
  const int port = service.Start();
  ASSERT_GT(port, 0);

  // One byte every 50 ms never leaves the connection silent for long, and the head would
  // take minutes; only the deadline for the whole request ends it.
  const int fd = ConnectLoopback(port);
  ASSERT_GE(fd, 0);
  const std::string head = "GET " + std::string(kAuthTokenPath) +
                           " HTTP/1.1\r\nX-Slow: " + std::string(5000, 'a') + "\r\n\r\n";
  std::size_t sent = 0;
  for (; sent < head.size() && SendAll(fd, head.substr(sent, 1)); ++sent) {
    if (ReadUntilClosed(fd, 50ms)) break;
  }
  ::close(fd);
  EXPECT_LT(sent, 200u) << "the connection stayed open for " << sent << " bytes";
}

TEST(SpeechdServiceLimitsTest, LongHeadByteByByteIsAnsweredAndAnOverlongOneRefused) {
  SpeechService service;
  const int port = service.Start();
  ASSERT_GT(port, 0);
  const auto headOf = [](std::size_t padding) {
    return "GET " + std::string(kAuthTokenPath) +
           " HTTP/1.1\r\nHost: x\r\nX-Pad: " + std::string(padding, 'p') +
           "\r\nConnection: close\r\n\r\n";
  };

  // 63 KB in single bytes: reading it must stay cheap enough to finish within the request
  // deadline.
  const int fd = ConnectLoopback(port);
  ASSERT_GE(fd, 0);
  const std::string head = headOf(63 * 1000);
  bool sentAll = true;
  for (std::size_t i = 0; i < head.size() && sentAll; ++i) sentAll = SendAll(fd, head.substr(i, 1));
  std::string reply;
  ReadUntilClosed(fd, 30s, &reply);
  ::close(fd);
  EXPECT_TRUE(sentAll);
  EXPECT_EQ(reply.substr(0, 12), "HTTP/1.1 200");

  const std::string refused = testing::RawExchange(port, headOf(300 * 1000));
  EXPECT_EQ(refused.find("HTTP/1.1 200"), std::string::npos) << refused.substr(0, 40);
  EXPECT_TRUE(TokenFetched(port));
}

TEST(SpeechdServiceLimitsTest, ConnectionsBeyondTheLimitAreClosedUntilOthersEnd) {
  SpeechServiceOptions options;
  options.maxConnections = 8;
  SpeechService service(options);
  const int port = service.Start();
  ASSERT_GT(port, 0);
  {
    Sockets held;
    for (int i = 0; i < 8; ++i) held.fds.push_back(ConnectLoopback(port));
    const int extra = ConnectLoopback(port);
    ASSERT_GE(extra, 0);
    SendAll(extra, "GET " + std::string(kAuthTokenPath) + " HTTP/1.1\r\nHost: x\r\n\r\n");
    std::string reply;
    EXPECT_TRUE(ReadUntilClosed(extra, 5s, &reply));
    EXPECT_TRUE(reply.empty()) << reply.substr(0, 40);
    ::close(extra);
  }
  // The held connections are gone; their places are free again.
  const auto deadline = Clock::now() + 5s;
  while (!TokenFetched(port) && Clock::now() < deadline) std::this_thread::sleep_for(10ms);
  EXPECT_TRUE(TokenFetched(port));
}

// Speaks each piece as a tenth of a second of tone at 16 kHz, slowly, and counts the pieces.
class CountingEngine final : public SpeechEngine {
 public:
  std::string_view Name() const override { return "counting"; }
  VoiceList Voices(std::string&) override { return EspeakVoices(); }
  SynthesisResult Speak(const PieceVoice&, std::string_view, const StopCheck& stop, double,
                        EngineAudio& audio) override {
    ++pieces;
    std::this_thread::sleep_for(20ms);
    if (stop && stop()) return SynthesisResult::kCancelled;
    audio.rate = 16000;
    audio.samples.resize(1600);
    for (std::size_t i = 0; i < audio.samples.size(); ++i)
      audio.samples[i] = static_cast<std::int16_t>(8000 * std::sin(0.2 * static_cast<double>(i)));
    return SynthesisResult::kOk;
  }
  std::atomic<int> pieces{0};
};

TEST(SpeechdServiceLimitsTest, SpeakingStopsWhenTheClientLeaves) {
  auto engine = std::make_shared<CountingEngine>();
  SpeechServiceOptions options;
  options.handlers.engine = engine;
  SpeechService service(options);
  const int port = service.Start();
  ASSERT_GT(port, 0);
  const std::string token = service.Handlers().Tokens().Issue();

  // 100 sentences of 150 characters: 100 pieces, two seconds of engine time.
  std::string text;
  for (int i = 0; i < 100; ++i) text += std::string(148, 'a') + ". ";
  const std::string body = testing::SpeakBody(testing::SpeakSsml(text));
  const int fd = ConnectLoopback(port);
  ASSERT_GE(fd, 0);
  SendAll(fd, "POST " + std::string(kSpeakPath) + " HTTP/1.1\r\nHost: x\r\nAccDemoPageAuthToken: " +
                  token + "\r\nContent-Type: application/json\r\nContent-Length: " +
                  std::to_string(body.size()) + "\r\n\r\n" + body);
  char first[64];
  ASSERT_GT(::recv(fd, first, sizeof first, 0), 0);  // the reply has begun
  ::close(fd);

  // Wait until the engine has not been called for a while (or has spoken everything).
  int seen = -1;
  const auto deadline = Clock::now() + 20s;
  while (seen != engine->pieces && engine->pieces < 100 && Clock::now() < deadline) {
    seen = engine->pieces;
    std::this_thread::sleep_for(200ms);
  }
  EXPECT_LT(engine->pieces.load(), 50);

  // The same text for a client that stays gets every piece, as one stream.
  engine->pieces = 0;
  httplib::Client client("127.0.0.1", port);
  auto reply = client.Post(std::string(kSpeakPath), {{std::string(kTokenHeader), token}}, body,
                           "application/json");
  ASSERT_TRUE(reply);
  EXPECT_EQ(reply->status, 200);
  EXPECT_EQ(engine->pieces.load(), 100);
  const auto decoded = testing::DecodeMp3(reply->body);
  ASSERT_TRUE(decoded.ok);
  EXPECT_NEAR(decoded.Seconds(), 10.0, 0.3);
}

}  // namespace
}  // namespace lectoria::speechd
