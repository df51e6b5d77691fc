// The reader's icon in the desktop's tray (where the desktop has one): a menu to start or
// pause, skip, show or hide the window and quit, and a click that shows or hides the window,
// so that a hidden window can be had back without the hotkey.
#pragma once

#include <QAction>
#include <QMenu>
#include <QSystemTrayIcon>
#include <functional>
#include <memory>

#include "app/window/main_window.h"

namespace lectoria {

class TrayIcon final : public WindowObserver {
 public:
  /// Construct on the GUI thread; `model` must outlive the icon. `onQuit` ends the program.
  TrayIcon(MainWindow& model, std::function<void()> onQuit);
  ~TrayIcon() override;
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  /// Shows the icon when the desktop has a tray; false otherwise.
  bool Show();

  QMenu* menu() const { return menu_.get(); }
  QSystemTrayIcon* icon() const { return icon_.get(); }

  // WindowObserver: any thread; the menu follows on the GUI thread.
  void OnTitleChanged() override { Schedule(); }
  void OnWindowVisibilityChanged() override { Schedule(); }
  void OnControlChanged(std::string_view control, Change what, std::int32_t index) override;

 private:
  void Schedule();
  void Update();

  MainWindow& model_;
  std::unique_ptr<QMenu> menu_;
  std::unique_ptr<QSystemTrayIcon> icon_;
  QAction* startPause_ = nullptr;
  QAction* skip_ = nullptr;
  QAction* showHide_ = nullptr;
};

}  // namespace lectoria
