// Headless stand-ins for the progress dialog, the shelf view and yes/no questions, for the
// tests. UI thread only.
#pragma once

#include <deque>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ports/progress_dialog.h"
#include "app/ports/shelf_view.h"

namespace lectoria {

/// Records what the dialog would show; Cancel() plays the user pressing its cancel button.
class FakeProgressDialog : public ProgressDialogPort {
 public:
  void OpenProgress(std::string_view text, std::function<void()> onCancel) override {
    open_ = true;
    text_ = text;
    percents_.clear();
    onCancel_ = std::move(onCancel);
  }
  void SetProgress(int percent) override { percents_.push_back(percent); }
  void CloseProgress() override {
    open_ = false;
    onCancel_ = nullptr;
  }

  void Cancel() {
    if (auto cancel = std::move(onCancel_)) cancel();
  }
  bool IsOpen() const { return open_; }
  const std::string& Text() const { return text_; }
  const std::vector<int>& Percents() const { return percents_; }

 private:
  bool open_ = false;
  std::string text_;
  std::vector<int> percents_;
  std::function<void()> onCancel_;
};

/// Records the shelf as shown; Open() and Remove() play the user's keys on a row.
class FakeShelfView : public ShelfViewPort {
 public:
  void ShowShelf(const std::vector<std::string>& columns, const std::vector<ShelfRow>& rows,
                 ShelfActions actions) override {
    shown_ = true;
    columns_ = columns;
    rows_ = rows;
    actions_ = std::move(actions);
  }
  void CloseShelf() override { shown_ = false; }

  void Open(std::int64_t id) {
    if (auto open = actions_.open) open(id);
  }
  void Remove(std::int64_t id) {
    if (auto remove = actions_.remove) remove(id);
  }
  bool IsShown() const { return shown_; }
  const std::vector<std::string>& Columns() const { return columns_; }
  const std::vector<ShelfRow>& Rows() const { return rows_; }

 private:
  bool shown_ = false;
  std::vector<std::string> columns_;
  std::vector<ShelfRow> rows_;
  ShelfActions actions_;
};

/// Answers each question with the next queued answer; no answer left means no.
class FakeQuestions : public QuestionPort {
 public:
  bool AskYesNo(std::string_view text, std::string_view) override {
    asked_.emplace_back(text);
    if (answers_.empty()) return false;
    const bool answer = answers_.front();
    answers_.pop_front();
    return answer;
  }
  void QueueAnswer(bool yes) { answers_.push_back(yes); }
  const std::vector<std::string>& Asked() const { return asked_; }

 private:
  std::deque<bool> answers_;
  std::vector<std::string> asked_;
};

}  // namespace lectoria
