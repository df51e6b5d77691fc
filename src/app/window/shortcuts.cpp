// The window's keyboard shortcuts. Window-wide, so they work wherever the focus is; none of them
// is a key the edit boxes or lists use for editing or moving.
#include "app/window/main_window.h"

namespace lectoria {

std::vector<Shortcut> MainWindowShortcuts() {
  return {
      {"Ctrl++", Command::kTextLarger},
      {"Ctrl+=", Command::kTextLarger},  // the plus key without Shift
      {"Ctrl+-", Command::kTextSmaller},
      {"Ctrl+0", Command::kTextDefaultSize},
      {"Ctrl+]", Command::kFaster},
      {"Ctrl+[", Command::kSlower},
      {"Ctrl+\\", Command::kNormalSpeed},
      {"Ctrl+Up", Command::kLouder},
      {"Ctrl+Down", Command::kQuieter},
      {"Ctrl+T", Command::kCycleSleepTimer},
      {"Ctrl+R", Command::kEditRules},
      {"Ctrl+B", Command::kShowShelf},
      {"Alt+Left", Command::kPreviousLine},
      {"Alt+Right", Command::kNextLine},
      {"Alt+PgUp", Command::kPreviousChapter},
      {"Alt+PgDown", Command::kNextChapter},
      {"Alt+[", Command::kSeekBack},
      {"Alt+]", Command::kSeekForward},
      {"Ctrl+L", Command::kShowReadingLine},
  };
}

}  // namespace lectoria
