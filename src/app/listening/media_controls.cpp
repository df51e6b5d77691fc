#include "app/listening/media_controls.h"

#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "platform/codepage.h"

namespace lectoria {
namespace {

// The line without the blanks and line ends around it.
std::string Trimmed(std::string text) {
  const char* blanks = " \t\r\n";
  const std::size_t first = text.find_first_not_of(blanks);
  if (first == std::string::npos) return {};
  return text.substr(first, text.find_last_not_of(blanks) - first + 1);
}

}  // namespace

MediaStatus MediaControls::Status() const {
  const std::string caption = app_.window().Text(ctl::按钮1);
  if (caption == texts::kCaptionPause || caption == texts::kCaptionWaiting ||
      caption == texts::kCaptionWaking)
    return MediaStatus::kPlaying;
  if (caption == texts::kCaptionStart && app_.state().PlaybackStarted) return MediaStatus::kPaused;
  return MediaStatus::kStopped;
}

NowPlaying MediaControls::Current() const {
  const MainWindow& w = app_.window();
  NowPlaying now;
  if (!app_.state().BookLoaded) return now;
  now.album = GbkToUtf8(w.Title());
  now.title = GbkToUtf8(w.Row(ctl::超级列表框1, w.CurrentRow(ctl::超级列表框1)).title);
  now.line = GbkToUtf8(Trimmed(w.Text(ctl::编辑框3)));
  now.clip = app_.state().CurrentClip;
  return now;
}

void MediaControls::PlayPause() {
  app_.window().Click(ctl::按钮1);
}

void MediaControls::Play() {
  if (Status() != MediaStatus::kPlaying) PlayPause();
}

void MediaControls::Pause() {
  if (Status() == MediaStatus::kPlaying) PlayPause();
}

void MediaControls::Next() {
  app_.window().Click(ctl::按钮4);
}

void MediaControls::Previous() {
  if (app_.hooks().PreviousLine) app_.hooks().PreviousLine();
}

void MediaControls::Raise() {
  app_.window().SetVisible(true);
}

}  // namespace lectoria
