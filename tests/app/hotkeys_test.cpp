#include "app/ports/hotkeys.h"

#include <gtest/gtest.h>

#include "support/fake_ports.h"

namespace lectoria {
namespace {

class HotkeyTest : public ::testing::Test {
 protected:
  FakeHotkeyBackend backend_;
  HotkeyRegistry registry_{backend_};
  static constexpr WindowHandle kWindow = 0x1234;
};

TEST_F(HotkeyTest, RegisteredHotkeysRunTheirHandlers) {
  int space = 0;
  int z = 0;
  EXPECT_TRUE(registry_.RegisterGlobalHotkey(
      kWindow, kModAlt, kVkSpace, [&] { ++space; }, 50));
  EXPECT_TRUE(registry_.RegisterGlobalHotkey(
      kWindow, kModAlt, kVkZ, [&] { ++z; }, 108));
  EXPECT_EQ(backend_.AttachCount(), 1);  // the window is hooked once
  EXPECT_TRUE(backend_.Press(kModAlt, kVkSpace));
  EXPECT_TRUE(backend_.Press(kModAlt, kVkZ));
  EXPECT_TRUE(backend_.Press(kModAlt, kVkZ));
  EXPECT_FALSE(backend_.Press(kModAlt, 0x41));
  EXPECT_EQ(space, 1);
  EXPECT_EQ(z, 2);
  registry_.OnHotkey(999);  // an unknown id does nothing
}

TEST_F(HotkeyTest, RefusedRegistrationRecordsNothing) {
  backend_.Refuse(kModAlt, kVkSpace);
  EXPECT_FALSE(registry_.RegisterGlobalHotkey(
      kWindow, kModAlt, kVkSpace, [] {}, 50));
  EXPECT_EQ(registry_.size(), 0u);
  EXPECT_EQ(backend_.AttachCount(), 0);
  EXPECT_TRUE(registry_.RegisterGlobalHotkey(
      kWindow, kModAlt, kVkZ, [] {}, 108));
  EXPECT_EQ(backend_.AttachCount(), 1);
}

// Registering an id again releases the earlier hotkey and the new handler takes over.
TEST_F(HotkeyTest, SameIdReplacesTheEarlierRegistration) {
  std::vector<std::string> log;
  registry_.RegisterGlobalHotkey(
      kWindow, kModAlt, kVkSpace, [&] { log.push_back("old"); }, 50);
  registry_.RegisterGlobalHotkey(
      kWindow, kModAlt, kVkZ, [&] { log.push_back("new"); }, 50);
  EXPECT_EQ(backend_.UnregisterCount(), 1);
  EXPECT_EQ(registry_.size(), 1u);
  EXPECT_FALSE(backend_.Press(kModAlt, kVkSpace));
  EXPECT_TRUE(backend_.Press(kModAlt, kVkZ));
  EXPECT_EQ(log, (std::vector<std::string>{"new"}));
  EXPECT_EQ(backend_.AttachCount(), 1);
}

}  // namespace
}  // namespace lectoria
