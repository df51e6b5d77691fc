// The status line 状态条1 below the text: a few parts, each written by its own owner (the
// reading position, the sleep timer, notices) and shown side by side in a fixed order.
#pragma once

#include <array>
#include <mutex>
#include <string>
#include <string_view>

#include "app/window/main_window.h"

namespace lectoria {

class StatusLine {
 public:
  /// The parts, in the order they are shown.
  enum class Part { kPosition, kSleepTimer, kNotice, kCount };

  explicit StatusLine(MainWindow& window) : window_(window) {}

  /// Replaces one part (GBK); an empty text leaves the part out. Any thread.
  void Set(Part part, std::string_view text);
  std::string Get(Part part) const;

 private:
  MainWindow& window_;
  mutable std::mutex mutex_;
  std::array<std::string, static_cast<std::size_t>(Part::kCount)> parts_;
};

}  // namespace lectoria
