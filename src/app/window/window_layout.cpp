// The form of the main window: its frame and every control with name, kind, parent, geometry
// and initial state, in the form's order. Texts are written in UTF-8 here for reading and
// stored as GBK.
#include "app/window/control_names.h"
#include "app/window/main_window.h"
#include "app/window/texts.h"
#include "platform/codepage.h"

namespace lectoria {
namespace {

struct Def {
  std::string_view name;
  ControlKind kind;
  std::string_view parent;
  Rect geometry;
  std::string_view textUtf8;
};

// The font the voice group and the link use: 微软雅黑, 12 pixels, normal weight, GB2312.
FontRecord YaheiFont() {
  return FontRecord{"微软雅黑", -12, 400, 134};
}

Control Make(const Def& def) {
  Control c;
  c.name = def.name;
  c.kind = def.kind;
  c.parent = def.parent;
  c.geometry = def.geometry;
  c.text = Utf8ToGbk(def.textUtf8);
  return c;
}

}  // namespace

Rect MainWindowFrame() {
  return Rect{50, 50, 876, 470};
}

std::vector<Control> MainWindowControls() {
  using K = ControlKind;
  // clang-format off
  const Def defs[] = {
      {ctl::超级列表框1, K::kListView, "", {8, 8, 144, 416}, ""},
      {ctl::编辑框1, K::kEdit, "", {160, 8, 528, 304}, ""},
      {ctl::编辑框3, K::kEdit, "", {160, 320, 528, 104}, ""},
      {ctl::外形框2, K::kFrame, "", {688, 0, 168, 104}, ""},
      {ctl::标签2, K::kLabel, ctl::外形框2, {8, 5, 80, 20}, "语音"},
      {ctl::组合框_语音, K::kComboBox, ctl::外形框2, {8, 26, 150, 25}, ""},
      {ctl::标签3, K::kLabel, ctl::外形框2, {8, 52, 80, 20}, "语音风格"},
      {ctl::组合框_语音风格, K::kComboBox, ctl::外形框2, {8, 73, 150, 25}, ""},
      {ctl::外形框1, K::kFrame, "", {688, 136, 166, 304}, ""},
      {ctl::标签7, K::kLabel, ctl::外形框1, {13, 72, 128, 32}, "Lectoria 小说朗读"},
      {ctl::超级链接框1, K::kHyperlink, ctl::外形框1, {6, 102, 144, 18}, "语音合成服务由微软提供"},
      {ctl::标签4, K::kLabel, ctl::外形框1, {13, 125, 128, 35}, "离线朗读：espeak-ng 与 LAME"},
      {ctl::标签1, K::kLabel, ctl::外形框1, {12, 156, 144, 24}, "当前缓存：0"},
      {ctl::标签6, K::kLabel, ctl::外形框1, {12, 176, 104, 16}, "需要等待开启输出："},
      {ctl::选择框2, K::kCheckBox, ctl::外形框1, {120, 176, 16, 16}, ""},
      {ctl::标签5, K::kLabel, ctl::外形框1, {12, 192, 80, 16}, "跳过无中文行："},
      {ctl::选择框1, K::kCheckBox, ctl::外形框1, {120, 189, 16, 24}, ""},
      {ctl::按钮2, K::kButton, ctl::外形框1, {8, 212, 72, 32}, "打开文件"},
      {ctl::按钮3, K::kButton, ctl::外形框1, {88, 212, 72, 32}, "保存配置"},
      {ctl::按钮1, K::kButton, ctl::外形框1, {8, 252, 112, 32}, "初始化.."},
      {ctl::按钮4, K::kButton, ctl::外形框1, {128, 256, 32, 24}, "跳过"},
      {ctl::时钟1, K::kTimer, "", {}, ""},
      {ctl::媒体播放1, K::kMediaPlayer, "", {}, ""},
      {ctl::通用对话框1, K::kFileDialog, "", {}, ""},
      // Added around the form: the free top of 外形框1 and a line below the text boxes.
      {ctl::标签_语速, K::kLabel, ctl::外形框1, {12, 6, 40, 20}, "语速"},
      {ctl::组合框_语速, K::kComboBox, ctl::外形框1, {56, 4, 100, 22}, ""},
      {ctl::标签_音量, K::kLabel, ctl::外形框1, {12, 28, 40, 20}, "音量"},
      {ctl::滑块条_音量, K::kSlider, ctl::外形框1, {56, 28, 100, 20}, ""},
      {ctl::标签_定时, K::kLabel, ctl::外形框1, {12, 50, 40, 20}, "定时"},
      {ctl::组合框_定时, K::kComboBox, ctl::外形框1, {56, 48, 100, 22}, ""},
      {ctl::状态条1, K::kLabel, "", {8, 425, 680, 15}, ""},
      // In the free band between the voice group and the control group.
      {ctl::按钮_规则, K::kButton, "", {696, 107, 74, 26}, "朗读规则…"},
      {ctl::按钮_书架, K::kButton, "", {774, 107, 74, 26}, "书架…"},
  };
  // clang-format on

  std::vector<Control> controls;
  for (const Def& def : defs) {
    Control c = Make(def);
    switch (c.kind) {
      case K::kListView:
        c.style.columns.push_back({Utf8ToGbk("目录"), 150});
        break;
      case K::kEdit:
        c.style.multiLine = true;
        c.style.verticalScrollBar = true;
        c.style.whiteBackground = true;
        break;
      case K::kTimer:
        c.style.intervalMs = 1000;
        c.visible = false;  // invisible components; the timer runs from creation
        break;
      case K::kMediaPlayer:
      case K::kFileDialog:
        c.visible = false;
        break;
      case K::kSlider:
        c.style.minimum = 0;
        c.style.maximum = 100;
        c.value = 100;
        break;
      default:
        break;
    }
    if (c.name == ctl::标签7 || c.name == ctl::标签4) c.style.wordWrap = true;
    if (c.name == ctl::标签2 || c.name == ctl::标签3 || c.name == ctl::组合框_语音 ||
        c.name == ctl::组合框_语音风格 || c.name == ctl::超级链接框1 || c.name == ctl::状态条1)
      c.style.font = YaheiFont();
    if (c.name == ctl::按钮1) c.enabled = false;  // until the voice list has been loaded
    controls.push_back(std::move(c));
  }
  return controls;
}

}  // namespace lectoria
