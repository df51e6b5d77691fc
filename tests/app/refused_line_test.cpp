// Reading on past a line that the speech service refuses: the playback controller, the voice
// loader and the synthesis worker with the real client, against a stand-in service on
// 127.0.0.1 that answers like the embedded one but refuses every speak request for one line.
#include <gtest/gtest.h>
#include <httplib.h>

#include <chrono>
#include <thread>

#include "app/reading/playback_controller.h"
#include "app/reading/synthesis_worker.h"
#include "app/reading/voice_loader.h"
#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "app_harness.h"
#include "library/library_index.h"
#include "speechd/request_handlers.h"
#include "support/library_fixture.h"

namespace lectoria {
namespace {

using testing::AppHarness;
using testing::CrLf;
using testing::G;

// The embedded service's request handlers behind a plain HTTP server; a speak request whose
// body holds `refused` gets a 500 reply.
class RefusingService {
 public:
  explicit RefusingService(std::string refused) : refused_(std::move(refused)) {
    server_.Get(".*", [this](const auto& q, auto& r) { Answer(q, r); });
    server_.Post(".*", [this](const auto& q, auto& r) { Answer(q, r); });
    port_ = server_.bind_to_any_port("127.0.0.1");
    thread_ = std::thread([this] { server_.listen_after_bind(); });
  }
  ~RefusingService() {
    server_.stop();
    thread_.join();
  }
  int port() const { return port_; }

 private:
  void Answer(const httplib::Request& q, httplib::Response& r) {
    if (q.path == speechd::kSpeakPath && q.body.find(refused_) != std::string::npos) {
      r.status = 500;
      r.set_content("{\"error\":\"refused\"}", "application/json");
      return;
    }
    speechd::ServiceRequest request{q.method, q.path, {}, q.body};
    for (const auto& [name, value] : q.headers) request.headers.emplace_back(name, value);
    const speechd::ServiceReply reply = handlers_.Handle(request);
    r.status = reply.status;
    if (!reply.contentEncoding.empty()) r.set_header("Content-Encoding", reply.contentEncoding);
    r.set_content(reply.body, reply.contentType);
  }

  const std::string refused_;
  speechd::RequestHandlers handlers_;
  httplib::Server server_;
  int port_ = 0;
  std::thread thread_;
};

struct Entered {
  std::int32_t clip;
  std::string line;  // 编辑框3
  std::int32_t storedRow;
  std::int32_t storedLine;
  bool operator==(const Entered&) const = default;
};

void PrintTo(const Entered& e, std::ostream* os) {
  *os << "{" << e.clip << ", " << e.storedRow << ":" << e.storedLine << "}";
}

TEST(RefusedLine, TheBookGoesOnAfterALineTheServiceRefuses) {
  RefusingService service("XQZ");
  SpeechServiceClient client(SpeechServiceEndpoint::Local(service.port()));
  AppHarness h;
  h.dir.WriteFile("data/1.txt",
                  CrLf({G("第一章"), G("第一句。"), G("第二句XQZ。"), G("第三句。")}));
  h.dir.WriteFile("data/2.txt", CrLf({G("第二章"), G("第四句。")}));
  LibraryIndex index(h.dir.paths());
  testing::WriteLibraryIndex(h.dir.paths(), "", {G("第一章"), G("第二章")});
  index.WriteReadingHistory(0);
  index.WriteLineNumber(1);

  PlaybackController playback(h.app);
  VoiceLoader voices(h.app, client);
  SynthesisWorker worker(h.app, client);
  playback.Install();
  voices.Install(h.app.hooks());
  worker.Install(h.app.hooks());
  playback.SetLaunchStep([&worker] { worker.LaunchIfNeeded(); });
  h.Start();
  MainWindow& w = h.app.window();
  ASSERT_GT(w.ItemCount(ctl::组合框_语音), 0);
  w.Click(ctl::按钮1);

  // The simulated clock runs on while the worker meets the service in real time; each clip
  // that plays is heard to its end.
  std::vector<Entered> entered;
  const AppState& s = h.app.state();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while (!(entered.size() == 6 && w.Text(ctl::按钮1) == texts::kCaptionWaiting) &&
         std::chrono::steady_clock::now() < deadline) {
    h.ui.AdvanceBy(100);
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
    if (h.player.Status() == PlayerStatus::kPlaying) h.player.FinishClip();
    h.ui.RunPending();
    if (s.CurrentClip >= 0 && (entered.empty() || entered.back().clip != s.CurrentClip)) {
      const LibraryIndex stored(h.dir.paths());
      entered.push_back(
          {s.CurrentClip, w.Text(ctl::编辑框3), stored.ReadingHistory(), stored.LineNumber()});
    }
  }
  // Clip 2 is the refused line: shown and stored as it comes, then passed over.
  EXPECT_EQ(entered, (std::vector<Entered>{{0, G("第一章"), 0, 1},
                                           {1, G("第一句。"), 0, 2},
                                           {2, G("第二句XQZ。"), 0, 3},
                                           {3, G("第三句。"), 0, 4},
                                           {4, G("第二章"), 1, 1},
                                           {5, G("第四句。"), 1, 2}}));
  EXPECT_EQ(w.CurrentRow(ctl::超级列表框1), 1);
  ASSERT_EQ(h.messages.Messages().size(), 1u);
  EXPECT_EQ(h.messages.Messages()[0].text, texts::kSynthesisFailed);
  h.app.Close();
}

}  // namespace
}  // namespace lectoria
