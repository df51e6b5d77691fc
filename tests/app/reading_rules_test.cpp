// The text rules in the program: loading R/rules.txt at start, saving from the dialog, the
// dialog's model, and a change heard from the next line.
#include "app/listening/reading_rules.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "app/reading/refresh_ahead.h"
#include "app/reading/synthesis_worker.h"
#include "fake_speech_client.h"
#include "platform/codepage.h"
#include "playback_fixture.h"
#include "rules/default_rules.h"
#include "rules/rule_set.h"

namespace lectoria {
namespace {

using testing::FakeSpeechClient;
using testing::G;
using testing::PlaybackFixture;

TextRule Plain(const char* find, const char* replace, const char* note = "") {
  return {true, RuleKind::kText, G(find), G(replace), G(note)};
}

class ReadingRulesTest : public PlaybackFixture {
 protected:
  std::string Notice() { return GbkToUtf8(h_.app.statusLine().Get(StatusLine::Part::kNotice)); }
  std::size_t QueueRules() { return s().ReadingQueue.Rules()->size(); }

  ReadingRules rules_{h_.app};
};

TEST(ReadingRulesFile, IsReadAtStartAndWhenDamagedReportedAndLeftAlone) {
  struct Case {
    const char* what;
    std::string file;  // empty: no file
    std::size_t rules;
    const char* notice;  // empty: none
  };
  const Case cases[] = {
      {"no file", "", DefaultRules().size(), ""},
      {"own rules", "是\t文本\t甲一\t甲乙\n否\t文本\t乙一\t\n", 1, ""},
      {"not text", std::string("\0\1\2", 3), DefaultRules().size(), "规则文件已损坏"},
      {"one bad line", "是\t文本\t甲一\t甲乙\n坏行\n", 1, "规则文件第 2 行"},
  };
  for (const Case& c : cases) {
    testing::AppHarness h;
    ReadingRules rules(h.app);
    if (!c.file.empty()) h.dir.WriteFile("rules.txt", c.file);
    rules.Install();
    h.Start();
    h.ui.RunPending();
    EXPECT_EQ(h.app.state().ReadingQueue.Rules()->size(), c.rules) << c.what;
    const std::string notice = GbkToUtf8(h.app.statusLine().Get(StatusLine::Part::kNotice));
    if (c.notice[0] == 0) {
      EXPECT_EQ(notice, "") << c.what;
    } else {
      EXPECT_EQ(notice.rfind(c.notice, 0), 0u) << c.what << ": " << notice;
    }
    if (!c.file.empty()) EXPECT_EQ(h.dir.ReadFile("rules.txt"), c.file) << c.what;
  }
}

TEST_F(ReadingRulesTest, SaveRefusesBadRulesAndChangesNothing) {
  rules_.Install();
  StartWithBook();
  const auto before = s().ReadingQueue.Rules();
  int refreshes = 0;
  h_.app.hooks().RefreshAhead = [&] { ++refreshes; };

  RuleList bad = rules_.Rules();
  bad.push_back({true, RuleKind::kPattern, G("(甲"), "", G("坏规则")});
  const std::optional<std::string> problem = rules_.Save(bad);
  ASSERT_TRUE(problem);
  EXPECT_EQ(GbkToUtf8(*problem).rfind("第 5 条规则（坏规则）：正则表达式有误", 0), 0u)
      << GbkToUtf8(*problem);
  EXPECT_FALSE(std::filesystem::exists(h_.dir.root() / "rules.txt"));
  EXPECT_EQ(s().ReadingQueue.Rules(), before);
  EXPECT_EQ(refreshes, 0);

  EXPECT_FALSE(rules_.Save({Plain("甲一", "甲乙")}));
  EXPECT_TRUE(std::filesystem::exists(h_.dir.root() / "rules.txt"));
  EXPECT_EQ(QueueRules(), 1u);
  EXPECT_EQ(refreshes, 1);
}

TEST_F(ReadingRulesTest, ButtonAndKeyOpenTheEditorOnTheLineBeingRead) {
  rules_.Install();
  StartWithBook();
  std::vector<std::string> lines;
  rules_.SetOpener([&](RulesEditor& editor) {
    lines.push_back(editor.TrialLine());
    editor.Add(Plain("起", "始"), -1);
    EXPECT_FALSE(editor.Save());
  });
  h_.app.window().Click(ctl::按钮_规则);
  h_.app.window().RunCommand(Command::kEditRules);
  h_.ui.RunPending();
  EXPECT_EQ(lines, (std::vector<std::string>{G("第一章 起"), G("第一章 起")}));
  EXPECT_EQ(rules_.Rules().size(), DefaultRules().size() + 2);
}

TEST(RulesEditor, EditsTriesAndSaves) {
  std::vector<RuleList> saved;
  std::optional<std::string> refusal;
  RulesEditor editor({Plain("重庆", "崇庆", "地名")}, G("他在重庆，见 www.a.com"),
                     [&](const RuleList& r) {
                       if (!refusal) saved.push_back(r);
                       return refusal;
                     });
  EXPECT_FALSE(editor.Modified());
  EXPECT_EQ(editor.Add(DefaultRules().front(), 0), 1);
  EXPECT_EQ(editor.Add(Plain("他", "她"), 5), 2);  // past the end: appended
  EXPECT_EQ(editor.Move(2, -1), 1);
  EXPECT_EQ(editor.Move(0, -1), 0);  // the first row cannot go up
  EXPECT_EQ(editor.Rule(1).pattern, G("他"));
  editor.SetEnabled(1, false);
  EXPECT_TRUE(editor.Modified());

  struct Case {
    int row;
    const char* result;
  };
  const Case cases[] = {
      {0, "他在崇庆，见 www.a.com"},
      {1, "她在重庆，见 www.a.com"},  // tried alone even when off
      {2, "他在重庆，见 "},
      {-1, "他在崇庆，见 "},  // all rules that are on, in order
  };
  for (const Case& c : cases) {
    const RuleTrial trial = editor.Try(c.row);
    EXPECT_FALSE(trial.problem) << c.row;
    EXPECT_EQ(GbkToUtf8(trial.result), c.result) << c.row;
  }
  editor.Set(0, {true, RuleKind::kPattern, G("(重"), "", ""});
  EXPECT_TRUE(editor.Try(0).problem);
  EXPECT_TRUE(editor.Try(-1).problem);

  refusal = G("不行");
  EXPECT_EQ(editor.Save(), refusal);
  EXPECT_TRUE(editor.Modified());
  refusal.reset();
  editor.Remove(0);
  EXPECT_FALSE(editor.Save());
  EXPECT_FALSE(editor.Modified());
  ASSERT_EQ(saved.size(), 1u);
  EXPECT_EQ(saved[0].size(), 2u);
}

// The whole pipeline on the simulated clock: the worker synthesizes ahead, a rule is saved
// while the third line plays, and the fourth line is heard as the rule says.
class RefreshAheadTest : public ReadingRulesTest {
 protected:
  RefreshAheadTest() {
    worker_.Install(h_.app.hooks());
    pc_.SetLaunchStep([this] { worker_.LaunchIfNeeded(); });
    h_.app.hooks().RefreshAhead = [this] { RefreshAhead(h_.app, worker_); };
  }

