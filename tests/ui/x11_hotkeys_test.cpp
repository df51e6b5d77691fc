#include "ui/x11_hotkeys.h"

#include <gtest/gtest.h>

#include <QWidget>
#include <memory>
#include <vector>

#include "app/window/control_names.h"
#include "view_harness.h"
#include "xvfb_server.h"

namespace lectoria {
namespace {

using testing::OnPath;
using testing::WaitFor;
using testing::XvfbServer;

constexpr WindowHandle kWindow = 0x1234;

TEST(X11HotkeyBackendTest, WithoutAnXConnectionRegistrationFails) {
  X11HotkeyBackend none(std::nullopt);
  EXPECT_FALSE(none.Connected());
  EXPECT_FALSE(none.Register(kWindow, kHotkeyShowHide, kModAlt, kVkZ));
  none.Unregister(kWindow, kHotkeyShowHide);
  none.ProcessEvents();

  // A display that does not exist: the connection itself is checked.
  X11HotkeyBackend unreachable(std::string(":4093"));
  EXPECT_FALSE(unreachable.Connected());
  EXPECT_FALSE(unreachable.Register(kWindow, kHotkeyShowHide, kModAlt, kVkZ));
  EXPECT_FALSE(X11DisplayReachable(":4093"));
}

// The hotkey backend against a real X server, with real key presses from xdotool.
class X11HotkeyXvfbTest : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!OnPath("xdotool")) GTEST_SKIP() << "xdotool is not installed";
    xvfb_ = std::make_unique<XvfbServer>();
    if (!xvfb_->ok()) GTEST_SKIP() << "no X server for the hotkey test: " << xvfb_->error();
  }

  std::unique_ptr<X11HotkeyBackend> Connect() {
    auto backend = std::make_unique<X11HotkeyBackend>(xvfb_->display());
    EXPECT_TRUE(backend->Connected());
    return backend;
  }

  bool Press(const std::vector<std::string>& keys) {
    std::vector<std::string> args{"key", "--clearmodifiers"};
    args.insert(args.end(), keys.begin(), keys.end());
    return xvfb_->Xdotool(args);
  }

  std::unique_ptr<XvfbServer> xvfb_;
};

TEST_F(X11HotkeyXvfbTest, RealAltZReachesTheHandler) {
  auto backend = Connect();
  std::vector<std::int32_t> pressed;
  backend->Attach(kWindow, [&](std::int32_t id) { pressed.push_back(id); });
  ASSERT_TRUE(backend->Register(kWindow, kHotkeyShowHide, kModAlt, kVkZ));
  ASSERT_TRUE(backend->Register(kWindow, kHotkeyStartPause, kModAlt, kVkSpace));

  ASSERT_TRUE(Press({"alt+z"}));
  ASSERT_TRUE(WaitFor([&] { return pressed.size() == 1; }));
  EXPECT_EQ(pressed[0], kHotkeyShowHide);

  ASSERT_TRUE(Press({"alt+space"}));
  ASSERT_TRUE(WaitFor([&] { return pressed.size() == 2; }));
  EXPECT_EQ(pressed[1], kHotkeyStartPause);

  // Caps Lock and Num Lock on: still the hotkey.
  ASSERT_TRUE(Press({"Caps_Lock", "Num_Lock", "alt+z", "Caps_Lock", "Num_Lock"}));
  ASSERT_TRUE(WaitFor([&] { return pressed.size() == 3; }));
  EXPECT_EQ(pressed[2], kHotkeyShowHide);

  // Plain z, and Ctrl+Alt+Z, are not the hotkey; after them Alt+Z still is.
  ASSERT_TRUE(Press({"z", "ctrl+alt+z", "alt+z"}));
  ASSERT_TRUE(WaitFor([&] { return pressed.size() >= 4; }));
  EXPECT_EQ(pressed, (std::vector<std::int32_t>{kHotkeyShowHide, kHotkeyStartPause, kHotkeyShowHide,
                                                kHotkeyShowHide}));
}

