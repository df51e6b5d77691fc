#include "ui/main_view.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSlider>
#include <QTextBlock>
#include <QThread>
#include <QTreeWidget>
#include <QWindow>
#include <algorithm>

#include "app/window/window_growth.h"
#include "ui/control_widgets.h"
#include "ui/qt_text.h"

namespace lectoria {
namespace {

// Turns a model row into a list item with the row's title in the first column.
QTreeWidgetItem* MakeRowItem(const ListRow& row) {
  const QString title = QStringFromGbk(row.title);
  auto* item = new QTreeWidgetItem(QStringList{title});
  item->setData(0, Qt::UserRole, row.value);
  item->setToolTip(0, title);  // a long title is cut by the column; the tooltip shows it whole
  return item;
}

}  // namespace

MainView::MainView(MainWindow& model, QWidget* parent) : QWidget(parent), model_(model) {
  setObjectName(QStringLiteral("MainWindow"));
  BuildWidgets();
  BuildShortcuts();
  BuildContextMenus();
  setMinimumSize(controlsExtent_);
  // The model's geometry is the outer frame; until a window manager reports its frame, the
  // client area takes the whole size (there is no frame without one).
  ApplyGeometry();
  ApplyAll();
  model_.AddObserver(this);
}

MainView::~MainView() {
  model_.RemoveObserver(this);
}

QWidget* MainView::ControlWidget(std::string_view control) const {
  auto it = widgets_.find(control);
  return it == widgets_.end() ? nullptr : it->second;
}

QSize MainView::ClientSizeFor(QSize margins) const {
  const Rect frame = model_.WindowGeometry();
  return QSize(std::max(frame.width - margins.width(), controlsExtent_.width()),
               std::max(frame.height - margins.height(), controlsExtent_.height()));
}

void MainView::BuildWidgets() {
  const std::vector<std::string> names = model_.ControlNames();
  std::vector<Control> controls;
  for (const std::string& name : names) controls.push_back(model_.Snapshot(name));
  // Frames first, so that every control finds its parent whatever the table's order.
  std::stable_partition(controls.begin(), controls.end(),
                        [](const Control& c) { return c.kind == ControlKind::kFrame; });
  for (const Control& control : controls) {
    kinds_[control.name] = control.kind;
    QWidget* parent = this;
    if (!control.parent.empty()) {
      QWidget* frame = ControlWidget(control.parent);
      if (frame) parent = frame;
    }
    QWidget* widget = CreateControlWidget(control, parent);
    if (!widget) continue;
    widgets_[control.name] = widget;
    baseFonts_[control.name] = widget->font();
    ConnectWidget(control.name, control.kind, widget);
    if (control.parent.empty()) {
      topLevel_[control.name] = control.geometry;
      const Rect& g = control.geometry;
      controlsExtent_ = controlsExtent_.expandedTo(QSize(g.left + g.width, g.top + g.height));
    }
  }
}

void MainView::BuildShortcuts() {
  for (const Shortcut& shortcut : MainWindowShortcuts()) {
    auto* key = new QShortcut(QKeySequence(QString::fromLatin1(shortcut.keys)), this);
    key->setContext(Qt::WindowShortcut);
    connect(key, &QShortcut::activated, this,
            [this, command = shortcut.command] { model_.RunCommand(command); });
  }
}

void MainView::ConnectWidget(const std::string& name, ControlKind kind, QWidget* widget) {
  switch (kind) {
    case ControlKind::kButton:
      connect(static_cast<QPushButton*>(widget), &QPushButton::clicked, this,
              [this, name] { model_.Click(name); });
      break;
    case ControlKind::kCheckBox: {
      auto* box = static_cast<QCheckBox*>(widget);
      connect(box, &QCheckBox::clicked, this, [this, name, box] {
        model_.Click(name);
        // The model decides: a click it ignores leaves the box as the model has it.
        QSignalBlocker block(box);
        box->setChecked(model_.IsChecked(name));
      });
      break;
    }
    case ControlKind::kHyperlink:
      static_cast<LinkLabel*>(widget)->SetOnClicked([this, name] { model_.Click(name); });
      break;
    case ControlKind::kListView: {
      auto* list = static_cast<QTreeWidget*>(widget);
      connect(list, &QTreeWidget::currentItemChanged, this,
              [this, name, list](QTreeWidgetItem* current) {
                model_.UserSelectRow(name, current ? list->indexOfTopLevelItem(current) : -1);
              });
      break;
    }
    case ControlKind::kSlider:
      // The program's own setValue runs with the signals blocked.
      connect(static_cast<QSlider*>(widget), &QSlider::valueChanged, this,
              [this, name](int value) { model_.UserSetValue(name, value); });
      break;
    case ControlKind::kComboBox:
      // activated: only the user's choice, never the program's setCurrentIndex.
      connect(static_cast<QComboBox*>(widget), &QComboBox::activated, this,
              [this, name](int index) { model_.UserSelectItem(name, index); });
      break;
    case ControlKind::kEdit: {
      auto* edit = static_cast<QPlainTextEdit*>(widget);
      // The boxes show the book and the line being read; the program never reads them back.
      edit->setReadOnly(true);
      edit->setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
      connect(edit, &QPlainTextEdit::textChanged, this, [this, name, edit] {
        editingControl_ = name;
        model_.UserEditText(name, GbkFromQString(EditTextForModel(edit->toPlainText())));
        editingControl_.clear();
      });
      break;
    }
    default:
      break;
  }
}

// --- Model -> widgets -----------------------------------------------------------------------

template <typename F>
void MainView::OnGuiThread(F&& f) {
  if (QThread::currentThread() == thread()) {
    f();
  } else {
    QMetaObject::invokeMethod(this, std::forward<F>(f), Qt::QueuedConnection);
  }
}

void MainView::OnTitleChanged() {
  OnGuiThread([this] { ApplyTitle(); });
}

void MainView::OnWindowVisibilityChanged() {
  OnGuiThread([this] { ApplyVisibility(); });
}

void MainView::OnWindowGeometryChanged() {
  OnGuiThread([this] { ApplyGeometry(); });
}

void MainView::OnControlChanged(std::string_view control, Change what, std::int32_t) {
  OnGuiThread([this, name = std::string(control), what] { Apply(name, what); });
}

void MainView::ApplyTitle() {
  setWindowTitle(QStringFromGbk(model_.Title()));
}

void MainView::ApplyVisibility() {
  const bool visible = model_.IsVisible();
  if (visible == isVisible()) return;
  setVisible(visible);
  // Shown again by the hotkey: to the front. (The offscreen platform has no stacking.)
  if (visible && QGuiApplication::platformName() != QLatin1String("offscreen")) {
    raise();
    activateWindow();
  }
}

void MainView::ApplyAll() {
  ApplyTitle();
  for (const auto& [name, kind] : kinds_) {
    QWidget* widget = ControlWidget(name);
    if (!widget) continue;
    ApplyText(name, kind, widget);
    widget->setEnabled(model_.IsEnabled(name));
    widget->setVisible(model_.IsControlVisible(name));
    if (kind == ControlKind::kCheckBox)
      static_cast<QCheckBox*>(widget)->setChecked(model_.IsChecked(name));
    if (kind == ControlKind::kListView) ApplyRows(name, widget, true);
    if (kind == ControlKind::kComboBox) ApplyItems(name, widget, true);
    if (kind == ControlKind::kSlider) ApplyValue(name, widget);
    ApplyTextScale(name, widget);
  }
  ApplyVisibility();
}

void MainView::Apply(const std::string& control, Change what) {
  auto kind = kinds_.find(control);
  QWidget* widget = ControlWidget(control);
  if (kind == kinds_.end() || !widget) return;
  switch (what) {
    case Change::kText:
      ApplyText(control, kind->second, widget);
      break;
    case Change::kEnabled:
      widget->setEnabled(model_.IsEnabled(control));
      break;
    case Change::kChecked:
      if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        QSignalBlocker block(box);
        box->setChecked(model_.IsChecked(control));
      }
      break;
    case Change::kVisible:
      widget->setVisible(model_.IsControlVisible(control));
      break;
    case Change::kRowsReset:
    case Change::kRowAppended:
      ApplyRows(control, widget, what == Change::kRowsReset);
      break;
    case Change::kCurrentRow:
      ApplyCurrentRow(control, widget);
      break;
    case Change::kItemsReset:
    case Change::kItemAppended:
      ApplyItems(control, widget, what == Change::kItemsReset);
      break;
    case Change::kSelection:
      ApplySelection(control, widget);
      break;
    case Change::kValue:
      ApplyValue(control, widget);
      break;
    case Change::kTextScale:
      ApplyTextScale(control, widget);
      break;
    case Change::kHighlight:
    case Change::kReveal:
      ApplyHighlight(control, widget, what == Change::kReveal);
      break;
  }
}

