// Start-up, clean-up at the window's end, the settings handlers and the show/hide hotkey.
#include "app/core/app.h"
#include "app/state/index_checks.h"
#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "library/bookshelf.h"
#include "library/library_swap.h"
#include "platform/file_util.h"

namespace lectoria {

void App::OnMainWindowCreated() {
  window_.SetVisible(true);
  StartVoiceLoader();
  state_.SynthesizedCount = 0;
  // The run directory R is fixed when the App is made.
  state_.PlaybackStarted = false;
  state_.BookLoaded = false;
  state_.StartAfterWaitActive = false;
  RegisterHotkeys();

  window_.SetChecked(ctl::选择框1, config_.SkipNonChinese());
  window_.SetChecked(ctl::选择框2, config_.WakeOutput());
  state_.WakeOutput = window_.IsChecked(ctl::选择框2);
  state_.SkipNonChinese = window_.IsChecked(ctl::选择框1);

  // Clips of an earlier run are never played again: temp/ starts empty.
  RemoveTree(state_.R.TempDir());
  MakeDirectories(state_.R.TempDir());

  state_.CacheSize = config_.CacheSize();
  state_.ReadingQueue.Reset(state_.CacheSize);

  // A crash in the middle of an import's swap must not lose the library.
  RecoverInterruptedImport(state_.R);
  RecoverShelf(state_.R);
  if (library_.Exists()) {
    state_.BookLoaded = true;
    RestoreFromLibrary();
  } else {
    window_.SetTitle(texts::kDefaultTitle);
  }
  place_.ApplyBookState();
}

void App::RestoreFromLibrary() {
  // Reads without defaults: a missing key is the empty text, or 0.
  window_.SetTitle(library_.BookName());
  place_.BookChanged();
  FillChapterList();  // sets ChapterCount from "章节数", within its bounds
  const ReadingPosition stored{library_.ReadingHistory(), library_.LineNumber()};
  const ReadingPosition position = CheckReadingPosition(stored, state_.ReadingQueue.ChapterCount);
  if (position.row != stored.row) {
    // The queue loader reads the row from the index itself, so the index must hold the
    // checked one. Should it not take it, reading cannot start from a known place: the book
    // stays listed but is not read.
    const bool saved = library_.SavePosition(position.row, position.line);
    if (!saveNotices_.Saved(SaveNotices::Kind::kPosition, saved) ||
        library_.ReadingHistory() != position.row) {
      state_.BookLoaded = false;
      place_.ApplyBookState();
      return;
    }
  }
  state_.ReadingQueue.FillLine = position.line;
  state_.CurrentChapterRow = position.row;
  state_.EnteredClip = -1;
  window_.SetCurrentRow(ctl::超级列表框1, position.row);
  LoadQueue(true);
  const QueueSlot& first = state_.ReadingQueue.Slot(1);
  window_.SetText(ctl::编辑框3, first.QueueEnd ? texts::kBookEnd : first.QueueText);
  // The place within the line is kept only when reading resumes at that very line.
  state_.ResumePlaceMs =
      !first.QueueEnd && first.QueueLine == position.line ? library_.PlaceInLine() : 0;
  place_.ApplyBookState();
  place_.Show(PositionOfClip(state_, 0));
}

void App::CleanUpTemp() {
  ports_.player.Close();
  RemoveTree(state_.R.TempDir());
}

void App::OnSkipNonChineseClicked() {
  const bool checked = window_.IsChecked(ctl::选择框1);
  saveNotices_.Saved(SaveNotices::Kind::kSettings, config_.WriteSkipNonChinese(checked));
  state_.SkipNonChinese = checked;
}

void App::OnWakeOutputClicked() {
  const bool checked = window_.IsChecked(ctl::选择框2);
  saveNotices_.Saved(SaveNotices::Kind::kSettings, config_.WriteWakeOutput(checked));
  state_.WakeOutput = checked;
}

void App::SaveVoiceSettings() {
  const bool voice = config_.WriteVoice(window_.Text(ctl::组合框_语音));
  const bool style = config_.WriteVoiceStyle(window_.SelectedIndex(ctl::组合框_语音风格));
  saveNotices_.Saved(SaveNotices::Kind::kSettings, voice && style);
}

bool App::RegisterGlobalHotkey(WindowHandle window, std::uint32_t modifiers, std::uint32_t key,
                               std::function<void()> handler, std::int32_t id) {
  return hotkeys_.RegisterGlobalHotkey(window, modifiers, key, std::move(handler), id);
}

void App::ToggleMainWindow() {
  window_.SetVisible(!window_.IsVisible());
}

}  // namespace lectoria
