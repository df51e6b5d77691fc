// The hotkeys as config.ini names them, and the notice when one cannot be had.
#include <gtest/gtest.h>

#include "app/state/config_sections.h"
#include "app/state/hotkey_text.h"
#include "app/window/control_names.h"
#include "app_harness.h"
#include "platform/codepage.h"

namespace lectoria {
namespace {

using testing::AppHarness;

TEST(HotkeyText, ReadsAndWritesCombinations) {
  struct Case {
    std::string_view text;
    std::optional<HotkeyCombo> combo;
    std::string_view written;  // empty: as given
  };
  const Case cases[] = {
      {"Alt+Space", HotkeyCombo{kModAlt, kVkSpace}, ""},
      {"Alt+Z", HotkeyCombo{kModAlt, kVkZ}, ""},
      {" ctrl + alt + p ", HotkeyCombo{0x3, 'P'}, "Ctrl+Alt+P"},
      {"Control+Shift+F12", HotkeyCombo{0x6, 0x7B}, "Ctrl+Shift+F12"},
      {"Super+Home", HotkeyCombo{0x8, 0x24}, ""},
      {"F9", HotkeyCombo{0, 0x78}, ""},
      {"Win+7", HotkeyCombo{0x8, '7'}, "Super+7"},
      {"", std::nullopt, ""},
      {"Alt+", std::nullopt, ""},
      {"Alt+Alt+Z", std::nullopt, ""},
      {"Hyper+Z", std::nullopt, ""},
      {"Alt+F25", std::nullopt, ""},
      {"Alt+Ctrl", std::nullopt, ""},
      {"Alt+空格", std::nullopt, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const std::optional<HotkeyCombo> combo = ParseHotkey(c.text);
    EXPECT_EQ(combo, c.combo);
    if (combo) EXPECT_EQ(HotkeyText(*combo), c.written.empty() ? c.text : c.written);
  }
}

class HotkeySettingsTest : public ::testing::Test {
 protected:
  void Configure(std::string_view key, std::string_view value) {
    IniFile(h_.dir.paths().ConfigIni()).Write(config_keys::kHotkeySection, key, value);
  }
  std::string Status() { return GbkToUtf8(h_.app.window().Text(ctl::状态条1)); }

  AppHarness h_;
};

TEST_F(HotkeySettingsTest, ARefusedHotkeyIsReportedOnceInTheStatusLineAndOnStderr) {
  h_.hotkeys.Refuse(kModAlt, kVkSpace);
  ::testing::internal::CaptureStderr();
  h_.Start();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(Status(), "热键 Alt+Space 已被其他程序占用，可在 config.ini 的 [热键] 中另设");
  EXPECT_NE(err.find("Alt+Space could not be registered"), std::string::npos) << err;
  EXPECT_EQ(err.find("Alt+Z"), std::string::npos) << err;
  EXPECT_TRUE(h_.hotkeys.Press(kModAlt, kVkZ));  // the other one works
}

TEST_F(HotkeySettingsTest, ConfigNamesOtherCombinations) {
  Configure(config_keys::kStartPauseHotkey, "Ctrl+Alt+P");
  Configure(config_keys::kShowHideHotkey, "no such key");  // unreadable: the standard one
  h_.hotkeys.Refuse(kModAlt, kVkSpace);
  ::testing::internal::CaptureStderr();
  h_.Start();
  const std::string err = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(Status(), "");
  EXPECT_NE(err.find("no such key"), std::string::npos) << err;
  EXPECT_TRUE(h_.app.window().IsVisible());
  EXPECT_TRUE(h_.hotkeys.Press(0x3, 'P'));
  EXPECT_TRUE(h_.hotkeys.Press(kModAlt, kVkZ));
  h_.ui.RunPending();
  EXPECT_FALSE(h_.app.window().IsVisible());
}

}  // namespace
}  // namespace lectoria
