// The client against the embedded speech service on 127.0.0.1: the real exchange of a token,
// the voice list and a synthesis, checked on the service's side as it recorded the requests.
#include <gtest/gtest.h>

#include <cstdint>
#include <span>

#include "audio/mp3_decoder.h"
#include "net/support/tls_test_cert.h"
#include "speechd/speech_service.h"
#include "tts/service_identity.h"
#include "tts/speech_service_client.h"
#include "tts/style_table.h"
#include "tts_test_support.h"

namespace lectoria {
namespace {

using testing::Gbk;

constexpr std::string_view kVoice = "zh-CN-XiaoxiaoNeural";

std::string Path(const speechd::RecordedRequest& request) {
  const std::string& line = request.requestLine;
  const std::size_t start = line.find(' ') + 1;
  return line.substr(start, line.find(' ', start) - start);
}

class EmbeddedServiceTest : public ::testing::Test {
 protected:
  EmbeddedServiceTest() : service_(Options()) {
    port_ = service_.Start("127.0.0.1", 0);
    client_ = std::make_unique<SpeechServiceClient>(SpeechServiceEndpoint::Local(port_));
  }
  static speechd::SpeechServiceOptions Options() {
    speechd::SpeechServiceOptions options;
    options.recordRequests = true;
    return options;
  }
  void SetUp() override { ASSERT_GT(port_, 0) << service_.LastError(); }

  std::string Token() {
    std::string token = client_->FetchAuthToken();
    EXPECT_FALSE(token.empty());
    return token;
  }

  speechd::SpeechService service_;
  int port_ = 0;
  std::unique_ptr<SpeechServiceClient> client_;
  SpeechClientValues shared_;
};

TEST_F(EmbeddedServiceTest, TokenAndVoices) {
  const std::string token = Token();
  const std::vector<std::string> names = client_->LoadVoiceCatalogue(token, shared_);
  EXPECT_NE(std::find(names.begin(), names.end(), kVoice), names.end());
  EXPECT_LE(names.size(), kMaxListedVoices);
  // The record and the styles of a voice come out of the service's own list.
  const auto record = FindVoiceRecord(shared_.VoiceListJson(), kVoice);
  ASSERT_TRUE(record);
  EXPECT_EQ(record->locale, "zh-CN");
  EXPECT_FALSE(record->id.empty());
  EXPECT_FALSE(record->name.empty());
  const auto labels = BuildStyleLabels(shared_.VoiceListJson(), kVoice);
  EXPECT_EQ(labels.back(), kDefaultStyleLabel);

  const auto requests = service_.RecordedRequests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].requestLine,
            "GET /api/texttospeech/v3.0-beta1/accdemopageentry/auth-token HTTP/1.1");
  EXPECT_EQ(requests[1].Header("AccDemoPageAuthToken"), token);
  EXPECT_EQ(requests[1].body, speech_ids::kVoicesQuery);
}

TEST_F(EmbeddedServiceTest, SynthesisOfALine) {
  const std::string token = Token();
  ASSERT_FALSE(client_->LoadVoiceCatalogue(token, shared_).empty());
  shared_.SetStyleLabels(BuildStyleLabels(shared_.VoiceListJson(), kVoice));
  const std::string label = shared_.StyleLabels().front();  // the voice's first style
  service_.ClearRecordedRequests();

  const std::string clip = client_->SynthesizeLine(token, Gbk("今天天气很好，我们去公园散步。"),
                                                   kVoice, label, shared_, nullptr);
  ASSERT_FALSE(clip.empty());
  EXPECT_EQ(shared_.ServiceStyleName(), StyleForLabel(label).value());
  const auto decoded =
      DecodeMp3(std::span(reinterpret_cast<const std::uint8_t*>(clip.data()), clip.size()));
  ASSERT_TRUE(decoded);
  EXPECT_EQ(decoded->rate, 24000);
  EXPECT_EQ(decoded->channels, 1);
  EXPECT_GT(decoded->LengthMs(), 500);

  const auto requests = service_.RecordedRequests();
  ASSERT_EQ(requests.size(), 4u);
  const std::string api = "/api/texttospeech/v3.0-beta1/accdemopage/";
  EXPECT_EQ(Path(requests[0]), api + "voices");
  EXPECT_EQ(Path(requests[1]), api + "multitune");
  EXPECT_EQ(Path(requests[2]), api + "split-ssmls");
  EXPECT_EQ(Path(requests[3]), api + "speak");

  const std::vector<std::string> multitune = {"Host",
                                              "AccDemoPageAuthToken",
                                              "Accept",
                                              "Accept-Encoding",
                                              "Accept-Language",
                                              "Cache-Control",
                                              "Content-Length",
                                              "Content-Type",
                                              "CustomvoiceConnectionId",
                                              "Origin",
                                              "Pragma",
                                              "Sec-Fetch-Dest",
                                              "Sec-Fetch-Mode",
                                              "Sec-Fetch-Site",
                                              "SpeechStudio-Session-Id",
                                              "SpeechStudio-SubscriptionSession-Id",
                                              "User-Agent",
                                              "Sec-Ch-Ua",
                                              "Sec-Ch-Ua-Mobile",
                                              "Sec-Ch-Ua-Platform",
                                              "X-Ms-Useragent",
                                              "Referer"};
  EXPECT_EQ(requests[1].HeaderNames(), multitune);
  std::vector<std::string> split = multitune;
  split.erase(split.begin() + 1);
  split.insert(split.end() - 1, "AccDemoPageAuthToken");
  EXPECT_EQ(requests[2].HeaderNames(), split);
  const std::vector<std::string> speak = {"Host",
                                          "AccDemoPageAuthToken",
                                          "Accept",
                                          "Accept-Language",
                                          "Cache-Control",
                                          "Content-Length",
                                          "Content-Type",
                                          "CustomvoiceConnectionId",
                                          "Origin",
                                          "Pragma",
                                          "Sec-Fetch-Dest",
                                          "Sec-Fetch-Mode",
                                          "Sec-Fetch-Site",
                                          "User-Agent",
                                          "Sec-Ch-Ua",
                                          "Sec-Ch-Ua-Mobile",
                                          "Sec-Ch-Ua-Platform",
                                          "Referer"};
  EXPECT_EQ(requests[3].HeaderNames(), speak);

  const std::string host = "127.0.0.1:" + std::to_string(port_);
  for (const auto& request : requests) {
    EXPECT_EQ(request.Header("AccDemoPageAuthToken"), token);
    EXPECT_EQ(request.Header("Host"), host);
    EXPECT_EQ(request.Header("Origin"), "http://" + host);
    EXPECT_EQ(request.Header("Content-Length"), std::to_string(request.body.size()));
  }
  EXPECT_EQ(requests[1].Header("Sec-Ch-Ua"), std::string(speech_ids::kSecChUa));
  EXPECT_EQ(requests[1].Header("CustomvoiceConnectionId"), speech_ids::kTuneConnectionId);
  EXPECT_EQ(requests[3].Header("Accept"), "*/*");
  EXPECT_NE(requests[3].body.find("\"ttsAudioFormat\":\"audio-24khz-160kbitrate-mono-mp3\""),
            std::string::npos);
}

