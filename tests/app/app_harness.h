// An App over headless ports in a fresh run directory.
#pragma once

#include <chrono>
#include <thread>

#include "app/core/app.h"
#include "support/fake_clip_player.h"
#include "support/fake_dialogs.h"
#include "support/fake_ports.h"
#include "support/manual_ui_thread.h"
#include "support/run_dir_fixture.h"

namespace lectoria::testing {

struct AppHarness {
  TempRunDir dir;
  ManualUiThread ui;
  FakeHotkeyBackend hotkeys;
  FakeMessageBox messages;
  FakeFileDialog fileDialog;
  FakeClipPlayer player;
  FakeProgressDialog progress;
  FakeShelfView shelf;
  FakeQuestions questions;
  App app{dir.root(),
          AppPorts{ui, hotkeys, messages, fileDialog, player, &progress, &shelf, &questions}};

  /// Start-up as the window's creation runs it, waiting for the voice loader.
  void Start() {
    app.Start();
    app.JoinVoiceLoader();
  }

  /// Runs the UI thread's queue until the running import has been handed over (real time,
  /// at most ten seconds); false when it has not.
  bool FinishImport() {
    for (int i = 0; i < 10000 && app.ImportRunning(); ++i) {
      ui.RunPending();
      if (app.ImportRunning()) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ui.RunPending();
    return !app.ImportRunning();
  }
};

}  // namespace lectoria::testing
