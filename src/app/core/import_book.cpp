// The "打开文件" button: choose a book, import it onto the shelf off the user-interface
// thread and make it the book being read once it is ready.
#include <system_error>

#include "app/core/app.h"
#include "app/core/shelf_texts.h"
#include "app/window/texts.h"
#include "library/book_import.h"
#include "platform/codepage.h"
#include "platform/file_util.h"

namespace lectoria {
namespace {

BookImportResult Failure(ImportError error) {
  BookImportResult result;
  result.error = error;
  result.message = ImportFailureMessage(error);
  return result;
}

}  // namespace

void App::ImportBook() {
  // One import at a time: the progress dialog does not block the window.
  if (importJob_.Running()) return;
  const std::filesystem::path chosen = ports_.fileDialog.ShowOpenDialog(texts::kBookFilter);
  if (chosen.empty()) {
    // Cancelling keeps the current book: the library changes only once a file is chosen.
    ports_.messages.ShowMessage(texts::kPleaseOpenFile, texts::kNoticeTitle);
    return;
  }
  const std::vector<ShelfBook> books = ListShelf(state_.R);
  const BookId replaces = FindBookFrom(books, chosen);
  if (replaces != 0) {
    std::string title;
    for (const ShelfBook& book : books)
      if (book.id == replaces) title = GbkToUtf8(book.title);
    if (!Ask(std::string(shelf_texts::kReplaceBefore) + title +
             std::string(shelf_texts::kReplaceAfter)))
      return;
  }

  // The book is built on the shelf while the current one goes on being read; R/data changes
  // only when the result is taken over on this thread.
  std::error_code ec;
  const auto size = std::filesystem::file_size(chosen, ec);
  const BookId id = NewBookId(state_.R);
  const std::filesystem::path pending = PendingBookDir(state_.R, id);
  importing_ = id;
  importJob_.Start(
      [pending, chosen, id,
       size = ec ? -1 : static_cast<std::int64_t>(size)](const ImportControl& control) {
        BookImportResult result = ImportBookInto(pending, chosen, control);
        if (result.ok && !WriteBookRecord(pending, id, chosen, size)) {
          RemoveTree(pending);
          return Failure(ImportError::kWriteFailed);
        }
        return result;
      },
      [this](int percent) {
        if (ports_.progress) ports_.progress->SetProgress(percent);
      },
      [this, id, replaces](BookImportResult result) {
        FinishImport(std::move(result), id, replaces);
      });
  if (ports_.progress) {
    const std::string text = std::string(texts::kImportingBefore) + FileTitle(chosen.native()) +
                             std::string(texts::kImportingAfter);
    ports_.progress->OpenProgress(text, [this] { importJob_.Cancel(); });
  }
}

void App::FinishImport(BookImportResult result, BookId id, BookId replaces) {
  importing_ = 0;
  if (ports_.progress) ports_.progress->CloseProgress();
  // Cancelled as it finished: the cancel wins.
  if (result.ok && importJob_.Cancelled()) result = Failure(ImportError::kCancelled);
  if (result.ok && !ShelveImportedBook(state_.R, id)) result = Failure(ImportError::kWriteFailed);
  if (!result.ok) {
    // Nothing else changed; reading goes on with the current book.
    RemoveTree(PendingBookDir(state_.R, id));
    ports_.messages.ShowMessage(result.message, texts::kNoticeTitle);
    return;
  }
  if (replaces != 0) {
    for (const ShelfBook& book : ListShelf(state_.R))
      if (book.id == replaces) CarryReadingPosition(book.dir, ShelfBookDir(state_.R, id));
  }
  if (!SwitchBook(id)) return;  // the new book waits on the shelf
  if (replaces != 0) RemoveBook(state_.R, replaces);
  ports_.messages.ShowMessage(texts::kImportDone, texts::kNoticeTitle);
}

void App::AbandonImport() {
  if (!importJob_.Running()) return;
  importJob_.Abandon();
  RemoveTree(PendingBookDir(state_.R, importing_));
  importing_ = 0;
  if (ports_.progress) ports_.progress->CloseProgress();
}

}  // namespace lectoria
