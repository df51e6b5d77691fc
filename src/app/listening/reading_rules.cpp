#include "app/listening/reading_rules.h"

#include <cstdio>
#include <memory>

#include "app/window/control_names.h"
#include "platform/codepage.h"
#include "rules/rule_file.h"
#include "rules/rule_set.h"

namespace lectoria {

ReadingRules::ReadingRules(App& app) : app_(app), file_(RulesFilePath(app.state().R.Root())) {}

void ReadingRules::Install() {
  LoadedRules loaded = LoadRules(file_);
  rules_ = std::move(loaded.rules);
  loadProblems_ = std::move(loaded.problems);
  Use(rules_, &loadProblems_);
  Report();

  MainWindow& w = app_.window();
  w.Bind(ctl::按钮_规则, ControlEvent::kClicked, [this] { OpenEditor(); });
  w.Bind(Command::kEditRules, [this] { OpenEditor(); });
}

void ReadingRules::Use(const RuleList& rules, std::vector<std::string>* problems) {
  app_.state().ReadingQueue.SetRules(
      std::make_shared<const RuleSet>(RuleSet::Compile(rules, problems)));
}

void ReadingRules::Report() {
  if (loadProblems_.empty()) return;
  for (const std::string& problem : loadProblems_)
    std::fprintf(stderr, "lectoria: %s: %s\n", file_.string().c_str(), GbkToUtf8(problem).c_str());
  std::string notice = loadProblems_.front();
  if (loadProblems_.size() > 1)
    notice += Utf8ToGbk("（另有 " + std::to_string(loadProblems_.size() - 1) + " 处）");
  // Posted, so that it joins whatever start-up itself reports instead of being replaced by it.
  app_.ports().ui.Post([this, notice = std::move(notice)] {
    StatusLine& status = app_.statusLine();
    const std::string earlier = status.Get(StatusLine::Part::kNotice);
    status.Set(StatusLine::Part::kNotice, earlier.empty() ? notice : earlier + "  " + notice);
  });
}

std::optional<std::string> ReadingRules::Save(const RuleList& rules) {
  if (auto problem = SaveRules(file_, rules)) return problem;
  rules_ = rules;
  Use(rules_, nullptr);
  if (const auto& refresh = app_.hooks().RefreshAhead) refresh();
  return std::nullopt;
}

void ReadingRules::OpenEditor() {
  // The key and the button can both arrive while the modal dialog is up.
  if (!opener_ || editing_) return;
  editing_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{editing_};
  const ReadingQueue& queue = app_.state().ReadingQueue;
  std::string line = queue.Size() > 0 ? queue.Slot(1).QueueBookText : std::string();
  RulesEditor editor(rules_, std::move(line), [this](const RuleList& r) { return Save(r); });
  opener_(editor);
}

}  // namespace lectoria
