// The main window as a toolkit-free model.
//
// MainWindow holds every control's state (texts, enabled and check states, list rows and the
// current row, combo items and selection, visibility) behind one lock. Any thread may read or
// change it; each change is announced to the observers on the thread that made it (the Qt
// view moves the announcement onto its GUI thread and reads the new state back). Control
// events run the operation bound to them on the UI thread: at once when raised there,
// otherwise queued to it.
//
// Controls are named by their form names (see app/window/control_names.h); texts are GBK. Calls
// that name an unknown control, or a control of the wrong kind, change nothing and read as empty,
// false, 0 or -1.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "app/ports/ui_thread.h"
#include "app/ports/window_handle.h"
#include "app/window/window_types.h"

namespace lectoria {

/// Receives the model's change announcements. Methods do nothing by default; they run on the
/// thread that made the change, after the model's lock has been released, so they may read
/// the model back.
class WindowObserver {
 public:
  virtual ~WindowObserver() = default;
  virtual void OnTitleChanged() {}
  virtual void OnWindowVisibilityChanged() {}
  /// The program moved or resized the window (SetWindowGeometry).
  virtual void OnWindowGeometryChanged() {}
  /// `control` is the form name; `index` is the row or item for kRowAppended/kItemAppended.
  virtual void OnControlChanged(std::string_view control, Change what, std::int32_t index) {}
};

class MainWindow {
 public:
  using Handler = std::function<void()>;

  /// Creates the window with every control as the form defines it (see window_layout.cpp).
  /// The window is not visible until start-up shows it.
  explicit MainWindow(UiThread& ui);
  MainWindow(const MainWindow&) = delete;
  MainWindow& operator=(const MainWindow&) = delete;

  WindowHandle Handle() const { return reinterpret_cast<WindowHandle>(this); }
  UiThread& ui() const { return ui_; }

  // --- Observers --------------------------------------------------------------------------
  void AddObserver(WindowObserver* observer);
  /// After this returns no new announcement starts for `observer`; one already running on
  /// another thread may still finish, so remove observers only once other threads are done.
  void RemoveObserver(WindowObserver* observer);

  // --- The window ---------------------------------------------------------------------------
  std::string Title() const;
  void SetTitle(std::string_view title);
  bool IsVisible() const;
  void SetVisible(bool visible);
  /// Outer frame on the screen: 50, 50, 876, 470 until moved or resized.
  Rect WindowGeometry() const;
  /// Moves and resizes the window (announced; the view follows).
  void SetWindowGeometry(const Rect& frame);
  /// The user moved or resized the window: records the new frame without announcing it.
  void UserMovedWindow(const Rect& frame);

  // --- Controls -----------------------------------------------------------------------------
  /// Form names in the order of the form's table.
  std::vector<std::string> ControlNames() const;
  bool Has(std::string_view control) const;
  /// A copy of the control with its current state (an empty Control for an unknown name).
  Control Snapshot(std::string_view control) const;
  /// Position in the window's client area: the geometry plus that of the enclosing frames.
  Rect ClientGeometry(std::string_view control) const;

  std::string Text(std::string_view control) const;
  void SetText(std::string_view control, std::string_view text);
  bool IsEnabled(std::string_view control) const;
  void SetEnabled(std::string_view control, bool enabled);
  bool IsChecked(std::string_view control) const;
  void SetChecked(std::string_view control, bool checked);
  bool IsControlVisible(std::string_view control) const;

  // --- List view ----------------------------------------------------------------------------
  /// Removes every row; no row is current afterwards (announced, no event raised).
  void ClearRows(std::string_view control);
  void AppendRow(std::string_view control, std::string_view title, std::int32_t value);
  /// Replaces all rows at once (one announcement); no row is current afterwards.
  void SetRows(std::string_view control, std::vector<ListRow> rows);
  std::vector<ListRow> Rows(std::string_view control) const;
  std::int32_t RowCount(std::string_view control) const;
  /// Row `row` (0-based); an empty row when there is none.
  ListRow Row(std::string_view control, std::int32_t row) const;
  /// The item value of row `row`; 0 when there is no such row.
  std::int32_t RowValue(std::string_view control, std::int32_t row) const;
  /// The current row, 0-based; -1 when none.
  std::int32_t CurrentRow(std::string_view control) const;
  /// Makes `row` current; a row outside the list makes none current. When the current row
  /// changes, kCurrentRowChanged is raised, by the program's call as by the user's click.
  void SetCurrentRow(std::string_view control, std::int32_t row);

