#include "ui/qt_shelf_view.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/qt_text.h"

namespace lectoria {
namespace {

// Enter and Delete on the list, taken before the list or the dialog's default button act
// on them.
class ShelfKeys final : public QObject {
 public:
  ShelfKeys(QObject* parent, std::function<void()> open, std::function<void()> remove)
      : QObject(parent), open_(std::move(open)), remove_(std::move(remove)) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() != QEvent::KeyPress) return QObject::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers() & ~Qt::KeypadModifier) return false;
    switch (key->key()) {
      case Qt::Key_Return:
      case Qt::Key_Enter:
        open_();
        return true;
      case Qt::Key_Delete:
        remove_();
        return true;
      default:
        return false;
    }
  }

 private:
  std::function<void()> open_;
  std::function<void()> remove_;
};

}  // namespace

QtShelfView::~QtShelfView() {
  delete dialog_.data();
}

void QtShelfView::Build() {
  auto* dialog = new QDialog(owner_);
  dialog->setObjectName(QStringLiteral("Bookshelf"));
  dialog->setWindowTitle(QStringLiteral("书架"));
  dialog->resize(560, 360);
  list_ = new QTreeWidget(dialog);
  list_->setObjectName(QStringLiteral("BookList"));
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAllColumnsShowFocus(true);
  auto* hint = new QLabel(QStringLiteral("Enter：阅读所选的书　Delete：从书架移除"), dialog);
  auto* buttons = new QDialogButtonBox(dialog);
  QPushButton* read = buttons->addButton(QStringLiteral("阅读"), QDialogButtonBox::AcceptRole);
  QPushButton* remove = buttons->addButton(QStringLiteral("移除"), QDialogButtonBox::ActionRole);
  buttons->addButton(QStringLiteral("关闭"), QDialogButtonBox::RejectRole);
  read->setObjectName(QStringLiteral("ReadBook"));
  remove->setObjectName(QStringLiteral("RemoveBook"));
  auto* layout = new QVBoxLayout(dialog);
  layout->addWidget(list_);
  layout->addWidget(hint);
  layout->addWidget(buttons);

  // The actions may replace the rows (and the actions) while they run: each call takes its
  // own copy.
  auto open = [this] {
    if (const std::int64_t id = SelectedId(); id != 0)
      if (auto action = actions_.open) action(id);
  };
  auto drop = [this] {
    if (const std::int64_t id = SelectedId(); id != 0)
      if (auto action = actions_.remove) action(id);
  };
  QObject::connect(list_, &QTreeWidget::itemDoubleClicked, dialog, open);
  QObject::connect(read, &QPushButton::clicked, dialog, open);
  QObject::connect(remove, &QPushButton::clicked, dialog, drop);
  QObject::connect(buttons, &QDialogButtonBox::rejected, dialog, &QDialog::hide);
  list_->installEventFilter(new ShelfKeys(list_, open, drop));
  dialog_ = dialog;
}

void QtShelfView::ShowShelf(const std::vector<std::string>& columns,
                            const std::vector<ShelfRow>& rows, ShelfActions actions) {
  if (!dialog_) Build();
  actions_ = std::move(actions);
  const std::int64_t selected = dialog_->isVisible() ? SelectedId() : 0;
  QStringList headers;
  for (const std::string& column : columns) headers << QStringFromGbk(column);
  list_->clear();
  list_->setColumnCount(static_cast<int>(headers.size()));
  list_->setHeaderLabels(headers);
  QTreeWidgetItem* current = nullptr;
  QTreeWidgetItem* keep = nullptr;
  for (const ShelfRow& row : rows) {
    QStringList cells;
    for (const std::string& cell : row.cells) cells << QStringFromGbk(cell);
    auto* item = new QTreeWidgetItem(list_, cells);
    item->setData(0, Qt::UserRole, QVariant::fromValue<qint64>(row.id));
    item->setToolTip(0, cells.value(0));
    if (row.current) {
      QFont font = item->font(0);
      font.setBold(true);
      for (int c = 0; c < cells.size(); ++c) item->setFont(c, font);
      current = item;
    }
    if (row.id == selected) keep = item;
  }
  list_->header()->setSectionResizeMode(0, QHeaderView::Stretch);
  for (int c = 1; c < list_->columnCount(); ++c)
    list_->header()->setSectionResizeMode(c, QHeaderView::ResizeToContents);
  if (QTreeWidgetItem* item = keep ? keep : current ? current : list_->topLevelItem(0))
    list_->setCurrentItem(item);
  dialog_->show();
  dialog_->raise();
  dialog_->activateWindow();
  list_->setFocus();
}

void QtShelfView::CloseShelf() {
  if (dialog_) dialog_->hide();
}

std::int64_t QtShelfView::SelectedId() const {
  const QTreeWidgetItem* item = list_ ? list_->currentItem() : nullptr;
  return item ? item->data(0, Qt::UserRole).toLongLong() : 0;
}

}  // namespace lectoria
