#include "app/core/status_line.h"

#include "app/window/control_names.h"

namespace lectoria {

void StatusLine::Set(Part part, std::string_view text) {
  std::lock_guard lock(mutex_);
  std::string& slot = parts_[static_cast<std::size_t>(part)];
  if (slot == text) return;
  slot = text;
  std::string shown;
  for (const std::string& p : parts_) {
    if (p.empty()) continue;
    if (!shown.empty()) shown += "   ";
    shown += p;
  }
  // Written under the lock, so that two writers cannot leave an older whole in the window.
  window_.SetText(ctl::状态条1, shown);
}

std::string StatusLine::Get(Part part) const {
  std::lock_guard lock(mutex_);
  return parts_[static_cast<std::size_t>(part)];
}

}  // namespace lectoria
