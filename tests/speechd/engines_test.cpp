// The service's engines against stand-ins on 127.0.0.1: the requests they send, the voice
// list they build, the audio they deliver and how each failure reaches the client.
#include <gtest/gtest.h>
#include <httplib.h>
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "engine_stand_ins.h"
#include "speechd/audio_decoding.h"
#include "speechd/child_process.h"
#include "speechd/remote_engines.h"
#include "speechd/request_handlers.h"
#include "speechd/speech_service.h"
#include "speechd_test_support.h"

namespace lectoria::speechd {
namespace {

using testing::CommandStandIn;
using testing::HttpStandIn;
using testing::StandInFault;

constexpr const char* kKey = "secret-key-0123";
// 春眠不觉晓 & 处处闻啼鸟。
const std::string kText =
    "\xE6\x98\xA5\xE7\x9C\xA0\xE4\xB8\x8D\xE8\xA7\x89\xE6\x99\x93 & "
    "\xE5\xA4\x84\xE5\xA4\x84\xE9\x97\xBB\xE5\x95\xBC\xE9\xB8\x9F\xE3\x80\x82";

std::string Escaped(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '&' ? std::string("&amp;") : std::string(1, c);
  return out;
}

// The service with `engine`, and its requests as the client sends them.
struct Served {
  explicit Served(std::shared_ptr<SpeechEngine> engine) : service(Options(std::move(engine))) {
    port = service.Start();
    token = service.Handlers().Tokens().Issue();
  }
  static SpeechServiceOptions Options(std::shared_ptr<SpeechEngine> engine) {
    SpeechServiceOptions options;
    options.handlers.engine = std::move(engine);
    return options;
  }
  httplib::Result Post(std::string_view path, const std::string& body) {
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(30);
    return client.Post(std::string(path), {{std::string(kTokenHeader), token}}, body,
                       "application/json");
  }
  nlohmann::json Voices() {
    auto reply = Post(kVoicesPath, std::string(testing::kVoicesBody));
    return reply && reply->status == 200 ? nlohmann::json::parse(reply->body) : nlohmann::json();
  }
  httplib::Result Speak(std::string_view text, std::string_view voice,
                        std::string_view style = "Default") {
    return Post(kSpeakPath, testing::SpeakBody(testing::SpeakSsml(text, voice, style)));
  }
  SpeechService service;
  int port = 0;
  std::string token;
};

std::shared_ptr<SpeechEngine> Make(const EngineOptions& options) {
  std::string error;
  auto engine = MakeEngine(options, error);
  EXPECT_TRUE(engine) << error;
  return engine;
}

std::vector<std::string> ShortNames(const nlohmann::json& list) {
  std::vector<std::string> names;
  for (const auto& voice : list) names.push_back(voice["properties"]["ShortName"]);
  return names;
}

// Delivered as the service's own format, whatever the engine returned.
void ExpectServiceAudio(const httplib::Result& reply, double seconds) {
  ASSERT_TRUE(reply);
  ASSERT_EQ(reply->status, 200) << reply->body;
  EXPECT_EQ(reply->get_header_value("Content-Type"), "audio/mpeg");
  const auto decoded = testing::DecodeMp3(reply->body);
  ASSERT_TRUE(decoded.ok);
  EXPECT_EQ(decoded.rate, 24000);
  EXPECT_EQ(decoded.channels, 1);
  EXPECT_NEAR(decoded.Seconds(), seconds, 0.15);
  EXPECT_GT(decoded.energy, 0u);
}

TEST(SpeechEnginesTest, AzureListsItsVoicesAndSpeaksOurSsmlWithTheKeyOnlyInItsHeader) {
  HttpStandIn azure(HttpStandIn::Api::kAzure, kKey);
  Served served(Make(azure.Options()));
  const nlohmann::json voices = served.Voices();
  // Chinese voices first: the window lists only the first 350 of several hundred.
  EXPECT_EQ(ShortNames(voices),
            (std::vector<std::string>{"zh-CN-XiaoxiaoNeural", "zh-TW-HsiaoChenNeural",
                                      "en-US-JennyNeural"}));
  EXPECT_EQ(voices[0]["locale"], "zh-CN");
  EXPECT_EQ(voices[0]["voiceType"], "StandardVoice");
  EXPECT_EQ(voices[0]["properties"]["LocalName"], "\xE6\x99\x93\xE6\x99\x93");
  EXPECT_EQ(voices[0]["samples"]["styleSamples"],
            nlohmann::json::parse(
                R"([{"styleName":"cheerful"},{"styleName":"sad"},{"styleName":"chat"}])"));
  EXPECT_TRUE(voices[1]["samples"]["styleSamples"].empty());

  ExpectServiceAudio(served.Speak(Escaped(kText), "zh-CN-XiaoxiaoNeural", "cheerful"), 0.5);
  const auto seen = azure.Requests();
  ASSERT_EQ(seen.size(), 2u);  // the voice list is fetched once
  EXPECT_EQ(seen[0].method + " " + seen[0].path, "GET /cognitiveservices/voices/list");
  EXPECT_EQ(seen[1].method + " " + seen[1].path, "POST /cognitiveservices/v1");
  EXPECT_EQ(seen[1].Header("Content-Type"), "application/ssml+xml");
  EXPECT_EQ(seen[1].Header("X-Microsoft-OutputFormat"), "audio-24khz-160kbitrate-mono-mp3");
  EXPECT_EQ(seen[1].Header("User-Agent"), "Lectoria");
  EXPECT_EQ(seen[1].body,
            "<speak version=\"1.0\" xmlns=\"http://www.w3.org/2001/10/synthesis\" "
            "xmlns:mstts=\"https://www.w3.org/2001/mstts\" xml:lang=\"zh-CN\"><voice "
            "name=\"zh-CN-XiaoxiaoNeural\"><mstts:express-as style=\"cheerful\">" +
                Escaped(kText) + "</mstts:express-as></voice></speak>");
  for (const auto& request : seen) {
    EXPECT_EQ(request.Header("Ocp-Apim-Subscription-Key"), kKey);
    EXPECT_EQ(request.path.find(kKey), std::string::npos);
    EXPECT_EQ(request.body.find(kKey), std::string::npos);
  }
}

TEST(SpeechEnginesTest, AzureSsmlKeepsOnlyStylesTheVoiceOffers) {
  EngineVoice voice = NamedVoice("zh-CN-YunxiNeural", "");
  voice.styles = {"sad"};
  const struct {
    const char* style;
    double degree;
    const char* inner;
  } cases[] = {
      {"sad", 1.0, "<mstts:express-as style=\"sad\">a&lt;b</mstts:express-as>"},
      {"SAD", 1.5,
       "<mstts:express-as style=\"SAD\" styledegree=\"1.50\">a&lt;b</mstts:express-as>"},
      {"cheerful", 1.0, "a&lt;b"},  // not offered by this voice
      {"Default", 1.0, "a&lt;b"},
      {"", 1.0, "a&lt;b"},
  };
  for (const auto& c : cases) {
    const std::string ssml = AzurePieceSsml(voice, c.style, c.degree, "a<b");
    EXPECT_NE(ssml.find("name=\"zh-CN-YunxiNeural\">" + std::string(c.inner) + "</voice>"),
              std::string::npos)
        << c.style << ": " << ssml;
  }
}

TEST(SpeechEnginesTest, OpenAiStyleServerGetsModelInputVoiceAndTheOptionalKey) {
  for (const std::string key : {kKey, ""}) {
    HttpStandIn server(HttpStandIn::Api::kOpenAi, key);
    Served served(Make(server.Options()));
    const nlohmann::json voices = served.Voices();
    EXPECT_EQ(ShortNames(voices), (std::vector<std::string>{"zf_xiaobei", "zm_yunxi"}));
    EXPECT_EQ(voices[1]["locale"], "zh-CN");
    EXPECT_TRUE(voices[1]["samples"]["styleSamples"].empty());

    // A 22050 Hz stereo WAV comes back as 24 kHz mono MP3.
    ExpectServiceAudio(served.Speak(Escaped(kText), "zm_yunxi"), 0.5);
    const auto seen = server.Requests();
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].method + " " + seen[0].path, "POST /v1/audio/speech");
    EXPECT_EQ(seen[0].Header("Content-Type"), "application/json");
    EXPECT_EQ(seen[0].Header("Authorization"), key.empty() ? "" : "Bearer " + key);
    EXPECT_EQ(nlohmann::json::parse(seen[0].body), (nlohmann::json{{"model", "tts-zh"},
                                                                   {"input", kText},
                                                                   {"voice", "zm_yunxi"},
                                                                   {"response_format", "wav"}}));
  }
}

