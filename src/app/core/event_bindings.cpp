// Every binding of a window event or hotkey to the operation it runs, in one place.
#include "app/core/app.h"
#include "app/window/control_names.h"
#include "app/window/texts.h"

namespace lectoria {

void App::BindEvents() {
  MainWindow& w = window_;
  using E = ControlEvent;

  w.Bind(WindowEvent::kCreated, [this] { OnMainWindowCreated(); });
  // The window's end of life: binding the clean-up to its destruction covers every way of
  // closing it.
  w.Bind(WindowEvent::kDestroying, [this] { CleanUpTemp(); });

  w.Bind(ctl::按钮2, E::kClicked, [this] {
    if (hooks_.ImportBook) {
      hooks_.ImportBook();
    } else {
      ImportBook();
    }
  });
  w.Bind(ctl::按钮_书架, E::kClicked, [this] { ShowShelf(); });
  w.Bind(Command::kShowShelf, [this] { ShowShelf(); });
  w.Bind(ctl::超级列表框1, E::kCurrentRowChanged, [this] { ShowChapterText(); });
  w.Bind(ctl::按钮1, E::kClicked, [this] { RunHook(hooks_.ToggleStartPause); });
  w.Bind(ctl::按钮4, E::kClicked, [this] { RunHook(hooks_.AdvanceClip); });
  w.Bind(ctl::时钟1, E::kTimer, [this] { RunHook(hooks_.OnTimerTick); });
  w.Bind(ctl::选择框1, E::kClicked, [this] { OnSkipNonChineseClicked(); });
  w.Bind(ctl::选择框2, E::kClicked, [this] { OnWakeOutputClicked(); });
  w.Bind(ctl::按钮3, E::kClicked, [this] {
    SaveVoiceSettings();
    RunHook(hooks_.VoiceChanged);
  });
  w.Bind(ctl::组合框_语音, E::kItemSelected, [this] {
    RunHook(hooks_.FillStyleBox);
    RunHook(hooks_.VoiceChanged);
  });
  w.Bind(ctl::组合框_语音风格, E::kItemSelected, [this] { RunHook(hooks_.VoiceChanged); });
  w.Bind(Command::kShowReadingLine, [this] { place_.Reveal(); });
  w.Bind(Command::kBrowseText, [this] { place_.SetFollowing(false); });
  w.Bind(ctl::超级链接框1, E::kClicked, [this] {
    if (hooks_.OpenUrl) hooks_.OpenUrl(texts::kServiceProductUrl);
  });
}

}  // namespace lectoria
