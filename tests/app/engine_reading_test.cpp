// The reader with each speech engine of its own service, against the engines' stand-ins on
// 127.0.0.1: the voice loader fills the boxes from the engine's voices and the synthesis
// worker turns a whole book into clips.
#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/state/config_store.h"
#include "app/reading/synthesis_worker.h"
#include "app/reading/voice_loader.h"
#include "app/window/control_names.h"
#include "app_harness.h"
#include "audio/mp3_decoder.h"
#include "engine_stand_ins.h"
#include "library/library_index.h"
#include "speechd/speech_service.h"
#include "support/library_fixture.h"

namespace lectoria {
namespace {

using speechd::testing::CommandStandIn;
using speechd::testing::HttpStandIn;
using testing::AppHarness;
using testing::G;

void ReadTheBook(const speechd::EngineOptions& options, const std::string& voice) {
  std::string error;
  speechd::SpeechServiceOptions serviceOptions;
  serviceOptions.handlers.engine = speechd::MakeEngine(options, error);
  ASSERT_TRUE(serviceOptions.handlers.engine) << error;
  speechd::SpeechService service(serviceOptions);
  const int port = service.Start("127.0.0.1", 0);
  ASSERT_GT(port, 0);
  SpeechServiceClient client(SpeechServiceEndpoint::Local(port));

  AppHarness h;
  h.app.config().WriteVoice(voice);
  h.dir.WriteFile("data/1.txt",
                  G("第一章 开端\r\n春眠不觉晓，处处闻啼鸟。\r\n夜来风雨声，花落知多少。"));
  LibraryIndex index(h.dir.paths());
  testing::WriteLibraryIndex(h.dir.paths(), G("春晓"), {G("第一章 开端")});
  index.WriteReadingHistory(0);
  index.WriteLineNumber(1);
  VoiceLoader voices(h.app, client);
  SynthesisWorker worker(h.app, client);
  voices.Install(h.app.hooks());
  worker.Install(h.app.hooks());
  h.Start();
  EXPECT_EQ(h.app.window().Text(ctl::组合框_语音), voice);

  int lines = 0;
  while (worker.LaunchIfNeeded()) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (worker.Running() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
    ASSERT_FALSE(worker.Running());
    ASSERT_EQ(h.app.state().SynthesizedCount, lines + 1) << voice;
    const auto clip = DecodeMp3File(h.dir.paths().Clip(lines));
    ASSERT_TRUE(clip) << lines;
    EXPECT_GT(clip->LengthMs(), 300);
    ++lines;
  }
  EXPECT_EQ(lines, 3);
  EXPECT_TRUE(h.app.state().PendingIsEnd);
  EXPECT_TRUE(h.messages.Messages().empty());
  h.app.Close();
}

TEST(EngineReadingTest, ReadsABookThroughAzure) {
  HttpStandIn azure(HttpStandIn::Api::kAzure, "key-1");
  ReadTheBook(azure.Options(), "zh-CN-XiaoxiaoNeural");
  // The style box's first entry for this voice is 开心, which Azure hears as cheerful.
  const auto seen = azure.Requests();
  ASSERT_FALSE(seen.empty());
  EXPECT_NE(seen.back().body.find("<mstts:express-as style=\"cheerful\">"), std::string::npos);
}

TEST(EngineReadingTest, ReadsABookThroughAnOpenAiStyleServer) {
  HttpStandIn server(HttpStandIn::Api::kOpenAi, "");
  ReadTheBook(server.Options(), "zm_yunxi");
  EXPECT_EQ(server.Requests().size(), 3u);
}

TEST(EngineReadingTest, ReadsABookThroughACommand) {
  CommandStandIn program;
  ReadTheBook(program.Options(true), "zh-CN-PiperHuayan");
  EXPECT_FALSE(program.Inputs().empty());
}

}  // namespace
}  // namespace lectoria
