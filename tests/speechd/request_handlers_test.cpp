// The five requests answered directly by the handlers, without sockets.
#include "speechd/request_handlers.h"

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "speechd/gzip_codec.h"
#include "speechd_test_support.h"

namespace lectoria::speechd {
namespace {

using namespace std::chrono_literals;
using testing::DecodeMp3;
using testing::Gunzip;
using testing::JsonPost;
using testing::SpeakBody;
using testing::SpeakSsml;
using testing::SplitBody;
using testing::SplitSsml;

// 三十个汉字：一行小说的典型长度。
const std::string kThirtyChars =
    "\xE5\xA4\x9C\xE6\xB7\xB1\xE4\xBA\x86\xEF\xBC\x8C\xE5\xB0\x8F\xE9\x95\x87\xE4\xB8\x8A\xE7\x9A"
    "\x84\xE7\x81\xAF\xE7\x81\xAB\xE4\xB8\x80\xE7\x9B\x8F\xE6\x8E\xA5\xE4\xB8\x80\xE7\x9B\x8F\xE5"
    "\x9C\xB0\xE7\x86\x84\xE7\x81\xAD\xE4\xBA\x86\xEF\xBC\x8C\xE5\x8F\xAA\xE6\x9C\x89\xE9\x93\x81"
    "\xE5\x8C\xA0\xE9\x93\xBA\xE5\xAD\x90\xE8\xBF\x98\xE4\xBA\xAE\xE7\x9D\x80\xE3\x80\x82";  // 夜深了，小镇上的灯火一盏接一盏地熄灭了，只有铁匠铺子还亮着。

class SpeechdRequestHandlersTest : public ::testing::Test {
 protected:
  SpeechdRequestHandlersTest() : handlers_(Options()) {}

  HandlerOptions Options() {
    HandlerOptions options;
    options.clock = [this] { return now_; };
    return options;
  }

  std::string Token() {
    ServiceRequest request;
    request.method = "GET";
    request.path = std::string(kAuthTokenPath);
    const ServiceReply reply = handlers_.Handle(request);
    EXPECT_EQ(reply.status, 200);
    return nlohmann::json::parse(reply.body).value("authToken", "");
  }

  ServiceReply Post(std::string_view path, std::string body) {
    return handlers_.Handle(JsonPost(path, std::move(body), Token()));
  }

  static std::string ErrorMessage(const ServiceReply& reply) {
    const auto body = nlohmann::json::parse(reply.body, nullptr, false);
    return body.is_object() ? body["error"].value("message", "") : "";
  }

