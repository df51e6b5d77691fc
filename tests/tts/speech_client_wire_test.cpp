// The client against a scripted service on 127.0.0.1: what goes on the wire and how each kind
// of reply is taken.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "json/json_document.h"
#include "platform/codepage.h"
#include "tts/speech_service_client.h"
#include "tts_test_support.h"

namespace lectoria {
namespace {

using test::MakeReply;
using test::RawReply;
using test::RecordedRequest;
using testing::Gbk;
using testing::ScriptedService;

constexpr std::string_view kVoice = "zh-CN-XiaoxiaoNeural";

test::RawReply Plain(int status, std::string_view body) {
  return MakeReply(status, body, {"Content-Type: application/json"});
}

ScriptedService::Reply Fixed(RawReply reply) {
  return [reply](const RecordedRequest&) { return reply; };
}

class SpeechClientWire : public ::testing::Test {
 protected:
  SpeechClientWire() : client_(SpeechServiceEndpoint::Local(service_.Port())) {}

  // The cached voice list and labels as the voice loader leaves them.
  void LoadCatalogue() {
    ASSERT_FALSE(client_.LoadVoiceCatalogue("tok-1", shared_).empty());
    shared_.SetStyleLabels({Gbk("开心"), Gbk("悲伤"), Gbk("默认")});
  }

  std::string Synthesize(std::string_view line = "", std::string_view style = "") {
    const std::string text = line.empty() ? Gbk("你好") : std::string(line);
    const std::string label = style.empty() ? Gbk("开心") : std::string(style);
    return client_.SynthesizeLine("tok-1", text, kVoice, label, shared_, nullptr);
  }

  ScriptedService service_;
  SpeechServiceClient client_;
  SpeechClientValues shared_;
};

TEST_F(SpeechClientWire, FetchesTheToken) {
  EXPECT_EQ(client_.FetchAuthToken(), "tok-1");
  const auto requests = service_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].requestLine,
            "GET /api/texttospeech/v3.0-beta1/accdemopageentry/auth-token HTTP/1.1");
  EXPECT_EQ(requests[0].Header("User-Agent").substr(0, 11), "Mozilla/5.0");
  EXPECT_EQ(requests[0].Header("AccDemoPageAuthToken"), "");
  EXPECT_TRUE(requests[0].body.empty());
}

