#include "ui/x11_hotkeys.h"

#include <QObject>
#include <QSocketNotifier>
#include <algorithm>
#include <map>
#include <mutex>
#include <vector>

// Xlib's macros (None, KeyPress, Bool, ...) clash with Qt's names: X11 comes last.
#include <X11/Xlib.h>
#include <X11/keysym.h>

namespace lectoria {
namespace {

// Windows hotkey modifier flags.
constexpr std::uint32_t kWinAlt = 0x1, kWinControl = 0x2, kWinShift = 0x4, kWinKey = 0x8,
                        kWinNoRepeat = 0x4000;

// The modifiers a hotkey is told apart by; the lock keys and mouse buttons are not.
constexpr unsigned kRelevantModifiers = ShiftMask | ControlMask | Mod1Mask | Mod4Mask;

KeySym KeySymForVirtualKey(std::uint32_t vk) {
  if (vk >= 'A' && vk <= 'Z') return XK_a + (vk - 'A');
  if (vk >= '0' && vk <= '9') return XK_0 + (vk - '0');
  if (vk >= 0x70 && vk <= 0x87) return XK_F1 + (vk - 0x70);  // F1-F24
  switch (vk) {
    case 0x08:
      return XK_BackSpace;
    case 0x09:
      return XK_Tab;
    case 0x0D:
      return XK_Return;
    case 0x1B:
      return XK_Escape;
    case 0x20:
      return XK_space;
    case 0x21:
      return XK_Prior;
    case 0x22:
      return XK_Next;
    case 0x23:
      return XK_End;
    case 0x24:
      return XK_Home;
    case 0x25:
      return XK_Left;
    case 0x26:
      return XK_Up;
    case 0x27:
      return XK_Right;
    case 0x28:
      return XK_Down;
    case 0x2D:
      return XK_Insert;
    case 0x2E:
      return XK_Delete;
    default:
      return NoSymbol;
  }
}

bool ModifiersForWindowsFlags(std::uint32_t flags, unsigned* x) {
  if (flags & ~(kWinAlt | kWinControl | kWinShift | kWinKey | kWinNoRepeat)) return false;
  *x = 0;
  if (flags & kWinAlt) *x |= Mod1Mask;
  if (flags & kWinControl) *x |= ControlMask;
  if (flags & kWinShift) *x |= ShiftMask;
  if (flags & kWinKey) *x |= Mod4Mask;
  return true;
}

// Catches the errors of one display while grabbing. Xlib's error handler is process-wide:
// the trap installs its own for the duration and passes other displays' errors on.
std::mutex g_trapMutex;
Display* g_trapDisplay = nullptr;
int g_trapError = 0;
XErrorHandler g_previousHandler = nullptr;

int TrapErrors(Display* display, XErrorEvent* error) {
  if (display == g_trapDisplay) {
    if (g_trapError == 0) g_trapError = error->error_code;
    return 0;
  }
  return g_previousHandler ? g_previousHandler(display, error) : 0;
}

class ErrorTrap {
 public:
  explicit ErrorTrap(Display* display) : lock_(g_trapMutex) {
    g_trapDisplay = display;
    g_trapError = 0;
    g_previousHandler = XSetErrorHandler(TrapErrors);
  }
  ~ErrorTrap() {
    XSetErrorHandler(g_previousHandler);
    g_trapDisplay = nullptr;
  }
  /// Waits for the server's answers to everything sent so far; the first error's code.
  int Sync(Display* display) {
    XSync(display, False);
    return g_trapError;
  }

 private:
  std::lock_guard<std::mutex> lock_;
};

// Xlib's I/O error handler is process-wide too, and its default ends the process. The
// backend's connections are only a convenience: when one breaks, the handler returns and the
// backend's exit handler marks it dead. Other connections get the handler found before.
std::mutex g_ioMutex;
std::vector<Display*> g_ownDisplays;
XIOErrorHandler g_previousIoHandler = nullptr;
bool g_ioHandlerInstalled = false;

int OnIoError(Display* display) {
  {
    std::lock_guard lock(g_ioMutex);
    if (std::find(g_ownDisplays.begin(), g_ownDisplays.end(), display) != g_ownDisplays.end())
      return 0;
  }
  return g_previousIoHandler ? g_previousIoHandler(display) : 0;
}

void AdoptDisplay(Display* display) {
  std::lock_guard lock(g_ioMutex);
  g_ownDisplays.push_back(display);
  if (!g_ioHandlerInstalled) {
    g_previousIoHandler = XSetIOErrorHandler(OnIoError);
    g_ioHandlerInstalled = true;
  }
}

void ReleaseDisplay(Display* display) {
  std::lock_guard lock(g_ioMutex);
  g_ownDisplays.erase(std::remove(g_ownDisplays.begin(), g_ownDisplays.end(), display),
                      g_ownDisplays.end());
}

}  // namespace

struct X11HotkeyBackend::Impl {
  struct Grab {
    WindowHandle window;
    std::int32_t id;
    KeyCode keycode;
    unsigned modifiers;
  };

  Display* display = nullptr;
  Window root = 0;
  unsigned numLockMask = 0;
  bool broken = false;
  std::unique_ptr<QSocketNotifier> notifier;
  std::vector<Grab> grabs;
  std::map<WindowHandle, std::function<void(std::int32_t)>> receivers;
  std::mutex mutex;

  // Each lock combination the grab is repeated for.
  std::vector<unsigned> LockVariants() const {
    std::vector<unsigned> variants{0, LockMask};
    if (numLockMask != 0) {
      variants.push_back(numLockMask);
      variants.push_back(numLockMask | LockMask);
    }
    return variants;
  }

  void Ungrab(const Grab& grab) {
    for (unsigned lock : LockVariants())
      XUngrabKey(display, grab.keycode, grab.modifiers | lock, root);
  }