// The service parses the bodies with strict JSON and XML parsers: lines with signs that mean
// something in either must still make well-formed requests.
TEST_F(EmbeddedServiceTest, LinesWithMarkupCharactersAreSpoken) {
  const std::string token = Token();
  ASSERT_FALSE(client_->LoadVoiceCatalogue(token, shared_).empty());
  for (const std::string& line : {Gbk("他说：\"<你好> & 'hi'\" \\ 局_类型 转换文本"),
                                  Gbk("淺淺的溪水"), Gbk("第一章\t开始")}) {
    EXPECT_FALSE(
        client_->SynthesizeLine(token, line, kVoice, Gbk("默认"), shared_, nullptr).empty())
        << line;
  }
}

TEST_F(EmbeddedServiceTest, RefusedTokenGivesNoClip) {
  const std::string token = Token();
  ASSERT_FALSE(client_->LoadVoiceCatalogue(token, shared_).empty());
  const std::string cached = shared_.VoiceListJson();
  service_.ClearRecordedRequests();
  EXPECT_EQ(client_->SynthesizeLine("not-a-token", Gbk("你好世界"), kVoice, Gbk("默认"), shared_,
                                    nullptr),
            "");
  EXPECT_TRUE(client_->LoadVoiceCatalogue("not-a-token", shared_).empty());
  EXPECT_EQ(shared_.VoiceListJson(), cached);
  // The refused voices request ends the synthesis: nothing else is sent.
  EXPECT_EQ(service_.RecordedRequests().size(), 2u);
}

TEST_F(EmbeddedServiceTest, ServiceStopped) {
  service_.Stop();
  EXPECT_EQ(client_->FetchAuthToken(), "");
}

TEST(EmbeddedServiceHttps, VerifiesTheCertificate) {
  test::TlsTestCert cert;
  ASSERT_TRUE(cert.ok());
  speechd::SpeechServiceOptions options;
  options.certFile = cert.certFile();
  options.keyFile = cert.keyFile();
  speechd::SpeechService service(options);
  const int port = service.Start("127.0.0.1", 0);
  ASSERT_GT(port, 0) << service.LastError();

  SpeechServiceEndpoint endpoint;
  endpoint.baseUrl = "https://127.0.0.1:" + std::to_string(port);
  // An unknown certificate is refused by default.
  EXPECT_EQ(SpeechServiceClient(endpoint).FetchAuthToken(), "");
  endpoint.caFile = cert.certFile();
  const SpeechServiceClient trusting(endpoint);
  const std::string token = trusting.FetchAuthToken();
  ASSERT_FALSE(token.empty());
  SpeechClientValues shared;
  ASSERT_FALSE(trusting.LoadVoiceCatalogue(token, shared).empty());
  EXPECT_FALSE(
      trusting.SynthesizeLine(token, Gbk("你好"), kVoice, Gbk("默认"), shared, nullptr).empty());
}

}  // namespace
}  // namespace lectoria
