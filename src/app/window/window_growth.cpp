#include "app/window/window_growth.h"

#include <algorithm>

#include "app/window/control_names.h"
#include "app/window/main_window.h"

namespace lectoria {

Rect GrownGeometry(std::string_view control, const Rect& form, int clientWidth, int clientHeight) {
  const Rect frame = MainWindowFrame();
  const int dx = std::max(0, clientWidth - frame.width);
  const int dy = std::max(0, clientHeight - frame.height);
  const int listShare = dx / 3;
  Rect r = form;
  if (control == ctl::超级列表框1) {
    r.width += listShare;
    r.height += dy;
  } else if (control == ctl::编辑框1) {
    r.left += listShare;
    r.width += dx - listShare;
    r.height += dy;
  } else if (control == ctl::编辑框3) {
    r.left += listShare;
    r.width += dx - listShare;
    r.top += dy;
  } else if (control == ctl::状态条1) {
    r.top += dy;
    r.width += dx;
  } else if (control == ctl::外形框1 || control == ctl::外形框2 || control == ctl::按钮_规则 ||
             control == ctl::按钮_书架) {
    r.left += dx;
  }
  return r;
}

}  // namespace lectoria
