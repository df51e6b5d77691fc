// The "打开文件" button: choose a book, import it into the library and make it the book being
// read.
#include <system_error>

#include "app/core/app.h"
#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "library/book_import.h"
#include "platform/file_util.h"

namespace lectoria {
namespace {

// Deletes the audio clips in temp/ (temp.txt, the GBK copy of a UTF-8 book, stays).
void RemoveCachedClips(const RunPaths& paths) {
  std::error_code ec;
  std::filesystem::directory_iterator it(paths.TempDir(), ec);
  if (ec) return;
  for (const auto& entry : it) {
    if (entry.path().extension() == ".mp3") RemoveFile(entry.path());
  }
}

}  // namespace

void App::ImportBook() {
  const std::filesystem::path chosen = ports_.fileDialog.ShowOpenDialog(texts::kBookFilter);
  if (chosen.empty()) {
    // Cancelling keeps the current book: the library is replaced only once a file is chosen.
    ports_.messages.ShowMessage(texts::kPleaseOpenFile, texts::kNoticeTitle);
    return;
  }

  const BookImportResult result = ImportBookFile(state_.R, chosen);
  if (!result.ok) {
    // The previous library is untouched; reading may go on with it.
    ports_.messages.ShowMessage(ImportFailureMessage(result.error), texts::kNoticeTitle);
    return;
  }

  // The new book starts cleanly: reading stops, and the clip numbers, the audio cache and the
  // queue start again together (clip 0 is the first line of the new book).
  RunHook(hooks_.StopReading);
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
  state_.BookLoaded = true;

  RestoreFromLibrary();
  ports_.messages.ShowMessage(texts::kImportDone, texts::kNoticeTitle);
}

}  // namespace lectoria
