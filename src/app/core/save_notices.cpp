#include "app/core/save_notices.h"

#include <string_view>

#include "app/core/notices.h"
#include "app/window/texts.h"

namespace lectoria {

bool SaveNotices::Saved(Kind kind, bool ok) {
  std::atomic<bool>& failing = failing_[static_cast<std::size_t>(kind)];
  if (ok) {
    failing = false;
    return true;
  }
  if (failing.exchange(true)) return false;
  const std::string_view text =
      kind == Kind::kSettings ? texts::kSettingsNotSaved : texts::kPositionNotSaved;
  ui_.Post([&messages = messages_, text] { messages.ShowMessage(text, texts::kNoticeTitle); });
  return false;
}

}  // namespace lectoria
