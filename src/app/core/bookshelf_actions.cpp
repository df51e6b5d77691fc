// The bookshelf in the window: listing the books, switching to one, removing one.
#include <time.h>

#include <algorithm>
#include <system_error>

#include "app/core/app.h"
#include "app/core/shelf_texts.h"
#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "platform/codepage.h"
#include "platform/file_util.h"

namespace lectoria {
namespace {

// Deletes the audio clips in temp/ (temp.txt stays).
void RemoveCachedClips(const RunPaths& paths) {
  std::error_code ec;
  std::filesystem::directory_iterator it(paths.TempDir(), ec);
  if (ec) return;
  for (const auto& entry : it) {
    if (entry.path().extension() == ".mp3") RemoveFile(entry.path());
  }
}

std::string LocalTime(std::int64_t seconds) {
  const time_t t = static_cast<time_t>(seconds);
  struct tm local {};
  char text[32] = "";
  if (localtime_r(&t, &local)) std::strftime(text, sizeof text, "%Y-%m-%d %H:%M", &local);
  return text;
}

std::vector<std::string> ShelfColumns() {
  return {Utf8ToGbk(shelf_texts::kColumnTitle), Utf8ToGbk(shelf_texts::kColumnChapters),
          Utf8ToGbk(shelf_texts::kColumnRead), Utf8ToGbk(shelf_texts::kColumnLastRead)};
}

}  // namespace

std::vector<ShelfRow> App::ShelfRows() const {
  std::vector<ShelfRow> rows;
  for (const ShelfBook& book : ListShelf(state_.R)) {
    // Chapters behind the one being read, as a share of the book.
    const std::int64_t count = std::max(book.chapterCount, 0);
    const std::int64_t row = std::clamp<std::int64_t>(book.chapterRow, 0, count);
    const std::int64_t percent = count > 0 ? row * 100 / count : 0;
    rows.push_back({book.id,
                    {book.title, std::to_string(count), std::to_string(percent) + "%",
                     book.current ? Utf8ToGbk(shelf_texts::kReadingNow) : LocalTime(book.lastRead)},
                    book.current});
  }
  return rows;
}

void App::ShowShelf() {
  if (!ports_.shelfView) return;
  ShelfActions actions;
  actions.open = [this](BookId id) {
    if (id == CurrentBookId(state_.R) || SwitchBook(id)) ports_.shelfView->CloseShelf();
  };
  actions.remove = [this](BookId id) { RemoveFromShelf(id); };
  ports_.shelfView->ShowShelf(ShelfColumns(), ShelfRows(), std::move(actions));
}

bool App::SwitchBook(BookId id) {
  // Reading stops before the swap, so that nothing of the old book is saved into the new one.
  RunHook(hooks_.StopReading);
  const bool switched = SwitchToBook(state_.R, id);
  StartReadingAfresh();
  if (!switched)
    ports_.messages.ShowMessage(Utf8ToGbk(shelf_texts::kSwitchFailed), texts::kNoticeTitle);
  return switched;
}

void App::RemoveFromShelf(BookId id) {
  std::string title;
  bool found = false;
  for (const ShelfBook& book : ListShelf(state_.R)) {
    if (book.id != id) continue;
    found = true;
    title = GbkToUtf8(book.title);
  }
  if (!found) return;
  if (!Ask(std::string(shelf_texts::kRemoveBefore) + title +
           std::string(shelf_texts::kRemoveAfter)))
    return;
  if (id == CurrentBookId(state_.R)) {
    RunHook(hooks_.StopReading);
    RemoveBook(state_.R, id);
    StartReadingAfresh();
  } else {
    RemoveBook(state_.R, id);
  }
  if (ports_.shelfView) ShowShelf();  // the list without the book
}

void App::StartReadingAfresh() {
  // The clip numbers, the audio cache and the queue start again together: clip 0 is the
  // first line read from the book now in R/data.
  ports_.player.Close();
  RemoveCachedClips(state_.R);
  state_.CurrentClip = 0;
  state_.SynthesizedCount = 0;
  state_.PlaybackStarted = false;
  state_.PendingText.Set({});
  state_.PendingIsEnd = false;
  state_.ReadingQueue.Reset(state_.CacheSize);
  state_.ReadingQueue.ChapterStartClips.clear();
  state_.ReadingQueue.FillChapter = 1;
  state_.BookLoaded = library_.Exists();
  if (state_.BookLoaded) {
    RestoreFromLibrary();
    return;
  }
  // No book left: the window as a fresh start shows it.
  window_.SetTitle(texts::kDefaultTitle);
  state_.ReadingQueue.ChapterCount = 0;
  state_.CurrentChapterRow = 0;
  window_.SetRows(ctl::超级列表框1, {});
  window_.SetText(ctl::编辑框1, {});
  window_.SetText(ctl::编辑框3, {});
}

bool App::Ask(std::string_view utf8Text) {
  return ports_.questions && ports_.questions->AskYesNo(Utf8ToGbk(utf8Text), texts::kNoticeTitle);
}

}  // namespace lectoria