TEST_F(SpeechClientWire, TokenFailuresGiveAnEmptyToken) {
  const std::pair<const char*, RawReply> cases[] = {
      {"401 with an error object", Plain(401, R"({"error":{"code":"Unauthorized"}})")},
      {"empty body", Plain(200, "")},
      {"not JSON", Plain(200, "<html>busy</html>")},
      {"no authToken member", Plain(200, R"({"token":"x"})")},
      {"truncated", Plain(200, R"({"authToken":"x)")},
  };
  for (const auto& [name, reply] : cases) {
    service_.SetReply("auth-token", Fixed(reply));
    EXPECT_EQ(client_.FetchAuthToken(), "") << name;
  }
  // A compressed token reply is decoded.
  service_.SetReply("auth-token", Fixed(MakeReply(200, testing::Gzip(R"({"authToken":"z"})"),
                                                  {"Content-Encoding: gzip"})));
  EXPECT_EQ(client_.FetchAuthToken(), "z");
}

// Closing the program sets the flag: a service that never answers must not hold it up.
TEST(SpeechClientDown, CancelAbandonsAServiceThatNeverAnswers) {
  test::RawHttpServer silent([](const RecordedRequest&) { return RawReply{"", true}; });
  const SpeechServiceClient client(SpeechServiceEndpoint::Local(silent.port()));
  SpeechClientValues shared;
  std::atomic<bool> cancel{false};
  std::thread closer([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    cancel = true;
  });
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(client.FetchAuthToken(&cancel), "");
  EXPECT_TRUE(client.LoadVoiceCatalogue("t", shared, &cancel).empty());
  closer.join();
  // Far below the 15 s time-out of each request (a generous bound, not a speed goal).
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
}

TEST(SpeechClientDown, EverythingFailsQuietly) {
  int port;
  {
    test::RawHttpServer closed([](const RecordedRequest&) { return MakeReply(200, ""); });
    port = closed.port();
  }  // nothing listens there any more
  const SpeechServiceClient client(SpeechServiceEndpoint::Local(port));
  SpeechClientValues shared;
  shared.SetVoiceListJson(Gbk(testing::VoiceListJson({{std::string(kVoice), {}}})));
  EXPECT_EQ(client.FetchAuthToken(), "");
  EXPECT_TRUE(client.LoadVoiceCatalogue("t", shared).empty());
  EXPECT_EQ(client.SynthesizeLine("t", "hi", kVoice, Gbk("默认"), shared, nullptr), "");
  // The cached list survives the failed refresh.
  EXPECT_FALSE(shared.VoiceListJson().empty());
}

TEST_F(SpeechClientWire, LoadsTheCatalogue) {
  EXPECT_TRUE(client_.LoadVoiceCatalogue("", shared_).empty());
  EXPECT_TRUE(service_.Requests().empty()) << "no request without a token";

  EXPECT_EQ(client_.LoadVoiceCatalogue("tok-1", shared_),
            std::vector<std::string>{"zh-CN-XiaoxiaoNeural"});
  EXPECT_TRUE(IsVoiceList(shared_.VoiceListJson()));
  const auto requests = service_.Requests();
  ASSERT_EQ(requests.size(), 1u);
  const RecordedRequest& voices = requests[0];
  EXPECT_EQ(voices.requestLine, "POST /api/texttospeech/v3.0-beta1/accdemopage/voices HTTP/1.1");
  EXPECT_EQ(
      voices.body,
      R"({"queryCondition":{"items":[{"name":"VoiceTypeList","value":"StandardVoice","operatorKind":"Contains"}]}})");
  // Host goes first, Connection: keep-alive is the transport's affair, Referer completes the
  // block, and names are written with capitalised words.
  const std::vector<std::string> names = {"Host",
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
                                          "SpeechStudio-Session-Id",
                                          "SpeechStudio-SubscriptionSession-Id",
                                          "User-Agent",
                                          "Sec-Ch-Ua-Mobile",
                                          "Sec-Ch-Ua-Platform",
                                          "X-Ms-Useragent",
                                          "Referer"};
  EXPECT_EQ(voices.HeaderNames(), names);
  EXPECT_EQ(voices.Header("AccDemoPageAuthToken"), "tok-1");
  EXPECT_EQ(voices.Header("Host"), "127.0.0.1:" + std::to_string(service_.Port()));
  EXPECT_EQ(voices.Header("Content-Length"), "105");
  EXPECT_EQ(voices.Header("Referer"),
            service_.BaseUrl() + "/api/texttospeech/v3.0-beta1/accdemopage/voices");
}

TEST_F(SpeechClientWire, UnusableVoiceRepliesKeepTheCachedList) {
  LoadCatalogue();
  const std::string cached = shared_.VoiceListJson();
  for (const RawReply& reply : {Plain(401, R"({"error":{"code":"Unauthorized"}})"), Plain(200, ""),
                                Plain(200, "{}"), Plain(500, "[]")}) {
    service_.SetReply("voices", Fixed(reply));
    EXPECT_TRUE(client_.LoadVoiceCatalogue("tok-1", shared_).empty());
    EXPECT_EQ(shared_.VoiceListJson(), cached);
  }
}

TEST_F(SpeechClientWire, SynthesisSendsFourRequestsInOrder) {
  LoadCatalogue();
  const std::size_t before = service_.Requests().size();
  EXPECT_EQ(Synthesize(), testing::FakeMp3());
  EXPECT_EQ(shared_.ServiceStyleName(), "cheerful");

  const auto all = service_.Requests();
  const std::vector<RecordedRequest> requests(all.begin() + static_cast<long>(before), all.end());
  const auto names = service_.RequestNames();
  EXPECT_EQ(std::vector<std::string>(names.begin() + static_cast<long>(before), names.end()),
            (std::vector<std::string>{"voices", "multitune", "split-ssmls", "speak"}));
  ASSERT_EQ(requests.size(), 4u);
  for (const RecordedRequest& r : requests) {
    EXPECT_EQ(r.requestLine.substr(0, 5), "POST ");
    EXPECT_EQ(r.Header("AccDemoPageAuthToken"), "tok-1");
    EXPECT_EQ(r.Header("Content-Length"), std::to_string(r.body.size()));
    EXPECT_EQ(r.Header("Content-Type"), "application/json");
  }
  const RecordedRequest& tune = requests[1];
  const RecordedRequest& split = requests[2];
  const RecordedRequest& speak = requests[3];
  EXPECT_EQ(tune.Header("Accept-Encoding"), "gzip, deflate");
  EXPECT_EQ(tune.Header("SpeechStudio-Session-Id"), "c8a57f36-4b7f-11ed-a6c1-9e37f2085bd4");
  EXPECT_EQ(split.HeaderNames().back(), "Referer");
  EXPECT_EQ(split.HeaderNames()[split.HeaderNames().size() - 2], "AccDemoPageAuthToken");
  EXPECT_EQ(speak.Header("Accept"), "*/*");
  EXPECT_EQ(speak.Header("Accept-Encoding"), "");
  EXPECT_EQ(speak.Header("X-Ms-Useragent"), "");
  EXPECT_EQ(speak.Header("SpeechStudio-Session-Id"), "");

  // Bodies arrive as UTF-8 JSON with the chosen voice, style and the split's numbers.
  JsonDocument tuneBody, speakBody;
  ASSERT_TRUE(tuneBody.Parse(Utf8ToGbk(tune.body)));
  EXPECT_EQ(tuneBody.GetText("[0].Parameters.ExpressAsTagStyleNames"), Gbk("开心,悲伤,默认"));
  EXPECT_EQ(tuneBody.GetText("[0].SelectionLength"), "4");
  ASSERT_TRUE(speakBody.Parse(Utf8ToGbk(speak.body)));
  EXPECT_EQ(speakBody.GetText("lengthInPlainText"), "2");
  EXPECT_NE(speak.body.find("<mstts:express-as style=\\\"cheerful\\\">\xE4\xBD\xA0\xE5\xA5\xBD"),
            std::string::npos);
  EXPECT_NE(speak.body.find("<voice name=\\\"zh-CN-XiaoxiaoNeural\\\">"), std::string::npos);
}

TEST_F(SpeechClientWire, PreconditionsSendNothing) {
  LoadCatalogue();
  const std::size_t before = service_.Requests().size();
  const std::string label = Gbk("默认");
  EXPECT_EQ(client_.SynthesizeLine("tok-1", "", kVoice, label, shared_, nullptr), "");
  EXPECT_EQ(client_.SynthesizeLine("tok-1", "hi", kVoice, "", shared_, nullptr), "");
  EXPECT_EQ(client_.SynthesizeLine("tok-1", "hi", "", label, shared_, nullptr), "");
  EXPECT_EQ(client_.SynthesizeLine("", "hi", kVoice, label, shared_, nullptr), "");
  SpeechClientValues empty;
  EXPECT_EQ(client_.SynthesizeLine("tok-1", "hi", kVoice, label, empty, nullptr), "");
  EXPECT_EQ(service_.Requests().size(), before);
  EXPECT_EQ(shared_.ServiceStyleName(), "");
}

TEST_F(SpeechClientWire, UnknownLabelKeepsTheLastStyle) {
  LoadCatalogue();
  EXPECT_FALSE(Synthesize("", Gbk("悲伤")).empty());
  EXPECT_FALSE(Synthesize("", Gbk("随便")).empty());
  EXPECT_EQ(shared_.ServiceStyleName(), "sad");
  EXPECT_NE(service_.Requests().back().body.find("style=\\\"sad\\\""), std::string::npos);
}

TEST_F(SpeechClientWire, ErrorRepliesToSpeakAreNoClip) {
  LoadCatalogue();
  const std::pair<const char*, RawReply> cases[] = {
      {"401 with a body", Plain(401, R"({"error":{"code":"Unauthorized","message":"token"}})")},
      {"200 with an error object", Plain(200, R"({"error":"no audio"})")},
      {"503 with MP3-looking bytes", MakeReply(503, testing::FakeMp3())},
      {"empty", MakeReply(200, "")},
  };
  for (const auto& [name, reply] : cases) {
    service_.SetReply("speak", Fixed(reply));
    EXPECT_EQ(Synthesize(), "") << name;
  }
  service_.SetReply("speak", Fixed(MakeReply(200, "ID3\x04" + std::string(20, '\0'))));
  EXPECT_FALSE(Synthesize().empty()) << "an ID3-tagged clip is audio";
}

TEST_F(SpeechClientWire, SplitRepliesDecideWhetherSpeakIsSent) {
  LoadCatalogue();
  struct Case {
    const char* name;
    RawReply reply;
    bool speaks;
  } cases[] = {
      // A reply without Content-Encoding is used as it is, not inflated to nothing.
      {"plain JSON", Plain(200, testing::SplitReply(0, 2)), true},
      {"gzip", MakeReply(200, testing::Gzip(testing::SplitReply(1, 5)), {"Content-Encoding: gzip"}),
       true},
      {"no segments", Plain(200, R"({"ssmlSplitResults":[]})"), false},
      {"error object", Plain(400, R"({"error":{"code":"BadRequest"}})"), false},
      {"corrupt gzip", MakeReply(200, "\x1f\x8b\x08garbage", {"Content-Encoding: gzip"}), false},
  };
  for (const Case& c : cases) {
    service_.SetReply("split-ssmls", Fixed(c.reply));
    const std::size_t before = service_.Requests().size();
    const std::string clip = Synthesize();
    EXPECT_EQ(!clip.empty(), c.speaks) << c.name;
    EXPECT_EQ(service_.Requests().size() - before, c.speaks ? 4u : 3u) << c.name;
  }
}

TEST_F(SpeechClientWire, MultituneFailureDoesNotStopTheSynthesis) {
  LoadCatalogue();
  service_.SetReply("multitune", Fixed(Plain(500, "oops")));
  EXPECT_EQ(Synthesize(), testing::FakeMp3());
}

TEST_F(SpeechClientWire, VoiceMissingFromTheFreshListEndsTheCall) {
  LoadCatalogue();
  const std::string cached = shared_.VoiceListJson();
  const std::pair<const char*, RawReply> cases[] = {
      {"unusable list", Plain(401, R"({"error":"expired"})")},
      {"voice gone", Plain(200, testing::VoiceListJson({{"en-US-JennyNeural", {}}}))},
  };
  for (const auto& [name, reply] : cases) {
    service_.SetReply("voices", Fixed(reply));
    const std::size_t before = service_.Requests().size();
    EXPECT_EQ(Synthesize(), "") << name;
    EXPECT_EQ(service_.RequestNames().back(), "voices") << name;
    EXPECT_EQ(service_.Requests().size() - before, 1u) << name;
  }
  // A usable list replaces the cache even when the voice is gone from it; a broken one does not.
  EXPECT_NE(shared_.VoiceListJson(), cached);
  EXPECT_TRUE(IsVoiceList(shared_.VoiceListJson()));
}

TEST_F(SpeechClientWire, CancelStopsBeforeTheNextRequest) {
  LoadCatalogue();
  std::atomic<bool> cancel{false};
  service_.SetReply("multitune", [&cancel](const RecordedRequest&) {
    cancel = true;
    return MakeReply(200, "[]");
  });
  EXPECT_EQ(client_.SynthesizeLine("tok-1", "hi", kVoice, Gbk("默认"), shared_, &cancel), "");
  EXPECT_EQ(service_.RequestNames().back(), "multitune");
}

// A service that sends its clip one byte at a time never trips the stall time-out; the
// synthesis deadline ends the attempt all the same.
TEST_F(SpeechClientWire, TricklingServiceFailsAtTheSynthesisDeadline) {
  LoadCatalogue();
  service_.SetReply("speak", [](const RecordedRequest&) {
    return RawReply{"HTTP/1.1 200 OK\r\nContent-Length: 100000\r\n\r\nID3", false, 20};
  });
  const SpeechServiceClient hurried(SpeechServiceEndpoint::Local(service_.Port()),
                                    std::chrono::milliseconds(400));
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(hurried.SynthesizeLine("tok-1", "hi", kVoice, Gbk("默认"), shared_, nullptr), "");
  EXPECT_EQ(service_.RequestNames().back(), "speak");
  // Far below the 30 s stall limit of the speak request (a generous bound, not a speed goal).
  EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(10));
  EXPECT_EQ(client_.synthesisDeadline(), kDefaultSynthesisDeadline);
}

}  // namespace
}  // namespace lectoria
