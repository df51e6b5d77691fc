// An App over headless ports in a fresh run directory.
#pragma once

#include "app/core/app.h"
#include "support/fake_ports.h"
#include "support/manual_ui_thread.h"
#include "support/fake_clip_player.h"
#include "support/run_dir_fixture.h"

namespace lectoria::testing {

struct AppHarness {
  TempRunDir dir;
  ManualUiThread ui;
  FakeHotkeyBackend hotkeys;
  FakeMessageBox messages;
  FakeFileDialog fileDialog;
  FakeClipPlayer player;
  App app{dir.root(), AppPorts{ui, hotkeys, messages, fileDialog, player}};

  /// Start-up as the window's creation runs it, waiting for the voice loader.
  void Start() {
    app.Start();
    app.JoinVoiceLoader();
  }
};

}  // namespace lectoria::testing
