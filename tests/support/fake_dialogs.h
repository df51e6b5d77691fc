// Headless stand-ins for the progress dialog, for the tests. UI thread only.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "app/ports/progress_dialog.h"

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

}  // namespace lectoria