void MainView::ApplyValue(const std::string& control, QWidget* widget) {
  auto* slider = qobject_cast<QSlider*>(widget);
  if (!slider) return;
  QSignalBlocker block(slider);
  slider->setValue(model_.Value(control));
}

void MainView::ApplyTextScale(const std::string& control, QWidget* widget) {
  auto base = baseFonts_.find(control);
  if (base == baseFonts_.end()) return;
  const double scale = model_.TextScale(control) / 100.0;
  QFont font = base->second;
  if (font.pixelSize() > 0) {
    font.setPixelSize(std::max(1, static_cast<int>(font.pixelSize() * scale + 0.5)));
  } else {
    font.setPointSizeF(font.pointSizeF() * scale);
  }
  if (widget->font() != font) widget->setFont(font);
}

void MainView::ApplyText(const std::string& control, ControlKind kind, QWidget* widget) {
  const QString text = QStringFromGbk(model_.Text(control));
  switch (kind) {
    case ControlKind::kEdit: {
      if (control == editingControl_) return;
      auto* edit = static_cast<QPlainTextEdit*>(widget);
      const QString shown = EditTextForDisplay(text);
      if (edit->toPlainText() == shown) return;
      QSignalBlocker block(edit);
      edit->setPlainText(shown);
      if (control == "编辑框1") scrolledAway_ = false;  // another text: a fresh view of it
      ApplyHighlight(control, widget, false);
      break;
    }
    case ControlKind::kLabel:
    case ControlKind::kHyperlink:
      static_cast<QLabel*>(widget)->setText(text);
      break;
    case ControlKind::kButton:
    case ControlKind::kCheckBox:
      static_cast<QAbstractButton*>(widget)->setText(text);
      break;
    default:
      // A drop-down list shows its selected item: see ApplySelection.
      break;
  }
}

