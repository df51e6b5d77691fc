// An App on Qt's event loop with headless hotkeys, dialogs and player, and the view on top.
#pragma once

#include <QCoreApplication>
#include <QTest>
#include <memory>
#include <string_view>

#include "app/core/app.h"
#include "support/fake_ports.h"
#include "support/fake_clip_player.h"
#include "support/run_dir_fixture.h"
#include "ui/main_view.h"
#include "ui/qt_ui_thread.h"

namespace lectoria::testing {

/// Runs the GUI thread's pending events.
inline void ProcessEvents() {
  for (int i = 0; i < 3; ++i) QCoreApplication::processEvents(QEventLoop::AllEvents);
}

/// Runs the event loop until `done()` holds or five seconds pass; the result of `done()`.
template <typename F>
bool WaitFor(F done) {
  return QTest::qWaitFor(done, 5000);
}

struct ViewHarness {
  TempRunDir dir;
  QtUiThread ui;
  FakeHotkeyBackend hotkeys;
  FakeMessageBox messages;
  FakeFileDialog fileDialog;
  FakeClipPlayer player;
  App app{dir.root(), AppPorts{ui, hotkeys, messages, fileDialog, player}};
  std::unique_ptr<MainView> view = std::make_unique<MainView>(app.window());

  ~ViewHarness() {
    ui.Shutdown();
    app.Close();
    view.reset();
  }

  MainWindow& model() { return app.window(); }

  /// Start-up as the window's creation runs it; the voice loader's changes are applied.
  void Start() {
    app.Start();
    app.JoinVoiceLoader();
    ProcessEvents();
  }

  template <typename W = QWidget>
  W* Widget(std::string_view name) {
    return view->findChild<W*>(QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size())));
  }
};

}  // namespace lectoria::testing