TEST(SpeechEnginesTest, CommandGetsTheTextOnStdinAndReturnsWavOnStdoutOrInAFile) {
  for (const bool toFile : {false, true}) {
    CommandStandIn program;
    Served served(Make(program.Options(toFile)));
    EXPECT_EQ(ShortNames(served.Voices()), std::vector<std::string>{"zh-CN-PiperHuayan"});
    ExpectServiceAudio(served.Speak(Escaped(kText), "zh-CN-PiperHuayan"), 0.5);
    EXPECT_EQ(program.Inputs(), kText + "\n") << toFile;
  }
}

TEST(SpeechEnginesTest, LongTextsReachTheEngineInTheSamePiecesAsEspeak) {
  HttpStandIn server(HttpStandIn::Api::kOpenAi, "");
  Served served(Make(server.Options()));
  std::string text;
  for (int i = 0; i < 5; ++i) text += std::string(90, 'a' + i) + ". ";
  ExpectServiceAudio(served.Speak(text, "zf_xiaobei"), 1.5);  // 3 pieces, half a second each
  std::vector<std::string> inputs;
  for (const auto& request : server.Requests())
    inputs.push_back(nlohmann::json::parse(request.body)["input"]);
  std::vector<std::string> pieces;
  for (std::string_view piece : SplitIntoPieces(text)) pieces.emplace_back(piece);
  EXPECT_EQ(inputs, pieces);
}