void MainView::ApplyRows(const std::string& control, QWidget* widget, bool reset) {
  auto* list = qobject_cast<QTreeWidget*>(widget);
  if (!list) return;
  QSignalBlocker block(list);
  const std::int32_t count = model_.RowCount(control);
  if (reset || list->topLevelItemCount() > count) {
    list->clear();
    QList<QTreeWidgetItem*> items;
    items.reserve(count);
    for (const ListRow& row : model_.Rows(control)) items.append(MakeRowItem(row));
    list->addTopLevelItems(items);
  } else {
    // Rows appended since: only the missing ones are read back.
    for (std::int32_t i = list->topLevelItemCount(); i < count; ++i)
      list->addTopLevelItem(MakeRowItem(model_.Row(control, i)));
  }
  ApplyCurrentRow(control, widget);
}

void MainView::ApplyCurrentRow(const std::string& control, QWidget* widget) {
  auto* list = qobject_cast<QTreeWidget*>(widget);
  if (!list) return;
  const std::int32_t row = model_.CurrentRow(control);
  QTreeWidgetItem* item = row >= 0 ? list->topLevelItem(row) : nullptr;
  if (list->currentItem() == item) return;
  QSignalBlocker block(list);
  if (item) {
    list->setCurrentItem(item);
    list->scrollToItem(item);
  } else {
    list->setCurrentItem(nullptr);
    list->clearSelection();
  }
}

void MainView::ApplyItems(const std::string& control, QWidget* widget, bool reset) {
  auto* combo = qobject_cast<QComboBox*>(widget);
  if (!combo) return;
  QSignalBlocker block(combo);
  const std::vector<std::string> items = model_.Items(control);
  if (reset || combo->count() > static_cast<int>(items.size())) combo->clear();
  for (std::size_t i = static_cast<std::size_t>(combo->count()); i < items.size(); ++i)
    combo->addItem(QStringFromGbk(items[i]));
  ApplySelection(control, widget);
}

void MainView::ApplySelection(const std::string& control, QWidget* widget) {
  auto* combo = qobject_cast<QComboBox*>(widget);
  if (!combo) return;
  QSignalBlocker block(combo);
  const std::int32_t index = model_.SelectedIndex(control);
  combo->setCurrentIndex(index < combo->count() ? index : -1);
}

// --- The line being read, and reading from here ---------------------------------------------

