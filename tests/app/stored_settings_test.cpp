// The window's place, text size, speed and volume as config.ini keeps them: damaged or
// foreign values give the defaults, never a crash or an unusable window.
#include <gtest/gtest.h>

#include "app/listening/comforts.h"
#include "app/state/config_sections.h"
#include "app/window/control_names.h"
#include "app_harness.h"

namespace lectoria {
namespace {

using namespace config_keys;
using testing::AppHarness;

TEST(StoredSettings, DamagedValuesFallBackToTheDefaults) {
  struct Case {
    std::string_view window[5];  // 左, 上, 宽, 高, 文字大小 ("" leaves the key out)
    std::string_view speed;
    std::string_view volume;
    Rect frame;
    int textScale;
    double expectedSpeed;
    int expectedVolume;
  };
  const Rect form = MainWindowFrame();
  const Case cases[] = {
      {{"", "", "", "", ""}, "", "", form, 100, 1.0, 100},
      {{"10", "20", "1000", "700", "150"}, "2", "0", {10, 20, 1000, 700}, 150, 2.0, 0},
      {{"-40", "0", "900", "600", "300"}, "1.3", "55", {-40, 0, 900, 600}, 300, 1.25, 55},
      {{"10", "20", "1000", "", "9999"}, "fast", "loud", form, 100, 1.0, 100},
      {{"10", "20", "abc", "700", "-5"}, "3.5", "101", form, 100, 1.0, 100},
      {{"10", "20", "50", "40", "12x"}, "nan", "-1", form, 100, 1.0, 100},
      {{"1e9", "20", "1000", "700", "100"}, "0.49", "50%", form, 100, 1.0, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.window[2]) + " " + std::string(c.speed));
    AppHarness h;
    IniFile ini(h.dir.paths().ConfigIni());
    const std::string_view keys[] = {kWindowLeft, kWindowTop, kWindowWidth, kWindowHeight,
                                     kTextSize};
    for (int i = 0; i < 5; ++i) {
      if (!c.window[i].empty()) ini.Write(kWindowSection, keys[i], c.window[i]);
    }
    if (!c.speed.empty()) ini.Write(kPlaybackSection, kSpeed, c.speed);
    if (!c.volume.empty()) ini.Write(kPlaybackSection, kVolume, c.volume);

    Comforts comforts(h.app);
    comforts.Install();
    h.Start();
    EXPECT_EQ(h.app.window().WindowGeometry(), c.frame);
    EXPECT_EQ(h.app.window().TextScale(ctl::编辑框1), c.textScale);
    EXPECT_EQ(h.player.Speed(), c.expectedSpeed);
    EXPECT_EQ(h.player.Volume(), c.expectedVolume);
    EXPECT_EQ(h.app.window().Value(ctl::滑块条_音量), c.expectedVolume);
    h.app.Close();
  }
}

}  // namespace
}  // namespace lectoria