TEST(SpeechEnginesTest, AFailingEngineAnswersSpeakWithAnErrorStatus) {
  const struct {
    const char* engine;
    StandInFault fault;
    const char* message;
  } cases[] = {
      {"azure", StandInFault::kRefuseKey, "status 401 (the key was refused)"},
      {"azure", StandInFault::kHang, "no complete reply within 1"},
      {"azure", StandInFault::kNotAudio, "neither WAV nor MP3 audio (Content-Type text/html"},
      {"openai", StandInFault::kRefuseKey, "status 401 (the key was refused)"},
      {"openai", StandInFault::kHang, "no complete reply within 1"},
      {"openai", StandInFault::kNotAudio, "neither WAV nor MP3"},
      {"command", StandInFault::kRefuseKey, "exited with status 3: model file not found"},
      {"command", StandInFault::kHang, "did not finish within 1 seconds"},
      {"command", StandInFault::kNotAudio, "neither WAV nor MP3"},
  };
  for (const auto& c : cases) {
    const std::string engineName = c.engine;
    HttpStandIn server(engineName == "azure" ? HttpStandIn::Api::kAzure : HttpStandIn::Api::kOpenAi,
                       kKey);
    CommandStandIn program;
    auto engine =
        Make(engineName == "command" ? program.Options(false, c.fault) : server.Options());
    std::string error;
    ASSERT_TRUE(engine->Voices(error)) << error;  // the voice list came while all was well
    server.fault = c.fault;
    Served served(engine);
    auto reply = served.Speak(kText.substr(0, 15), "zh-CN-XiaoxiaoNeural");
    ASSERT_TRUE(reply) << c.engine;
    EXPECT_EQ(reply->status, 502) << c.engine << " " << reply->body;
    EXPECT_NE(reply->body.find(c.message), std::string::npos) << c.engine << " " << reply->body;
    EXPECT_EQ(reply->body.find(kKey), std::string::npos) << c.engine;
  }
}