  // --- Combo box ----------------------------------------------------------------------------
  /// Removes every item; nothing is selected and the text is empty afterwards.
  void ClearItems(std::string_view control);
  void AddItem(std::string_view control, std::string_view item);
  void SetItems(std::string_view control, std::vector<std::string> items);
  std::vector<std::string> Items(std::string_view control) const;
  std::int32_t ItemCount(std::string_view control) const;
  /// The selected item, 0-based; -1 when none. Text() is the selected item's text.
  std::int32_t SelectedIndex(std::string_view control) const;
  /// Selects item `index` (-1 or an index outside the list: nothing). No event is raised:
  /// only the user's choice raises kItemSelected.
  void SetSelectedIndex(std::string_view control, std::int32_t index);
  /// The first item, from the top, that begins with `prefix` (ASCII letters compared without
  /// regard to case); -1 when none does.
  std::int32_t FindItemWithPrefix(std::string_view control, std::string_view prefix) const;

  // --- Slider -------------------------------------------------------------------------------
  /// The slider's value; 0 for anything that is not a slider.
  int Value(std::string_view control) const;
  /// Sets the value, held between the slider's minimum and maximum. No event is raised.
  void SetValue(std::string_view control, int value);

  // --- Text size ----------------------------------------------------------------------------
  /// The size of the control's text in percent of its font's own size (100 at creation).
  int TextScale(std::string_view control) const;
  /// `percent` is held between kMinTextScale and kMaxTextScale.
  void SetTextScale(std::string_view control, int percent);

  // --- Line marks of an edit box ----------------------------------------------------------
  /// The 0-based line of the edit's text marked as being read; -1 when none.
  std::int32_t HighlightLine(std::string_view control) const;
  /// Marks a line (-1: none); announced as kHighlight when it changes.
  void SetHighlightLine(std::string_view control, std::int32_t line);
  /// Asks the view to bring the marked line into view again (announced as kReveal).
  void RevealHighlight(std::string_view control);
  /// The line the user pointed at (a context menu, a double-click); -1 when none.
  std::int32_t PointedLine(std::string_view control) const;
  void UserPointAtLine(std::string_view control, std::int32_t line);

  // --- Events -------------------------------------------------------------------------------
  /// Binds `handler` to an event, replacing an earlier binding. Bind before events arrive.
  void Bind(std::string_view control, ControlEvent event, Handler handler);
  void Bind(WindowEvent event, Handler handler);
  void Bind(Command command, Handler handler);
  /// Runs the bound handler on the UI thread (at once when called there, queued otherwise).
  void Raise(std::string_view control, ControlEvent event);
  void Raise(WindowEvent event);
  /// A keyboard shortcut (or any other way the user asks for a command): runs its handler.
  void RunCommand(Command command) { Dispatch(HandlerFor(command)); }

  // --- User input: what the view calls when the user acts --------------------------------
  /// A click on a button, check box or link. Ignored when the control or its frame is
  /// disabled or hidden. A check box toggles its state first, then kClicked is raised.
  void Click(std::string_view control);
  /// The user picked a combo item: selects it and raises kItemSelected.
  void UserSelectItem(std::string_view control, std::int32_t index);
  /// The user picked a list row: SetCurrentRow.
  void UserSelectRow(std::string_view control, std::int32_t row) { SetCurrentRow(control, row); }
  /// The user typed into an edit box (or a combo box's edit field); no event.
  void UserEditText(std::string_view control, std::string_view text);
  /// The user moved a slider: SetValue, then kValueChanged when the value changed.
  void UserSetValue(std::string_view control, int value);

 private:
  struct Announcement {
    std::string control;
    Change what;
    std::int32_t index;
  };

  Control* Find(std::string_view control);
  const Control* Find(std::string_view control) const;
  Control* FindKind(std::string_view control, ControlKind kind);
  const Control* FindKind(std::string_view control, ControlKind kind) const;
  bool IsActionable(const Control& control) const;
  void Announce(const Announcement& announcement);
  void AnnounceWindow(void (WindowObserver::*method)());
  void Dispatch(Handler handler);
  Handler HandlerFor(Command command) const;

  UiThread& ui_;
  mutable std::mutex mutex_;
  std::string title_;
  bool visible_ = false;
  Rect geometry_;
  std::vector<std::string> order_;
  std::map<std::string, Control, std::less<>> controls_;
  std::vector<WindowObserver*> observers_;

  mutable std::mutex handlersMutex_;
  std::map<std::pair<std::string, ControlEvent>, Handler> controlHandlers_;
  std::map<WindowEvent, Handler> windowHandlers_;
  std::map<Command, Handler> commandHandlers_;
};

/// The bounds of a control's text size, in percent.
inline constexpr int kMinTextScale = 50;
inline constexpr int kMaxTextScale = 300;

/// The form's definition: the window's frame and every control with its initial state.
Rect MainWindowFrame();
std::vector<Control> MainWindowControls();
/// The window's keyboard shortcuts (see shortcuts.cpp).
std::vector<Shortcut> MainWindowShortcuts();

}  // namespace lectoria
