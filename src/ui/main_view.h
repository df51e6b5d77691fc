// The Qt view of the main window: draws the window model and turns the user's actions on the
// widgets into the model's user actions.
//
// Every visible control of the model becomes a widget whose object name is the control's form
// name, at the control's geometry (controls inside a frame are children of the frame's
// widget). Model changes announced on the GUI thread are applied at once; those announced on
// other threads are queued to the GUI thread, where the view reads the model's current state
// back. Widget events call MainWindow::Click / UserSelectRow / UserSelectItem / UserEditText
// on the GUI thread, which run the bound operations.
#pragma once

#include <QFont>
#include <QMenu>
#include <QPoint>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <string_view>

#include "app/window/main_window.h"

namespace lectoria {

class MainView final : public QWidget, public WindowObserver {
 public:
  /// Builds the widgets from `model` and observes it. Construct on the GUI thread; `model`
  /// must outlive the view. Destroy the view only once no other thread changes the model.
  explicit MainView(MainWindow& model, QWidget* parent = nullptr);
  ~MainView() override;
  MainView(const MainView&) = delete;
  MainView& operator=(const MainView&) = delete;

  MainWindow& model() const { return model_; }

  /// The widget of a control; nullptr for an unknown name and for the invisible components.
  QWidget* ControlWidget(std::string_view control) const;

  /// Runs on the GUI thread when the user closes the window, before it hides: the program's
  /// end. Without it, closing only hides the window.
  void SetOnCloseRequested(std::function<void()> onClose) { onClose_ = std::move(onClose); }

  /// The client size the window gets for frame margins `margins` (left+right, top+bottom)
  /// around it: the model's outer size less the margins, but never smaller than the area
  /// the controls take, so that a window manager's tall title bar cuts nothing off. That area
  /// is also the window's minimum size; room beyond the form's size goes to the chapter list
  /// and the chapter text (see app/window/window_growth.h).
  QSize ClientSizeFor(QSize margins) const;

  /// The context menu of the chapter list or the chapter text (nullptr for other controls).
  QMenu* ContextMenu(std::string_view control) const;
  /// What a right click at `pos` (in the control's viewport) does: points the model at the row
  /// or line there and pops up the control's context menu.
  void ShowContextMenu(std::string_view control, QPoint pos);

  // WindowObserver: any thread.
  void OnTitleChanged() override;
  void OnWindowVisibilityChanged() override;
  void OnWindowGeometryChanged() override;
  void OnControlChanged(std::string_view control, Change what, std::int32_t index) override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool event(QEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void BuildWidgets();
  void BuildShortcuts();
  void ConnectWidget(const std::string& name, ControlKind kind, QWidget* widget);
  template <typename F>
  void OnGuiThread(F&& f);

  void ApplyTitle();
  void ApplyVisibility();
  void ApplyAll();
  void Apply(const std::string& control, Change what);
  void ApplyText(const std::string& control, ControlKind kind, QWidget* widget);
  void ApplyRows(const std::string& control, QWidget* widget, bool reset);
  void ApplyCurrentRow(const std::string& control, QWidget* widget);
  void ApplyItems(const std::string& control, QWidget* widget, bool reset);
  void ApplySelection(const std::string& control, QWidget* widget);
  void ApplyValue(const std::string& control, QWidget* widget);
  void ApplyTextScale(const std::string& control, QWidget* widget);
  void ApplyHighlight(const std::string& control, QWidget* widget, bool reveal);
  void BuildContextMenus();
  /// The 0-based line of the chapter text at `pos` of its viewport; -1 for none.
  std::int32_t LineAt(QPoint pos) const;
  void ApplyGeometry();
  void LayOut();
  void FitToFrameMargins();
  void ReportGeometry();

  MainWindow& model_;
  std::map<std::string, QWidget*, std::less<>> widgets_;
  std::map<std::string, ControlKind, std::less<>> kinds_;
  // The form's geometry of the controls placed in the window itself (not in a frame).
  std::map<std::string, Rect, std::less<>> topLevel_;
  // Each widget's font as created, which the text size scales.
  std::map<std::string, QFont, std::less<>> baseFonts_;
  QSize controlsExtent_;
  std::function<void()> onClose_;
  // The edit box whose text the user is typing: its own echo from the model is not applied
  // back (it would move the cursor, and text GBK cannot hold would turn into '?').
  std::string editingControl_;
  bool fitted_ = false;
  // The chapter text was scrolled by the user: the marked line is not scrolled into view until
  // the user asks for it or another text is shown.
  bool scrolledAway_ = false;
  QMenu* listMenu_ = nullptr;
  QMenu* textMenu_ = nullptr;
};

}  // namespace lectoria
