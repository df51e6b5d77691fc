#include "app/window/main_window.h"

#include <algorithm>

#include "platform/gbk_text.h"

namespace lectoria {

MainWindow::MainWindow(UiThread& ui) : ui_(ui), geometry_(MainWindowFrame()) {
  for (Control& control : MainWindowControls()) {
    order_.push_back(control.name);
    std::string name = control.name;
    controls_.emplace(std::move(name), std::move(control));
  }
}

// --- Observers ------------------------------------------------------------------------------

void MainWindow::AddObserver(WindowObserver* observer) {
  std::lock_guard lock(mutex_);
  if (observer && std::find(observers_.begin(), observers_.end(), observer) == observers_.end())
    observers_.push_back(observer);
}

void MainWindow::RemoveObserver(WindowObserver* observer) {
  std::lock_guard lock(mutex_);
  observers_.erase(std::remove(observers_.begin(), observers_.end(), observer), observers_.end());
}

void MainWindow::Announce(const Announcement& a) {
  std::vector<WindowObserver*> observers;
  {
    std::lock_guard lock(mutex_);
    observers = observers_;
  }
  for (WindowObserver* observer : observers) observer->OnControlChanged(a.control, a.what, a.index);
}

void MainWindow::AnnounceWindow(void (WindowObserver::*method)()) {
  std::vector<WindowObserver*> observers;
  {
    std::lock_guard lock(mutex_);
    observers = observers_;
  }
  for (WindowObserver* observer : observers) (observer->*method)();
}

// --- The window -----------------------------------------------------------------------------

std::string MainWindow::Title() const {
  std::lock_guard lock(mutex_);
  return title_;
}

void MainWindow::SetTitle(std::string_view title) {
  {
    std::lock_guard lock(mutex_);
    title_ = title;
  }
  AnnounceWindow(&WindowObserver::OnTitleChanged);
}

bool MainWindow::IsVisible() const {
  std::lock_guard lock(mutex_);
  return visible_;
}

void MainWindow::SetVisible(bool visible) {
  {
    std::lock_guard lock(mutex_);
    if (visible_ == visible) return;
    visible_ = visible;
  }
  AnnounceWindow(&WindowObserver::OnWindowVisibilityChanged);
}

Rect MainWindow::WindowGeometry() const {
  std::lock_guard lock(mutex_);
  return geometry_;
}

void MainWindow::SetWindowGeometry(const Rect& frame) {
  {
    std::lock_guard lock(mutex_);
    if (geometry_ == frame) return;
    geometry_ = frame;
  }
  AnnounceWindow(&WindowObserver::OnWindowGeometryChanged);
}

void MainWindow::UserMovedWindow(const Rect& frame) {
  std::lock_guard lock(mutex_);
  geometry_ = frame;
}

// --- Controls -------------------------------------------------------------------------------

Control* MainWindow::Find(std::string_view control) {
  auto it = controls_.find(control);
  return it == controls_.end() ? nullptr : &it->second;
}

const Control* MainWindow::Find(std::string_view control) const {
  auto it = controls_.find(control);
  return it == controls_.end() ? nullptr : &it->second;
}

Control* MainWindow::FindKind(std::string_view control, ControlKind kind) {
  Control* c = Find(control);
  return c && c->kind == kind ? c : nullptr;
}

const Control* MainWindow::FindKind(std::string_view control, ControlKind kind) const {
  const Control* c = Find(control);
  return c && c->kind == kind ? c : nullptr;
}

std::vector<std::string> MainWindow::ControlNames() const {
  std::lock_guard lock(mutex_);
  return order_;
}

bool MainWindow::Has(std::string_view control) const {
  std::lock_guard lock(mutex_);
  return Find(control) != nullptr;
}

Control MainWindow::Snapshot(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = Find(control);
  return c ? *c : Control{};
}

Rect MainWindow::ClientGeometry(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = Find(control);
  if (!c) return {};
  Rect r = c->geometry;
  // Frames nest at most a few levels; the bound guards against a cycle in a broken table.
  for (int depth = 0; depth < 16 && !c->parent.empty(); ++depth) {
    c = Find(c->parent);
    if (!c) break;
    r.left += c->geometry.left;
    r.top += c->geometry.top;
  }
  return r;
}

std::string MainWindow::Text(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = Find(control);
  return c ? c->text : std::string();
}

void MainWindow::SetText(std::string_view control, std::string_view text) {
  {
    std::lock_guard lock(mutex_);
    Control* c = Find(control);
    if (!c) return;
    c->text = text;
  }
  Announce({std::string(control), Change::kText, -1});
}

bool MainWindow::IsEnabled(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = Find(control);
  return c && c->enabled;
}

void MainWindow::SetEnabled(std::string_view control, bool enabled) {
  {
    std::lock_guard lock(mutex_);
    Control* c = Find(control);
    if (!c || c->enabled == enabled) return;
    c->enabled = enabled;
  }
  Announce({std::string(control), Change::kEnabled, -1});
}

bool MainWindow::IsChecked(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = FindKind(control, ControlKind::kCheckBox);
  return c && c->checked;
}

void MainWindow::SetChecked(std::string_view control, bool checked) {
  {
    std::lock_guard lock(mutex_);
    Control* c = FindKind(control, ControlKind::kCheckBox);
    if (!c || c->checked == checked) return;
    c->checked = checked;
  }
  Announce({std::string(control), Change::kChecked, -1});
}

bool MainWindow::IsControlVisible(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = Find(control);
  return c && c->visible;
}

// --- List view ------------------------------------------------------------------------------

void MainWindow::ClearRows(std::string_view control) {
  SetRows(control, {});
}

void MainWindow::AppendRow(std::string_view control, std::string_view title, std::int32_t value) {
  std::int32_t index;
  {
    std::lock_guard lock(mutex_);
    Control* c = FindKind(control, ControlKind::kListView);
    if (!c) return;
    c->rows.push_back({std::string(title), value});
    index = static_cast<std::int32_t>(c->rows.size() - 1);
  }
  Announce({std::string(control), Change::kRowAppended, index});
}

void MainWindow::SetRows(std::string_view control, std::vector<ListRow> rows) {
  bool hadCurrent;
  {
    std::lock_guard lock(mutex_);
    Control* c = FindKind(control, ControlKind::kListView);
    if (!c) return;
    c->rows = std::move(rows);
    hadCurrent = c->currentRow != -1;
    c->currentRow = -1;
  }
  Announce({std::string(control), Change::kRowsReset, -1});
  if (hadCurrent) Announce({std::string(control), Change::kCurrentRow, -1});
}

std::vector<ListRow> MainWindow::Rows(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = FindKind(control, ControlKind::kListView);
  return c ? c->rows : std::vector<ListRow>();
}

std::int32_t MainWindow::RowCount(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = FindKind(control, ControlKind::kListView);
  return c ? static_cast<std::int32_t>(c->rows.size()) : 0;
}

ListRow MainWindow::Row(std::string_view control, std::int32_t row) const {
  std::lock_guard lock(mutex_);
  const Control* c = FindKind(control, ControlKind::kListView);
  if (!c || row < 0 || static_cast<std::size_t>(row) >= c->rows.size()) return {};
  return c->rows[static_cast<std::size_t>(row)];
}

std::int32_t MainWindow::RowValue(std::string_view control, std::int32_t row) const {
  return Row(control, row).value;
}

std::int32_t MainWindow::CurrentRow(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = FindKind(control, ControlKind::kListView);
  return c ? c->currentRow : -1;
}

void MainWindow::SetCurrentRow(std::string_view control, std::int32_t row) {
  {
    std::lock_guard lock(mutex_);
    Control* c = FindKind(control, ControlKind::kListView);
    if (!c) return;
    if (row < 0 || static_cast<std::size_t>(row) >= c->rows.size()) row = -1;
    if (c->currentRow == row) return;
    c->currentRow = row;
  }
  Announce({std::string(control), Change::kCurrentRow, row});
  Raise(control, ControlEvent::kCurrentRowChanged);
}

// --- Combo box ------------------------------------------------------------------------------

void MainWindow::ClearItems(std::string_view control) {
  SetItems(control, {});
}

void MainWindow::AddItem(std::string_view control, std::string_view item) {
  std::int32_t index;
  {
    std::lock_guard lock(mutex_);
    Control* c = FindKind(control, ControlKind::kComboBox);
    if (!c) return;
    c->items.emplace_back(item);
    index = static_cast<std::int32_t>(c->items.size() - 1);
  }
  Announce({std::string(control), Change::kItemAppended, index});
}

void MainWindow::SetItems(std::string_view control, std::vector<std::string> items) {
  {
    std::lock_guard lock(mutex_);
    Control* c = FindKind(control, ControlKind::kComboBox);
    if (!c) return;
    c->items = std::move(items);
    c->selectedIndex = -1;
    c->text.clear();
  }
  Announce({std::string(control), Change::kItemsReset, -1});
  Announce({std::string(control), Change::kSelection, -1});
}

std::vector<std::string> MainWindow::Items(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = FindKind(control, ControlKind::kComboBox);
  return c ? c->items : std::vector<std::string>();
}

std::int32_t MainWindow::ItemCount(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = FindKind(control, ControlKind::kComboBox);
  return c ? static_cast<std::int32_t>(c->items.size()) : 0;
}

std::int32_t MainWindow::SelectedIndex(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = FindKind(control, ControlKind::kComboBox);
  return c ? c->selectedIndex : -1;
}

void MainWindow::SetSelectedIndex(std::string_view control, std::int32_t index) {
  {
    std::lock_guard lock(mutex_);
    Control* c = FindKind(control, ControlKind::kComboBox);
    if (!c) return;
    if (index < 0 || static_cast<std::size_t>(index) >= c->items.size()) index = -1;
    c->selectedIndex = index;
    c->text = index == -1 ? std::string() : c->items[static_cast<std::size_t>(index)];
  }
  Announce({std::string(control), Change::kSelection, index});
}

std::int32_t MainWindow::FindItemWithPrefix(std::string_view control,
                                            std::string_view prefix) const {
  std::lock_guard lock(mutex_);
  const Control* c = FindKind(control, ControlKind::kComboBox);
  if (!c) return -1;
  for (std::size_t i = 0; i < c->items.size(); ++i) {
    const std::string_view item = c->items[i];
    if (item.size() >= prefix.size() && EqualsIgnoreCase(item.substr(0, prefix.size()), prefix))
      return static_cast<std::int32_t>(i);
  }
  return -1;
}

// --- Slider and text size -------------------------------------------------------------------

int MainWindow::Value(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = FindKind(control, ControlKind::kSlider);
  return c ? c->value : 0;
}

void MainWindow::SetValue(std::string_view control, int value) {
  {
    std::lock_guard lock(mutex_);
    Control* c = FindKind(control, ControlKind::kSlider);
    if (!c) return;
    value = std::clamp(value, c->style.minimum, std::max(c->style.minimum, c->style.maximum));
    if (c->value == value) return;
    c->value = value;
  }
  Announce({std::string(control), Change::kValue, -1});
}

int MainWindow::TextScale(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = Find(control);
  return c ? c->textScale : 100;
}

void MainWindow::SetTextScale(std::string_view control, int percent) {
  {
    std::lock_guard lock(mutex_);
    Control* c = Find(control);
    if (!c) return;
    percent = std::clamp(percent, kMinTextScale, kMaxTextScale);
    if (c->textScale == percent) return;
    c->textScale = percent;
  }
  Announce({std::string(control), Change::kTextScale, -1});
}

std::int32_t MainWindow::HighlightLine(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = FindKind(control, ControlKind::kEdit);
  return c ? c->highlightLine : -1;
}

void MainWindow::SetHighlightLine(std::string_view control, std::int32_t line) {
  {
    std::lock_guard lock(mutex_);
    Control* c = FindKind(control, ControlKind::kEdit);
    if (!c) return;
    line = std::max(line, -1);
    if (c->highlightLine == line) return;
    c->highlightLine = line;
  }
  Announce({std::string(control), Change::kHighlight, line});
}

void MainWindow::RevealHighlight(std::string_view control) {
  {
    std::lock_guard lock(mutex_);
    if (!FindKind(control, ControlKind::kEdit)) return;
  }
  Announce({std::string(control), Change::kReveal, -1});
}

std::int32_t MainWindow::PointedLine(std::string_view control) const {
  std::lock_guard lock(mutex_);
  const Control* c = FindKind(control, ControlKind::kEdit);
  return c ? c->pointedLine : -1;
}

void MainWindow::UserPointAtLine(std::string_view control, std::int32_t line) {
  std::lock_guard lock(mutex_);
  if (Control* c = FindKind(control, ControlKind::kEdit)) c->pointedLine = std::max(line, -1);
}

// --- Events ---------------------------------------------------------------------------------

void MainWindow::Bind(std::string_view control, ControlEvent event, Handler handler) {
  std::lock_guard lock(handlersMutex_);
  controlHandlers_[{std::string(control), event}] = std::move(handler);
}

void MainWindow::Bind(WindowEvent event, Handler handler) {
  std::lock_guard lock(handlersMutex_);
  windowHandlers_[event] = std::move(handler);
}

void MainWindow::Bind(Command command, Handler handler) {
  std::lock_guard lock(handlersMutex_);
  commandHandlers_[command] = std::move(handler);
}

MainWindow::Handler MainWindow::HandlerFor(Command command) const {
  std::lock_guard lock(handlersMutex_);
  auto it = commandHandlers_.find(command);
  return it == commandHandlers_.end() ? Handler() : it->second;
}

void MainWindow::Dispatch(Handler handler) {
  if (!handler) return;
  if (ui_.IsUiThread()) {
    handler();
  } else {
    ui_.Post(std::move(handler));
  }
}

void MainWindow::Raise(std::string_view control, ControlEvent event) {
  Handler handler;
  {
    std::lock_guard lock(handlersMutex_);
    auto it = controlHandlers_.find({std::string(control), event});
    if (it != controlHandlers_.end()) handler = it->second;
  }
  Dispatch(std::move(handler));
}

void MainWindow::Raise(WindowEvent event) {
  Handler handler;
  {
    std::lock_guard lock(handlersMutex_);
    auto it = windowHandlers_.find(event);
    if (it != windowHandlers_.end()) handler = it->second;
  }
  Dispatch(std::move(handler));
}

// --- User input -----------------------------------------------------------------------------

bool MainWindow::IsActionable(const Control& control) const {
  const Control* c = &control;
  for (int depth = 0; depth < 16 && c; ++depth) {
    if (!c->enabled || !c->visible) return false;
    if (c->parent.empty()) return true;
    c = Find(c->parent);
  }
  return c != nullptr;
}

void MainWindow::Click(std::string_view control) {
  bool toggled = false;
  {
    std::lock_guard lock(mutex_);
    Control* c = Find(control);
    if (!c || !IsActionable(*c)) return;
    switch (c->kind) {
      case ControlKind::kCheckBox:
        c->checked = !c->checked;
        toggled = true;
        break;
      case ControlKind::kButton:
      case ControlKind::kHyperlink:
        break;
      default:
        return;
    }
  }
  if (toggled) Announce({std::string(control), Change::kChecked, -1});
  Raise(control, ControlEvent::kClicked);
}

void MainWindow::UserSelectItem(std::string_view control, std::int32_t index) {
  {
    std::lock_guard lock(mutex_);
    const Control* c = FindKind(control, ControlKind::kComboBox);
    if (!c || !IsActionable(*c)) return;
    if (index < 0 || static_cast<std::size_t>(index) >= c->items.size()) return;
  }
  SetSelectedIndex(control, index);
  Raise(control, ControlEvent::kItemSelected);
}

void MainWindow::UserEditText(std::string_view control, std::string_view text) {
  {
    std::lock_guard lock(mutex_);
    const Control* c = Find(control);
    if (!c || (c->kind != ControlKind::kEdit && c->kind != ControlKind::kComboBox)) return;
  }
  SetText(control, text);
}

void MainWindow::UserSetValue(std::string_view control, int value) {
  int before;
  {
    std::lock_guard lock(mutex_);
    const Control* c = FindKind(control, ControlKind::kSlider);
    if (!c || !IsActionable(*c)) return;
    before = c->value;
  }
  SetValue(control, value);
  if (Value(control) != before) Raise(control, ControlEvent::kValueChanged);
}

}  // namespace lectoria