void MainView::ApplyHighlight(const std::string& control, QWidget* widget, bool reveal) {
  auto* edit = qobject_cast<QPlainTextEdit*>(widget);
  if (!edit) return;
  const std::int32_t line = model_.HighlightLine(control);
  const QTextBlock block = line >= 0 ? edit->document()->findBlockByNumber(line) : QTextBlock();
  QList<QTextEdit::ExtraSelection> marks;
  if (block.isValid()) {
    QTextEdit::ExtraSelection mark;
    mark.format.setBackground(QColor(255, 236, 150));
    mark.cursor = QTextCursor(block);
    mark.cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    marks.append(mark);
  }
  edit->setExtraSelections(marks);
  if (reveal) scrolledAway_ = false;
  if (!block.isValid() || scrolledAway_) return;
  // Scrolled only when the line is not wholly in view, so reading line by line does not shake
  // the text; the caret goes with it, for the keyboard.
  QTextCursor start(block);
  QTextCursor end(block);
  end.movePosition(QTextCursor::EndOfBlock);
  const QRect view = edit->viewport()->rect();
  edit->setTextCursor(start);
  if (reveal || !view.contains(edit->cursorRect(start)) || !view.contains(edit->cursorRect(end)))
    edit->centerCursor();
}

void MainView::BuildContextMenus() {
  struct Item {
    const char16_t* text;
    Command command;
  };
  const auto build = [this](std::string_view control, std::initializer_list<Item> items) {
    QWidget* widget = ControlWidget(control);
    if (!widget) return static_cast<QMenu*>(nullptr);
    auto* menu = new QMenu(widget);
    for (const Item& item : items) {
      QAction* action = menu->addAction(QString::fromUtf16(item.text));
      connect(action, &QAction::triggered, this,
              [this, command = item.command] { model_.RunCommand(command); });
    }
    widget->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(widget, &QWidget::customContextMenuRequested, this,
            [this, name = std::string(control)](QPoint pos) { ShowContextMenu(name, pos); });
    return menu;
  };
  listMenu_ = build("超级列表框1", {{u"从本章开始朗读	Enter", Command::kReadFromChapter},
                                    {u"回到正在朗读的行	Ctrl+L", Command::kShowReadingLine}});
  textMenu_ = build("编辑框1", {{u"从这一行开始朗读	双击", Command::kReadFromLine},
                                {u"回到正在朗读的行	Ctrl+L", Command::kShowReadingLine},
                                {u"上一行	Alt+←", Command::kPreviousLine},
                                {u"下一行	Alt+→", Command::kNextLine},
                                {u"上一章	Alt+PgUp", Command::kPreviousChapter},
                                {u"下一章	Alt+PgDown", Command::kNextChapter},
                                {u"后退 10 秒	Alt+[", Command::kSeekBack},
                                {u"前进 10 秒	Alt+]", Command::kSeekForward}});
  if (auto* list = qobject_cast<QTreeWidget*>(ControlWidget("超级列表框1"))) {
    // Enter on a row, or a double-click, reads from there (a click only shows the chapter).
    for (const QKeySequence keys : {QKeySequence(Qt::Key_Return), QKeySequence(Qt::Key_Enter)}) {
      auto* key = new QShortcut(keys, list);
      key->setContext(Qt::WidgetShortcut);
      connect(key, &QShortcut::activated, this,
              [this] { model_.RunCommand(Command::kReadFromChapter); });
    }
    connect(list, &QTreeWidget::itemDoubleClicked, this,
            [this] { model_.RunCommand(Command::kReadFromChapter); });
  }
  if (auto* edit = qobject_cast<QPlainTextEdit*>(ControlWidget("编辑框1"))) {
    edit->viewport()->installEventFilter(this);
    // Only the user's scrolling (wheel, bar, keys on the bar) triggers actions; the program's
    // own moves do not.
    connect(edit->verticalScrollBar(), &QAbstractSlider::actionTriggered, this, [this] {
      if (scrolledAway_) return;
      scrolledAway_ = true;
      model_.RunCommand(Command::kBrowseText);
    });
  }
}

QMenu* MainView::ContextMenu(std::string_view control) const {
  if (control == "超级列表框1") return listMenu_;
  if (control == "编辑框1") return textMenu_;
  return nullptr;
}

std::int32_t MainView::LineAt(QPoint pos) const {
  auto* edit = qobject_cast<QPlainTextEdit*>(ControlWidget("编辑框1"));
  return edit ? edit->cursorForPosition(pos).blockNumber() : -1;
}