  // Ticks, each with its run awaited, until the worker has nothing more to do.
  void SynthesizeAhead(int ticks = 20) {
    for (int i = 0; i < ticks; ++i) {
      Tick();
      AwaitIdle();
    }
  }
  void AwaitIdle() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (worker_.Running() && std::chrono::steady_clock::now() < deadline)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_FALSE(worker_.Running());
  }
  std::string ClipText(int n) {
    return GbkToUtf8(h_.dir.ReadFile("temp/" + std::to_string(n) + ".mp3"));
  }

  FakeSpeechClient client_;
  SynthesisWorker worker_{h_.app, client_};
};

TEST_F(RefreshAheadTest, ARuleSavedWhileLineThreePlaysIsHeardFromLineFour) {
  rules_.Install();
  StartWithBook();
  SynthesizeAhead();
  ASSERT_EQ(s().SynthesizedCount, 8);  // the whole book, then the end
  EXPECT_EQ(ClipText(3), "MP3:第二章 承");
  Press();
  FinishClip();
  FinishClip();
  ASSERT_EQ(s().CurrentClip, 2);
  EXPECT_EQ(CurrentLine(), G("甲二"));

  RuleList changed = rules_.Rules();
  changed.push_back(Plain("第二章", "第贰章"));
  changed.push_back(Plain("乙一", ""));  // the line is passed over
  ASSERT_FALSE(rules_.Save(changed));
  EXPECT_EQ(s().SynthesizedCount, 3);
  EXPECT_FALSE(ClipExists(3));
  EXPECT_TRUE(ClipExists(2));  // the line being heard plays on
  EXPECT_EQ(h_.player.OpenPath().filename(), "2.mp3");

  SynthesizeAhead();
  EXPECT_EQ(ClipText(3), "MP3:第贰章 承");
  EXPECT_EQ(ClipText(4), "MP3:第三章 转");
  EXPECT_FALSE(ClipExists(7));  // one line fewer: the book now ends a clip earlier
  FinishClip();
  EXPECT_EQ(s().CurrentClip, 3);
  EXPECT_EQ(CurrentLine(), G("第贰章 承"));
  EXPECT_EQ(h_.app.window().Text(ctl::编辑框1).find(G("第贰章")), std::string::npos);
  FinishClip();
  EXPECT_EQ(CurrentLine(), G("第三章 转"));
  EXPECT_EQ(ChapterRow(), 2);  // the chapter starts were found again
}

// A clip of the old text that arrives after the change is not kept. Before reading starts, the
// first line is the one being read: it stays, the others are made again.
TEST_F(RefreshAheadTest, ClipInFlightForAChangedLineIsDiscarded) {
  testing::Gate gate;
  client_.SetScript([&](const FakeSpeechClient::Call& call, const std::atomic<bool>*) {
    if (call.text == G("第二章 承")) gate.Wait(nullptr);  // finishes whatever the worker says
    return "MP3:" + call.text;
  });
  rules_.Install();
  StartWithBook();
  SynthesizeAhead(3);
  Tick();  // the run for clip 3 starts and waits at the gate
  ASSERT_TRUE(client_.AwaitCalls(4));
  ASSERT_FALSE(rules_.Save({Plain("第二章", "第贰章")}));
  gate.Open();
  AwaitIdle();
  EXPECT_FALSE(ClipExists(3));
  EXPECT_FALSE(ClipExists(1));
  EXPECT_EQ(s().SynthesizedCount, 1);
  SynthesizeAhead(3);
  EXPECT_EQ(ClipText(3), "MP3:第贰章 承");
  EXPECT_EQ(ClipText(1), "MP3:甲一");
}

}  // namespace
}  // namespace lectoria
