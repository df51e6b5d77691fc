// The opaque window handle through which the platform ports (hotkeys) name a window.
#pragma once

#include <cstdint>

namespace lectoria {

/// An opaque handle for the window, as the hotkey port needs one.
using WindowHandle = std::uintptr_t;

}  // namespace lectoria
