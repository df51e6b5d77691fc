#include "app/ports/hotkeys.h"

#include <algorithm>

namespace lectoria {

bool HotkeyRegistry::RegisterGlobalHotkey(WindowHandle window, std::uint32_t modifiers,
                                          std::uint32_t key, std::function<void()> handler,
                                          std::int32_t id) {
  std::unique_lock lock(mutex_);
  // An id stands for one hotkey: the earlier registration is released and forgotten, so a
  // re-registered id runs its new handler rather than the first one recorded.
  std::vector<Entry> stale;
  auto sameId = [id](const Entry& e) { return e.id == id; };
  std::copy_if(entries_.begin(), entries_.end(), std::back_inserter(stale), sameId);
  entries_.erase(std::remove_if(entries_.begin(), entries_.end(), sameId), entries_.end());
  for (const Entry& e : stale) backend_.Unregister(e.window, e.id);

  if (!backend_.Register(window, id, modifiers, key)) return false;
  entries_.push_back({window, id, std::move(handler)});
  const bool attach = std::find(attached_.begin(), attached_.end(), window) == attached_.end();
  if (attach) attached_.push_back(window);
  lock.unlock();
  // Attached once per window: hooking a window twice would chain the receiver to itself.
  if (attach) backend_.Attach(window, [this](std::int32_t pressed) { OnHotkey(pressed); });
  return true;
}

void HotkeyRegistry::OnHotkey(std::int32_t id) {
  std::function<void()> handler;
  {
    std::lock_guard lock(mutex_);
    auto it =
        std::find_if(entries_.begin(), entries_.end(), [id](const Entry& e) { return e.id == id; });
    if (it == entries_.end()) return;
    handler = it->handler;
  }
  if (handler) handler();
}

std::size_t HotkeyRegistry::size() const {
  std::lock_guard lock(mutex_);
  return entries_.size();
}

}  // namespace lectoria