  void FindNumLock() {
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(display);
    if (!map) return;
    for (int mod = 0; mod < 8 && numLock != 0; ++mod)
      for (int k = 0; k < map->max_keypermod; ++k)
        if (map->modifiermap[mod * map->max_keypermod + k] == numLock) numLockMask = 1u << mod;
    XFreeModifiermap(map);
  }

  bool Usable() const { return display && !broken; }

  // Called by Xlib when the connection breaks (the server went away). Returning, instead of
  // the default exit(), leaves the display dead; the backend stops using it.
  static void ConnectionLost(Display*, void* data) { static_cast<Impl*>(data)->broken = true; }
};

X11HotkeyBackend::X11HotkeyBackend(std::optional<std::string> display)
    : impl_(std::make_unique<Impl>()) {
  if (!display) return;
  impl_->display = XOpenDisplay(display->empty() ? nullptr : display->c_str());
  if (!impl_->display) return;
  AdoptDisplay(impl_->display);
  XSetIOErrorExitHandler(impl_->display, Impl::ConnectionLost, impl_.get());
  impl_->root = DefaultRootWindow(impl_->display);
  impl_->FindNumLock();
  impl_->notifier =
      std::make_unique<QSocketNotifier>(ConnectionNumber(impl_->display), QSocketNotifier::Read);
  QObject::connect(impl_->notifier.get(), &QSocketNotifier::activated, impl_->notifier.get(),
                   [this] { ProcessEvents(); });
}

X11HotkeyBackend::~X11HotkeyBackend() {
  impl_->notifier.reset();
  if (!impl_->display) return;
  if (!impl_->broken)
    for (const Impl::Grab& grab : impl_->grabs) impl_->Ungrab(grab);
  // After an I/O error Xlib skips the final round trip and only frees the connection.
  XCloseDisplay(impl_->display);
  ReleaseDisplay(impl_->display);
}

bool X11HotkeyBackend::Connected() const {
  return impl_->Usable();
}

bool X11HotkeyBackend::Register(WindowHandle window, std::int32_t id, std::uint32_t modifiers,
                                std::uint32_t key) {
  {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->Usable()) return false;
    Display* display = impl_->display;
    unsigned xmods = 0;
    const KeySym sym = KeySymForVirtualKey(key);
    if (!ModifiersForWindowsFlags(modifiers, &xmods) || sym == NoSymbol) return false;
    const KeyCode keycode = XKeysymToKeycode(display, sym);
    if (keycode == 0) return false;

    // The id's earlier grab goes first; a combination another id holds is refused.
    auto& grabs = impl_->grabs;
    for (auto it = grabs.begin(); it != grabs.end();) {
      if (it->id == id) {
        impl_->Ungrab(*it);
        it = grabs.erase(it);
      } else {
        ++it;
      }
    }
    for (const Impl::Grab& grab : grabs)
      if (grab.keycode == keycode && grab.modifiers == xmods) return false;

    const Impl::Grab grab{window, id, keycode, xmods};
    int error;
    {
      ErrorTrap trap(display);
      for (unsigned lockMask : impl_->LockVariants())
        XGrabKey(display, keycode, xmods | lockMask, impl_->root, False, GrabModeAsync,
                 GrabModeAsync);
      error = trap.Sync(display);
      if (error != 0) {
        // Typically BadAccess: another client holds the combination. Release what we got.
        impl_->Ungrab(grab);
        trap.Sync(display);
      }
    }
    if (error != 0 || impl_->broken) return false;
    grabs.push_back(grab);
  }
  // XSync may have read events into Xlib's queue, where the socket notifier cannot see them.
  QMetaObject::invokeMethod(
      impl_->notifier.get(), [this] { ProcessEvents(); }, Qt::QueuedConnection);
  return true;
}

void X11HotkeyBackend::Unregister(WindowHandle window, std::int32_t id) {
  std::lock_guard lock(impl_->mutex);
  if (!impl_->Usable()) return;
  auto& grabs = impl_->grabs;
  for (auto it = grabs.begin(); it != grabs.end();) {
    if (it->id == id && it->window == window) {
      impl_->Ungrab(*it);
      it = grabs.erase(it);
    } else {
      ++it;
    }
  }
  // Synchronous, so that the combination is free for others once this returns.
  XSync(impl_->display, False);
}

void X11HotkeyBackend::Attach(WindowHandle window, std::function<void(std::int32_t)> receiver) {
  std::lock_guard lock(impl_->mutex);
  impl_->receivers[window] = std::move(receiver);
}

void X11HotkeyBackend::ProcessEvents() {
  std::vector<std::pair<std::function<void(std::int32_t)>, std::int32_t>> presses;
  {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->Usable()) return;
    while (!impl_->broken && XPending(impl_->display) > 0) {
      XEvent event;
      XNextEvent(impl_->display, &event);
      if (event.type != KeyPress) continue;
      const unsigned state = event.xkey.state & kRelevantModifiers;
      for (const Impl::Grab& grab : impl_->grabs) {
        if (grab.keycode != event.xkey.keycode || grab.modifiers != state) continue;
        auto receiver = impl_->receivers.find(grab.window);
        if (receiver != impl_->receivers.end()) presses.emplace_back(receiver->second, grab.id);
        break;
      }
    }
    if (impl_->broken && impl_->notifier) impl_->notifier->setEnabled(false);
  }
  // Outside the lock: a handler may register or unregister hotkeys.
  for (auto& [receiver, id] : presses) receiver(id);
}

bool X11DisplayReachable(const char* display) {
  Display* d = XOpenDisplay(display);
  if (!d) return false;
  XCloseDisplay(d);
  return true;
}

}  // namespace lectoria
