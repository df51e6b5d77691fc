// How the window's controls take the room of a window larger than the form.
#pragma once

#include <string_view>

#include "app/window/window_types.h"

namespace lectoria {

/// The place of a control whose form geometry is `form` in a client area of `clientWidth` by
/// `clientHeight`. Up to the form's outer size (876 by 470) the form's arrangement holds; the
/// room beyond it goes to the chapter list (a third of the width, all of the height) and the
/// chapter text (the rest of the width, all of the height). The current line and the status
/// line move down with the bottom edge, the two frames on the right move with the right edge
/// and keep their size, and the controls inside them keep their places in the frame.
Rect GrownGeometry(std::string_view control, const Rect& form, int clientWidth, int clientHeight);

}  // namespace lectoria
