// The bookshelf's list in Qt.
#pragma once

#include <QDialog>
#include <QPointer>

#include "app/ports/shelf_view.h"

class QTreeWidget;

namespace lectoria {

/// ShelfViewPort over a dialog owned by the main window: one row per book, the columns the
/// core gives. Enter (or a double click) reads the selected book, Delete removes it; the
/// dialog does not block the window. GUI thread.
class QtShelfView final : public ShelfViewPort {
 public:
  QtShelfView() = default;
  ~QtShelfView() override;
  QtShelfView(const QtShelfView&) = delete;
  QtShelfView& operator=(const QtShelfView&) = delete;

  /// The window that owns the dialog (normally the main view); may be null.
  void SetOwner(QWidget* owner) { owner_ = owner; }

  void ShowShelf(const std::vector<std::string>& columns, const std::vector<ShelfRow>& rows,
                 ShelfActions actions) override;
  void CloseShelf() override;

  /// The dialog, once shown (for tests).
  QDialog* Dialog() const { return dialog_; }

 private:
  void Build();
  // The id of the selected row; 0 when none.
  std::int64_t SelectedId() const;

  QPointer<QWidget> owner_;
  QPointer<QDialog> dialog_;
  QTreeWidget* list_ = nullptr;
  ShelfActions actions_;
};

}  // namespace lectoria
