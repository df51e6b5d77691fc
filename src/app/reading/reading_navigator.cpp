#include "app/reading/reading_navigator.h"

#include <algorithm>
#include <string_view>
#include <system_error>
#include <vector>

#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "library/chapter_file.h"
#include "platform/file_util.h"
#include "reader/line_filter.h"

namespace lectoria {
namespace {

// The clips of the audio cache (temp.txt, the GBK copy of a UTF-8 book, stays).
void RemoveCachedClips(const RunPaths& paths) {
  std::error_code ec;
  std::filesystem::directory_iterator it(paths.TempDir(), ec);
  if (ec) return;
  for (const auto& entry : it)
    if (entry.path().extension() == ".mp3") RemoveFile(entry.path());
}

// The lines of a chapter file, split at CR LF as the queue loader splits them.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find("\r\n");
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 2);
  }
  return lines;
}

bool IsReadingCaption(std::string_view caption) {
  return caption == texts::kCaptionPause || caption == texts::kCaptionWaiting ||
         caption == texts::kCaptionWaking;
}

}  // namespace

ReadingNavigator::ReadingNavigator(App& app, PlaybackController& playback)
    : app_(app), playback_(playback) {}

ReadingNavigator::~ReadingNavigator() {
  *link_ = nullptr;
}

void ReadingNavigator::Install() {
  MainWindow& w = app_.window();
  const auto bind = [&w, link = link_](Command command, void (ReadingNavigator::*step)()) {
    w.Bind(command, [link, step] {
      if (*link) ((*link)->*step)();
    });
  };
  bind(Command::kReadFromChapter, &ReadingNavigator::ReadFromChapter);
  bind(Command::kReadFromLine, &ReadingNavigator::ReadFromLine);
  bind(Command::kPreviousLine, &ReadingNavigator::PreviousLine);
  bind(Command::kNextLine, &ReadingNavigator::NextLine);
  bind(Command::kPreviousChapter, &ReadingNavigator::PreviousChapter);
  bind(Command::kNextChapter, &ReadingNavigator::NextChapter);
  w.Bind(Command::kSeekBack, [link = link_] {
    if (*link) (*link)->playback_.SeekBy(-kSeekStepMs);
  });
  w.Bind(Command::kSeekForward, [link = link_] {
    if (*link) (*link)->playback_.SeekBy(kSeekStepMs);
  });
  AppHooks& hooks = app_.hooks();
  hooks.PreviousLine = [link = link_] {
    if (*link) (*link)->PreviousLine();
  };
  hooks.VoiceChanged = [link = link_] {
    if (*link) (*link)->VoiceChanged();
  };
}

bool ReadingNavigator::ReadFrom(std::int32_t row, std::int32_t line, std::int64_t placeMs) {
  AppState& state = app_.state();
  MainWindow& window = app_.window();
  ReadingQueue& queue = state.ReadingQueue;
  if (!state.BookLoaded || queue.ChapterCount <= 0) return false;
  row = std::clamp(row, 0, queue.ChapterCount - 1);
  line = std::max(line, 1);
  const bool wasReading = IsReadingCaption(window.Text(ctl::按钮1));

  // Reading stops as for a new book: no clip of the old place can arrive after this.
  if (app_.hooks().StopReading) app_.hooks().StopReading();
  app_.ports().player.Close();
  RemoveCachedClips(state.R);
  state.CurrentClip = 0;
  state.SynthesizedCount = 0;
  state.PlaybackStarted = false;
  state.PendingText.Set({});
  state.PendingIsEnd = false;
  queue.Reset(state.CacheSize);
  queue.ChapterStartClips.clear();

  app_.saveNotices().Saved(SaveNotices::Kind::kPosition,
                           app_.library().SavePosition(row, line, placeMs));
  queue.FillLine = line;
  state.CurrentChapterRow = row;
  state.EnteredClip = -1;
  queue.LoadQueueAt(row);
  const QueueSlot& first = queue.Slot(1);
  state.ResumePlaceMs = first.QueueEnd || first.QueueLine != line ? 0 : placeMs;
  window.SetText(ctl::编辑框3, first.QueueEnd ? texts::kBookEnd : first.QueueText);
  app_.place().SetFollowing(true);
  app_.place().Show(PositionOfClip(state, 0));
  if (wasReading) playback_.ToggleStartPause();  // "开始" -> reading from clip 0 as it comes
  return true;
}

