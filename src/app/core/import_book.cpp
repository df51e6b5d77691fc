// The "打开文件" button: choose a book, import it into the library off the user-interface
// thread and make it the book being read once it is ready.
#include <system_error>

#include "app/core/app.h"
#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "library/book_import.h"
#include "library/library_swap.h"
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
  // One import at a time: the progress dialog does not block the window.
  if (importJob_.Running()) return;
  const std::filesystem::path chosen = ports_.fileDialog.ShowOpenDialog(texts::kBookFilter);
  if (chosen.empty()) {
    // Cancelling keeps the current book: the library is replaced only once a file is chosen.
    ports_.messages.ShowMessage(texts::kPleaseOpenFile, texts::kNoticeTitle);
    return;
  }
  // The book is built beside the library while the current one goes on being read; only the
  // swap at the end touches R/data.
  const std::filesystem::path staging = StagingDataDir(state_.R);
  importJob_.Start(
      [staging, chosen](const ImportControl& control) {
        return ImportBookInto(staging, chosen, control);
      },
      [this](int percent) {
        if (ports_.progress) ports_.progress->SetProgress(percent);
      },
      [this](BookImportResult result) { FinishImport(std::move(result)); });
  if (ports_.progress) {
    const std::string text = std::string(texts::kImportingBefore) + FileTitle(chosen.native()) +
                             std::string(texts::kImportingAfter);
    ports_.progress->OpenProgress(text, [this] { importJob_.Cancel(); });
  }
}

void App::FinishImport(BookImportResult result) {
  if (ports_.progress) ports_.progress->CloseProgress();
  if (result.ok && importJob_.Cancelled()) {
    // Cancelled as it finished: the cancel wins.
    DiscardStagingDir(state_.R);
    result = {};
    result.error = ImportError::kCancelled;
    result.message = ImportFailureMessage(result.error);
  }
  if (result.ok && !SwapInStagedLibrary(state_.R)) {
    DiscardStagingDir(state_.R);
    result = {};
    result.error = ImportError::kWriteFailed;
    result.message = ImportFailureMessage(result.error);
  }
  if (!result.ok) {
    // The previous library is untouched; reading goes on with it.
    ports_.messages.ShowMessage(result.message, texts::kNoticeTitle);
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

void App::AbandonImport() {
  if (!importJob_.Running()) return;
  importJob_.Abandon();
  DiscardStagingDir(state_.R);
  if (ports_.progress) ports_.progress->CloseProgress();
}

}  // namespace lectoria