void MainView::ShowContextMenu(std::string_view control, QPoint pos) {
  QMenu* menu = ContextMenu(control);
  QWidget* widget = ControlWidget(control);
  if (!menu || !widget) return;
  if (auto* list = qobject_cast<QTreeWidget*>(widget)) {
    QTreeWidgetItem* item = list->itemAt(pos);
    if (!item) return;
    model_.UserSelectRow(control, list->indexOfTopLevelItem(item));
    menu->popup(list->viewport()->mapToGlobal(pos));
    return;
  }
  auto* edit = static_cast<QPlainTextEdit*>(widget);
  model_.UserPointAtLine(control, LineAt(pos));
  menu->popup(edit->viewport()->mapToGlobal(pos));
}

bool MainView::eventFilter(QObject* watched, QEvent* event) {
  auto* edit = qobject_cast<QPlainTextEdit*>(ControlWidget("编辑框1"));
  if (edit && watched == edit->viewport() && event->type() == QEvent::MouseButtonDblClick) {
    model_.UserPointAtLine("编辑框1",
                           LineAt(static_cast<QMouseEvent*>(event)->position().toPoint()));
    model_.RunCommand(Command::kReadFromLine);
    return true;
  }
  return QWidget::eventFilter(watched, event);
}

// --- The window -----------------------------------------------------------------------------

void MainView::closeEvent(QCloseEvent* event) {
  if (onClose_) onClose_();
  event->accept();
}

bool MainView::event(QEvent* event) {
  const bool handled = QWidget::event(event);
  switch (event->type()) {
    case QEvent::Show:
    case QEvent::Move:
    case QEvent::Resize:
      FitToFrameMargins();
      ReportGeometry();
      break;
    default:
      break;
  }
  return handled;
}

void MainView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  LayOut();
}

void MainView::LayOut() {
  for (const auto& [name, form] : topLevel_) {
    QWidget* widget = ControlWidget(name);
    if (!widget) continue;
    const Rect r = GrownGeometry(name, form, width(), height());
    widget->setGeometry(r.left, r.top, r.width, r.height);
    // The single column fills a widened list, so that long titles show as far as they can.
    if (auto* list = qobject_cast<QTreeWidget*>(widget); list && list->columnCount() == 1) {
      const std::vector<ListColumn> columns = model_.Snapshot(name).style.columns;
      const int formWidth = columns.empty() ? 0 : columns.front().width;
      // Worked out from the new size: the viewport itself follows only at the next layout.
      QScrollBar* bar = list->verticalScrollBar();
      const int room = list->maximumViewportSize().width() -
                       (bar->isVisibleTo(list) ? bar->sizeHint().width() : 0);
      list->header()->resizeSection(0, std::max(formWidth, room));
    }
  }
}

void MainView::ApplyGeometry() {
  Rect frame = model_.WindowGeometry();
  // A remembered place on a screen that is no longer there: the form's place, same size.
  const QRect wanted(frame.left, frame.top, frame.width, frame.height);
  bool seen = false;
  for (const QScreen* screen : QGuiApplication::screens())
    seen = seen || screen->availableGeometry().intersects(wanted);
  if (!seen && !QGuiApplication::screens().isEmpty()) {
    frame.left = MainWindowFrame().left;
    frame.top = MainWindowFrame().top;
  }
  const QMargins m = windowHandle() ? windowHandle()->frameMargins() : QMargins();
  move(frame.left, frame.top);
  resize(ClientSizeFor(QSize(m.left() + m.right(), m.top() + m.bottom())));
}

void MainView::ReportGeometry() {
  // Only what the listener sees: before the window manager has framed the window its
  // geometry is still the program's first guess.
  if (!isVisible() || !windowHandle()) return;
  if (!fitted_ && !windowHandle()->frameMargins().isNull()) return;
  const QRect frame = frameGeometry();
  model_.UserMovedWindow(Rect{frame.x(), frame.y(), frame.width(), frame.height()});
}

void MainView::FitToFrameMargins() {
  // The window manager's frame is known only once the window is mapped; the outer size is
  // then made the model's by shrinking the client area once.
  if (fitted_ || !windowHandle()) return;
  const QMargins m = windowHandle()->frameMargins();
  if (m.isNull()) return;
  fitted_ = true;
  resize(ClientSizeFor(QSize(m.left() + m.right(), m.top() + m.bottom())));
}

}  // namespace lectoria