TEST(SpeechEnginesTest, AzureVoiceListFailuresAnswerTheVoicesRequestAndAreRetried) {
  HttpStandIn azure(HttpStandIn::Api::kAzure, kKey);
  Served served(Make(azure.Options()));
  azure.fault = StandInFault::kRefuseKey;
  auto refused = served.Post(kVoicesPath, std::string(testing::kVoicesBody));
  ASSERT_TRUE(refused);
  EXPECT_EQ(refused->status, 502);
  azure.fault = StandInFault::kNone;
  EXPECT_EQ(served.Voices().size(), 3u);
}

TEST(SpeechEnginesTest, DecodesTheAudioEnginesReturn) {
  std::string streamed = testing::ToneWav(16000, 1, 16, 0.25);
  streamed.replace(40, 4, "\xFF\xFF\xFF\xFF");  // a pipe's WAV: data size unknown
  std::string floatWav = testing::ToneWav(8000, 1, 32, 0.25);
  floatWav[20] = 3;  // the same bytes read as float: nonsense values, clamped
  const struct {
    std::string bytes;
    bool ok;
    int rate;
    std::size_t samples;
  } cases[] = {
      {testing::ToneWav(22050, 1, 16, 0.5), true, 22050, 11025},
      {testing::ToneWav(44100, 2, 16, 0.5), true, 44100, 22050},
      {testing::ToneWav(16000, 1, 8, 0.25), true, 16000, 4000},
      {testing::ToneWav(48000, 2, 24, 0.25), true, 48000, 12000},
      {testing::ToneWav(8000, 1, 32, 0.25), true, 8000, 2000},
      {floatWav, true, 8000, 2000},
      {streamed, true, 16000, 4000},
      {EncodeMp3(std::vector<std::int16_t>(24000, 1000)), true, 24000, 0},
      {testing::ToneWav(16000, 1, 12, 0.1), false, 0, 0},
      {testing::ToneWav(16000, 1, 16, 0.1).substr(0, 30), false, 0, 0},
      {"{\"error\":\"quota\"}", false, 0, 0},
      {"", false, 0, 0},
      {"\xFF\xFB garbage that only starts like MP3", false, 0, 0},
  };
  int row = 0;
  for (const auto& c : cases) {
    EngineAudio audio;
    std::string error;
    EXPECT_EQ(DecodeEngineAudio(c.bytes, audio, error), c.ok) << row << " " << error;
    if (c.ok) {
      EXPECT_EQ(audio.rate, c.rate) << row;
      if (c.samples > 0) {
        EXPECT_EQ(audio.samples.size(), c.samples) << row;
      }
      EXPECT_FALSE(audio.samples.empty()) << row;
    } else {
      EXPECT_FALSE(error.empty()) << row;
    }
    ++row;
  }
}