  std::chrono::steady_clock::time_point now_{};
  RequestHandlers handlers_;
};

TEST_F(SpeechdRequestHandlersTest, TokenReplyIsJsonWithAFreshToken) {
  ServiceRequest request;
  request.method = "GET";
  request.path = std::string(kAuthTokenPath);
  const ServiceReply first = handlers_.Handle(request);
  const ServiceReply second = handlers_.Handle(request);
  EXPECT_EQ(first.contentType, kJsonContentType);
  EXPECT_TRUE(first.contentEncoding.empty());
  const auto token = nlohmann::json::parse(first.body)["authToken"];
  ASSERT_TRUE(token.is_string());
  EXPECT_NE(token, nlohmann::json::parse(second.body)["authToken"]);
}

TEST_F(SpeechdRequestHandlersTest, RequestsWithoutAValidTokenGet401) {
  const std::string expired = Token();
  now_ += 601s;
  for (const std::string& token : {std::string(), std::string("undefined"), expired}) {
    const ServiceReply reply =
        handlers_.Handle(JsonPost(kVoicesPath, std::string(testing::kVoicesBody), token));
    EXPECT_EQ(reply.status, 401) << token;
    EXPECT_FALSE(ErrorMessage(reply).empty());
  }
  const ServiceReply fresh = Post(kVoicesPath, std::string(testing::kVoicesBody));
  EXPECT_EQ(fresh.status, 200);
}

TEST_F(SpeechdRequestHandlersTest, WrongPathMethodTypeOrSizeGetsAJsonError) {
  ServiceRequest unknown =
      JsonPost("/api/texttospeech/v3.0-beta1/accdemopage/other", "{}", Token());
  EXPECT_EQ(handlers_.Handle(unknown).status, 404);

  ServiceRequest get = JsonPost(kSpeakPath, "", Token());
  get.method = "GET";
  EXPECT_EQ(handlers_.Handle(get).status, 405);

  ServiceRequest postToken = JsonPost(kAuthTokenPath, "", "");
  EXPECT_EQ(handlers_.Handle(postToken).status, 405);

  ServiceRequest form = JsonPost(kVoicesPath, std::string(testing::kVoicesBody), Token());
  form.headers[1].second = "application/x-www-form-urlencoded";
  EXPECT_EQ(handlers_.Handle(form).status, 415);

  ServiceRequest withCharset = JsonPost(kVoicesPath, std::string(testing::kVoicesBody), Token());
  withCharset.headers[1].second = "Application/JSON; charset=utf-8";
  EXPECT_EQ(handlers_.Handle(withCharset).status, 200);

  // A compressed body would have to be inflated before its size could be judged.
  ServiceRequest gzipped =
      JsonPost(kVoicesPath, GzipCompress(std::string(60 * 1024, ' ') + "{}"), Token());
  gzipped.headers.emplace_back("Content-Encoding", "gzip");
  EXPECT_EQ(handlers_.Handle(gzipped).status, 415);

  const ServiceReply huge = Post(kSpeakPath, std::string(600 * 1024, ' '));
  EXPECT_EQ(huge.status, 413);
  EXPECT_EQ(nlohmann::json::parse(huge.body)["error"]["code"], "PayloadTooLarge");
}

TEST_F(SpeechdRequestHandlersTest, VoicesReplyIsTheUncompressedCatalogue) {
  const ServiceReply reply = Post(kVoicesPath, std::string(testing::kVoicesBody));
  ASSERT_EQ(reply.status, 200);
  EXPECT_TRUE(reply.contentEncoding.empty());
  const auto list = nlohmann::json::parse(reply.body);
  ASSERT_TRUE(list.is_array());
  EXPECT_GE(list.size(), 8u);
  EXPECT_TRUE(list[0]["properties"]["ShortName"].is_string());
}

TEST_F(SpeechdRequestHandlersTest, MalformedBodiesGet400) {
  const struct {
    std::string_view path;
    std::string body;
  } kCases[] = {
      {kVoicesPath, ""},
      {kVoicesPath, "{\"queryCondition\":"},
      {kVoicesPath, "[]"},
      {kVoicesPath, R"({"queryCondition":{"items":[{"name":"VoiceTypeList"}]}})"},
      {kVoicesPath,
       R"({"queryCondition":{"items":[{"name":"VoiceTypeList","value":"x","operatorKind":"Equals"}]}})"},
      {kVoicesPath, std::string(100, '[') + std::string(100, ']')},
      {kVoicesPath, "{\"a\":\"\xC3\x28\"}"},  // invalid UTF-8
      {kMultitunePath, "{}"},
      {kMultitunePath, "[]"},
      {kMultitunePath,
       R"([{"SelectionBeginIndex":-1,"SelectionLength":2,"Ssml":"<speak/>","UpdateType":"Voice"}])"},
      {kMultitunePath, testing::MultituneBody("Tom & Jerry", 11)},
      {kSplitSsmlsPath, R"({"ssmls":[]})"},
      {kSplitSsmlsPath, R"({"ssmls":[7]})"},
      {kSplitSsmlsPath, SplitBody(SplitSsml("a < b"))},
      {kSpeakPath, "{\"ssml\":\"x\"}"},
      {kSpeakPath, R"({"ssml":"<speak>say "hi"</speak>"})"},  // a raw quote ends the JSON string
      {kSpeakPath,
       SpeakBody(SpeakSsml("abc"), "", "")},  // empty split results: "offsetInPlainText":,
      {kSpeakPath, SpeakBody(SpeakSsml("abc"), "0", "4")},  // longer than the text
      {kSpeakPath, SpeakBody(SpeakSsml("abc"), "-1", "1")},
      {kSpeakPath, SpeakBody(SpeakSsml("abc"), "0.5", "1")},
      {kSpeakPath, R"({"ssml":"<speak/>","ttsAudioFormat":"riff-16khz-16bit-mono-pcm"})"},
  };
  for (const auto& testCase : kCases) {
    const ServiceReply reply = Post(testCase.path, testCase.body);
    EXPECT_EQ(reply.status, 400) << testCase.path << " " << testCase.body;
    EXPECT_FALSE(ErrorMessage(reply).empty()) << testCase.body;
    EXPECT_EQ(reply.contentType, kJsonContentType);
  }
}

TEST_F(SpeechdRequestHandlersTest, MultituneAnswersSmallJsonCompressedOnlyWhenAccepted) {
  // SelectionLength counts GBK bytes (20 for ten characters), more than the text's length.
  const std::string body = testing::MultituneBody(kThirtyChars, 60);
  ServiceRequest request = JsonPost(kMultitunePath, body, Token());
  ServiceReply plain = handlers_.Handle(request);
  ASSERT_EQ(plain.status, 200) << plain.body;
  EXPECT_TRUE(plain.contentEncoding.empty());
  EXPECT_TRUE(nlohmann::json::parse(plain.body).is_object());

  request.headers.emplace_back("Accept-Encoding", "gzip, deflate, br");
  const ServiceReply compressed = handlers_.Handle(request);
  ASSERT_EQ(compressed.status, 200);
  EXPECT_EQ(compressed.contentEncoding, "gzip");
  EXPECT_EQ(Gunzip(compressed.body), plain.body);
}

TEST_F(SpeechdRequestHandlersTest, SplitSsmlsAnswersGzipWithTheNumbersTheClientReads) {
  const ServiceReply reply = Post(kSplitSsmlsPath, SplitBody(SplitSsml(kThirtyChars)));
  ASSERT_EQ(reply.status, 200) << reply.body;
  EXPECT_EQ(reply.contentEncoding, "gzip");
  const auto body = nlohmann::json::parse(Gunzip(reply.body));
  const auto& segment = body["ssmlSplitResults"][0]["segments"][0];
  ASSERT_TRUE(segment["paragraphIndex"].is_number_integer());
  ASSERT_TRUE(segment["charLenghtOfPlainText"].is_number_integer());
  EXPECT_EQ(segment["paragraphIndex"], 0);
  EXPECT_EQ(segment["charLenghtOfPlainText"], 30);
}

TEST_F(SpeechdRequestHandlersTest, SpeakGivesMp3OfPlausibleLength) {
  const ServiceReply reply = Post(kSpeakPath, SpeakBody(SpeakSsml(kThirtyChars)));
  ASSERT_EQ(reply.status, 200) << reply.body;
  EXPECT_EQ(reply.contentType, "audio/mpeg");
  EXPECT_TRUE(reply.contentEncoding.empty());
  const auto decoded = DecodeMp3(reply.body);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.rate, 24000);
  EXPECT_EQ(decoded.channels, 1);
  // Thirty characters take a few seconds to say: between 0.1 and 0.6 s a character.
  EXPECT_GT(decoded.Seconds(), 3.0);
  EXPECT_LT(decoded.Seconds(), 18.0);
  EXPECT_GT(decoded.energy, 0u);
}

TEST_F(SpeechdRequestHandlersTest, NothingToPronounceGivesAShortSilence) {
  std::string breaks;
  for (int i = 0; i < 20; ++i) breaks += "<break time=\"1s\"/>";
  const struct {
    std::string text;
    double minSeconds, maxSeconds;
  } kCases[] = {
      {"   ", 0.2, 0.5},
      {"\xE2\x80\xA6\xE2\x80\xA6\xE3\x80\x82", 0.2, 0.5},  // ……。
      {"\xE2\x80\x9C\xE2\x80\x9D", 0.2, 0.5},              // “”
      // Twenty one-second breaks share one budget of five seconds.
      {breaks, 4.5, 5.5},
  };
  for (const auto& c : kCases) {
    const ServiceReply reply = Post(kSpeakPath, SpeakBody(SpeakSsml(c.text)));
    ASSERT_EQ(reply.status, 200) << c.text;
    const auto decoded = DecodeMp3(reply.body);
    ASSERT_TRUE(decoded.ok) << c.text;
    EXPECT_GT(decoded.Seconds(), c.minSeconds) << c.text;
    EXPECT_LT(decoded.Seconds(), c.maxSeconds) << c.text;
  }
}

TEST_F(SpeechdRequestHandlersTest, StylesChangeTheAudio) {
  const auto speak = [&](std::string_view style) {
    const ServiceReply reply =
        Post(kSpeakPath, SpeakBody(SpeakSsml(kThirtyChars, "zh-CN-XiaoxiaoNeural", style)));
    EXPECT_EQ(reply.status, 200) << style;
    return reply.body;
  };
  const std::string plain = speak("Default");
  const std::string cheerful = speak("cheerful");
  const std::string sad = speak("sad");
  EXPECT_NE(plain, cheerful);
  EXPECT_NE(plain, sad);
  // Sad speech is slower than cheerful speech.
  EXPECT_GT(DecodeMp3(sad).Seconds(), DecodeMp3(cheerful).Seconds() * 1.2);
}

TEST_F(SpeechdRequestHandlersTest, EmptyOrUnknownVoiceFallsBackToTheDefaultMandarinVoice) {
  const std::string byDefault =
      Post(kSpeakPath, SpeakBody(SpeakSsml(kThirtyChars, "zh-CN-XiaoxiaoNeural"))).body;
  const ServiceReply empty = Post(kSpeakPath, SpeakBody(SpeakSsml(kThirtyChars, "")));
  const ServiceReply unknown =
      Post(kSpeakPath, SpeakBody(SpeakSsml(kThirtyChars, "xx-XX-NobodyNeural")));
  ASSERT_EQ(empty.status, 200);
  ASSERT_EQ(unknown.status, 200);
  // espeak-ng's timing varies a little from one utterance to the next.
  EXPECT_NEAR(DecodeMp3(empty.body).Seconds(), DecodeMp3(byDefault).Seconds(), 0.1);
  EXPECT_NEAR(DecodeMp3(unknown.body).Seconds(), DecodeMp3(byDefault).Seconds(), 0.1);
  const ServiceReply male =
      Post(kSpeakPath, SpeakBody(SpeakSsml(kThirtyChars, "zh-CN-YunxiNeural")));
  EXPECT_NE(male.body, byDefault);
}

TEST_F(SpeechdRequestHandlersTest, CancelledHandlersRefuseToSpeak) {
  const std::string token = Token();
  handlers_.SetCancelled(true);
  EXPECT_EQ(handlers_.Handle(JsonPost(kSpeakPath, SpeakBody(SpeakSsml("abc")), token)).status, 503);
  handlers_.SetCancelled(false);
  EXPECT_EQ(handlers_.Handle(JsonPost(kSpeakPath, SpeakBody(SpeakSsml("abc")), token)).status, 200);
}

TEST(SpeechdGzipCodecTest, RoundTripsAndReadsAcceptEncoding) {
  const std::string text(10000, 'x');
  EXPECT_EQ(Gunzip(GzipCompress(text)), text);
  EXPECT_EQ(Gunzip(GzipCompress("")), "");
  EXPECT_TRUE(AcceptsGzip("gzip, deflate, br"));
  EXPECT_TRUE(AcceptsGzip("GZIP;q=0.5"));
  EXPECT_TRUE(AcceptsGzip("*"));
  EXPECT_FALSE(AcceptsGzip(""));
  EXPECT_FALSE(AcceptsGzip("br, deflate"));
  EXPECT_FALSE(AcceptsGzip("gzip;q=0"));
  EXPECT_FALSE(AcceptsGzip("gzip;q=0, *"));
}

}  // namespace
}  // namespace lectoria::speechd
