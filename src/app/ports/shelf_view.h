// Ports for the bookshelf's view and for yes/no questions.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace lectoria {

/// One book as the shelf view lists it: its id and the texts of its columns (GBK).
struct ShelfRow {
  std::int64_t id = 0;
  std::vector<std::string> cells;
  bool current = false;  ///< the book being read
};

/// What the user may do with a listed book; each runs on the UI thread.
struct ShelfActions {
  std::function<void(std::int64_t id)> open;    ///< read this book (Enter, double click)
  std::function<void(std::int64_t id)> remove;  ///< remove it from the shelf (Delete)
};

/// The shelf: a window-owned list of the books, one row each. It does not block. UI thread.
class ShelfViewPort {
 public:
  virtual ~ShelfViewPort() = default;
  /// Shows the list under `columns` (GBK), the current book selected; when it is shown
  /// already, replaces its rows and actions.
  virtual void ShowShelf(const std::vector<std::string>& columns, const std::vector<ShelfRow>& rows,
                         ShelfActions actions) = 0;
  /// Closes it; harmless when it is not shown.
  virtual void CloseShelf() = 0;
};

/// A modal question with the answers yes and no.
class QuestionPort {
 public:
  virtual ~QuestionPort() = default;
  /// Asks `text` under `title` (both GBK); true for yes. Dismissing the box, and the window's
  /// end, answer no. UI thread.
  virtual bool AskYesNo(std::string_view text, std::string_view title) = 0;
};

}  // namespace lectoria