TEST(SpeechEnginesTest, SplitsCommandLinesWithoutAShell) {
  const struct {
    const char* line;
    std::vector<std::string> words;
  } cases[] = {
      {"piper --model /m/zh.onnx --output_file {output}",
       {"piper", "--model", "/m/zh.onnx", "--output_file", "{output}"}},
      {"  'my tts' \"a b\" c\\ d  ", {"my tts", "a b", "c d"}},
      {"echo '$HOME' \"x\\\"y\" ''", {"echo", "$HOME", "x\"y", ""}},
      {"", {}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> words;
    std::string error;
    EXPECT_TRUE(SplitCommandLine(c.line, words, error)) << c.line;
    EXPECT_EQ(words, c.words) << c.line;
  }
  std::vector<std::string> words;
  std::string error;
  EXPECT_FALSE(SplitCommandLine("say 'unclosed", words, error));
  EXPECT_FALSE(error.empty());
}

TEST(SpeechEnginesTest, RefusesUnusableSettingsWithoutShowingTheKey) {
  const auto with = [](auto change) {
    EngineOptions options;
    change(options);
    return options;
  };
  const struct {
    EngineOptions options;
    const char* message;
  } cases[] = {
      {with([](auto& o) { o.engine = "festival"; }), "unknown speech engine 'festival'"},
      {with([](auto& o) { o.engine = "azure", o.azureKey = kKey; }), "needs a region"},
      {with([](auto& o) { o.engine = "azure", o.azureRegion = "East Asia", o.azureKey = kKey; }),
       "needs a region"},
      {with([](auto& o) { o.engine = "azure", o.azureRegion = "eastasia"; }), "LECTORIA_AZURE_KEY"},
      {with([](auto& o) { o.engine = "azure", o.azureEndpoint = "ftp://x", o.azureKey = kKey; }),
       "http:// or https://"},
      {with([](auto& o) {
         o.engine = "azure", o.azureRegion = "eastasia", o.azureKey = "a\r\nX-Evil: 1";
       }),
       "control characters"},
      {with([](auto& o) { o.engine = "openai", o.openaiModel = "m", o.openaiVoices = "v"; }),
       "base address"},
      {with(
           [](auto& o) { o.engine = "openai", o.openaiUrl = "http://h/v1", o.openaiVoices = "v"; }),
       "model name"},
      {with([](auto& o) {
         o.engine = "openai", o.openaiUrl = "http://h/v1", o.openaiModel = "m",
         o.openaiVoices = " , ";
       }),
       "at least one voice"},
      {with([](auto& o) { o.engine = "command", o.command = "  "; }), "the program to run"},
      {with([](auto& o) { o.engine = "command", o.command = "tts 'x"; }), "unclosed"},
  };
  for (const auto& c : cases) {
    std::string error;
    EXPECT_FALSE(MakeEngine(c.options, error)) << c.message;
    EXPECT_NE(error.find(c.message), std::string::npos) << error;
    EXPECT_EQ(error.find("X-Evil"), std::string::npos) << error;
    EXPECT_EQ(error.find(kKey), std::string::npos) << error;
  }
}

TEST(SpeechEnginesTest, TakesTheAzureKeyFromTheEnvironmentOrAnOwnerOnlyFile) {
  const auto dir = testing::MakeTempDir();
  const auto file = dir / "azure.key";
  std::ofstream(file) << "  file-key \n";
  const struct {
    const char* environment;
    mode_t mode;
    bool ok;
    const char* key;
  } cases[] = {
      {nullptr, 0600, true, "file-key"},  {nullptr, 0400, true, "file-key"},
      {nullptr, 0640, false, ""},         {nullptr, 0604, false, ""},
      {"env-key", 0644, true, "env-key"},  // the file is not read then
  };
  for (const auto& c : cases) {
    ::chmod(file.c_str(), c.mode);
    if (c.environment)
      ::setenv(kAzureKeyVariable, c.environment, 1);
    else
      ::unsetenv(kAzureKeyVariable);
    EngineOptions options;
    std::string error;
    EXPECT_EQ(TakeEngineKeys(options, file, error), c.ok) << c.mode;
    EXPECT_EQ(options.azureKey, c.key) << c.mode;
    if (!c.ok) {
      EXPECT_NE(error.find("chmod 600"), std::string::npos) << error;
    }
  }
  ::unsetenv(kAzureKeyVariable);
  EngineOptions options;
  std::string error;
  EXPECT_TRUE(TakeEngineKeys(options, dir / "missing.key", error));
  EXPECT_TRUE(options.azureKey.empty());
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace lectoria::speechd