void ReadingNavigator::ReadFromChapter() {
  const std::int32_t row = app_.window().CurrentRow(ctl::超级列表框1);
  if (row >= 0) ReadFrom(row, 1);
}

void ReadingNavigator::ReadFromLine() {
  MainWindow& window = app_.window();
  const std::int32_t row = window.CurrentRow(ctl::超级列表框1);
  const std::int32_t line = window.PointedLine(ctl::编辑框1);
  if (row >= 0 && line >= 0) ReadFrom(row, line + 1);
}

ReadingPosition ReadingNavigator::Current() const {
  const AppState& state = app_.state();
  return PositionOfClip(state, std::max<std::int32_t>(state.CurrentClip, 0));
}

std::optional<ReadingPosition> ReadingNavigator::NextPosition() const {
  const AppState& state = app_.state();
  const ReadingPosition current = Current();
  if (current.row < 0) return std::nullopt;
  // The queue holds the lines ahead; pieces of one long line share its position.
  for (std::int32_t clip = std::max<std::int32_t>(state.CurrentClip, 0) + 1;; ++clip) {
    const QueueSlot* slot = state.ReadingQueue.FindClip(clip);
    if (slot == nullptr) break;
    if (slot->QueueEnd) return std::nullopt;  // the book's last line
    const ReadingPosition next = PositionOfClip(state, clip);
    if (next != current) return next;
  }
  return ReadingPosition{current.row, current.line + 1};
}

std::optional<ReadingPosition> ReadingNavigator::PreviousPosition() const {
  const AppState& state = app_.state();
  const ReadingPosition current = Current();
  if (current.row < 0) return std::nullopt;
  const bool skip = state.SkipNonChinese;
  for (std::int32_t row = current.row; row >= 0; --row) {
    const std::string text = ReadChapterText(state.R.ChapterFile(row + 1));
    const std::vector<std::string_view> lines = SplitLines(text);
    std::int32_t j = static_cast<std::int32_t>(lines.size());
    if (row == current.row) j = std::min(j, current.line - 1);
    for (; j >= 1; --j)
      if (IsUsableLine(TrimSpacesView(lines[static_cast<std::size_t>(j - 1)]), skip))
        return ReadingPosition{row, j};
  }
  return std::nullopt;  // the book's first line
}

void ReadingNavigator::PreviousLine() {
  if (const auto place = PreviousPosition()) ReadFrom(place->row, place->line);
}

void ReadingNavigator::NextLine() {
  if (const auto place = NextPosition()) ReadFrom(place->row, place->line);
}

void ReadingNavigator::PreviousChapter() {
  const ReadingPosition current = Current();
  if (current.row > 0) ReadFrom(current.row - 1, 1);
}

void ReadingNavigator::NextChapter() {
  const ReadingPosition current = Current();
  if (current.row >= 0 && current.row + 1 < app_.state().ReadingQueue.ChapterCount)
    ReadFrom(current.row + 1, 1);
}

void ReadingNavigator::VoiceChanged() {
  const AppState& state = app_.state();
  if (!state.BookLoaded) return;
  const bool heard = state.PlaybackStarted && state.EnteredClip >= 0;
  if (!heard) {
    const ReadingPosition current = Current();
    if (current.row >= 0) ReadFrom(current.row, current.line);
    return;
  }
  if (const auto next = NextPosition()) ReadFrom(next->row, next->line);
}

}  // namespace lectoria
