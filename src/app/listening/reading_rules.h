// The text rules the reader speaks with: loaded from R/rules.txt at start, put on the reading
// queue, and changed through the rules dialog (按钮_规则 "朗读规则…", Ctrl+R).
//
//   ReadingRules rules(app);
//   rules.Install();                              // before App::Start()
//   rules.SetOpener([&](RulesEditor& e) { ... }); // the dialog; runs modally on the UI thread
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "app/core/app.h"
#include "app/listening/rules_editor.h"
#include "rules/text_rule.h"

namespace lectoria {

class ReadingRules {
 public:
  using Opener = std::function<void(RulesEditor&)>;

  /// The App must outlive this object's use; destroy it after App::Close() or before Start().
  explicit ReadingRules(App& app);

  /// Reads R/rules.txt (the default set when there is none), puts the rules on the reading
  /// queue and binds 按钮_规则 and Command::kEditRules to OpenEditor. A file that cannot be
  /// used, in part or whole, is reported once (stderr, and the status line after start-up)
  /// and left as it is: what could be read is used, otherwise the default set. Call once, on
  /// the UI thread, before App::Start().
  void Install();

  /// The rules in force (UI thread).
  const RuleList& Rules() const { return rules_; }

  /// Checks `rules` and writes them to R/rules.txt; then lines loaded from now on are spoken
  /// with them, and the lines after the one being heard are loaded and synthesized again
  /// (hooks().RefreshAhead). The problem (GBK, naming the rule, or saying the file could not
  /// be written) when refused; nothing changes then. UI thread.
  std::optional<std::string> Save(const RuleList& rules);

  /// What opens the dialog (the Qt view); without one OpenEditor does nothing.
  void SetOpener(Opener opener) { opener_ = std::move(opener); }
  /// Runs the opener with an editor over the rules in force, trying them on the book's text
  /// of the line being read. UI thread.
  void OpenEditor();

  /// What loading the file found wrong (GBK), as reported.
  const std::vector<std::string>& LoadProblems() const { return loadProblems_; }

 private:
  void Use(const RuleList& rules, std::vector<std::string>* problems);
  void Report();

  App& app_;
  std::filesystem::path file_;
  RuleList rules_;
  std::vector<std::string> loadProblems_;
  Opener opener_;
  bool editing_ = false;
};

}  // namespace lectoria