TEST_F(X11HotkeyXvfbTest, ComboHeldByAnotherClientIsRefused) {
  auto first = Connect();
  auto second = Connect();
  std::vector<std::int32_t> firstPressed, secondPressed;
  first->Attach(kWindow, [&](std::int32_t id) { firstPressed.push_back(id); });
  second->Attach(kWindow, [&](std::int32_t id) { secondPressed.push_back(id); });

  ASSERT_TRUE(first->Register(kWindow, kHotkeyShowHide, kModAlt, kVkZ));
  EXPECT_FALSE(second->Register(kWindow, kHotkeyShowHide, kModAlt, kVkZ)) << "BadAccess";
  // The refusal leaves nothing grabbed and the connection usable.
  EXPECT_TRUE(second->Connected());
  EXPECT_TRUE(second->Register(kWindow, 7, kModAlt, 'X'));
  // One connection cannot hold one combination under two ids either.
  EXPECT_FALSE(first->Register(kWindow, 9, kModAlt, kVkZ));

  ASSERT_TRUE(Press({"alt+z", "alt+x"}));
  ASSERT_TRUE(WaitFor([&] { return firstPressed.size() == 1 && secondPressed.size() == 1; }));
  EXPECT_EQ(firstPressed[0], kHotkeyShowHide);
  EXPECT_EQ(secondPressed[0], 7);

  // Released by the first, the combination is free for the second.
  first->Unregister(kWindow, kHotkeyShowHide);
  EXPECT_TRUE(second->Register(kWindow, kHotkeyShowHide, kModAlt, kVkZ));
}

TEST_F(X11HotkeyXvfbTest, UnknownKeysAndModifiersAreRefused) {
  auto backend = Connect();
  EXPECT_FALSE(backend->Register(kWindow, 1, kModAlt, 0xFF));
  EXPECT_FALSE(backend->Register(kWindow, 2, 0x100, kVkZ));
  EXPECT_TRUE(backend->Register(kWindow, 3, 0x4000 | 0x2 | 0x4, 'Q'));  // no-repeat, Ctrl, Shift
}

TEST_F(X11HotkeyXvfbTest, ServerGoingAwayLeavesTheProgramRunning) {
  auto backend = Connect();
  ASSERT_TRUE(backend->Register(kWindow, kHotkeyShowHide, kModAlt, kVkZ));
  xvfb_.reset();  // Xlib's default would end the process here
  EXPECT_TRUE(WaitFor([&] { return !backend->Connected(); }));
  EXPECT_FALSE(backend->Register(kWindow, kHotkeyStartPause, kModAlt, kVkSpace));
  backend->Unregister(kWindow, kHotkeyShowHide);
}

TEST_F(X11HotkeyXvfbTest, AltZTogglesTheWindowOfTheProgram) {
  // The whole path: start-up registers through the backend, the key hides and shows the view.
  testing::TempRunDir dir;
  QtUiThread ui;
  X11HotkeyBackend hotkeys(xvfb_->display());
  FakeMessageBox messages;
  FakeFileDialog fileDialog;
  testing::FakeClipPlayer player;
  App app(dir.root(), AppPorts{ui, hotkeys, messages, fileDialog, player});
  {
    MainView view(app.window());
    app.Start();
    app.JoinVoiceLoader();
    testing::ProcessEvents();
    ASSERT_TRUE(view.isVisible());
    ASSERT_TRUE(Press({"alt+z"}));
    EXPECT_TRUE(WaitFor([&] { return !view.isVisible(); }));
    ASSERT_TRUE(Press({"alt+z"}));
    EXPECT_TRUE(WaitFor([&] { return view.isVisible(); }));
    ui.Shutdown();
    app.Close();
  }
}

}  // namespace
}  // namespace lectoria
