#include "support/fake_ports.h"

namespace lectoria {

bool FakeHotkeyBackend::Register(WindowHandle window, std::int32_t id, std::uint32_t modifiers,
                                 std::uint32_t key) {
  std::lock_guard lock(mutex_);
  if (refused_.count({modifiers, key})) return false;
  for (const auto& [otherId, grab] : grabs_)
    if (otherId != id && grab.modifiers == modifiers && grab.key == key) return false;
  grabs_[id] = {window, modifiers, key};
  return true;
}

void FakeHotkeyBackend::Unregister(WindowHandle window, std::int32_t id) {
  std::lock_guard lock(mutex_);
  ++unregisterCount_;
  auto it = grabs_.find(id);
  if (it != grabs_.end() && it->second.window == window) grabs_.erase(it);
}

void FakeHotkeyBackend::Attach(WindowHandle window, std::function<void(std::int32_t)> receiver) {
  std::lock_guard lock(mutex_);
  ++attachCount_;
  receivers_[window] = std::move(receiver);
}

void FakeHotkeyBackend::Refuse(std::uint32_t modifiers, std::uint32_t key) {
  std::lock_guard lock(mutex_);
  refused_.insert({modifiers, key});
}

bool FakeHotkeyBackend::Press(std::uint32_t modifiers, std::uint32_t key) {
  std::function<void(std::int32_t)> receiver;
  std::int32_t id = 0;
  {
    std::lock_guard lock(mutex_);
    bool found = false;
    for (const auto& [grabId, grab] : grabs_) {
      if (grab.modifiers == modifiers && grab.key == key) {
        auto it = receivers_.find(grab.window);
        if (it != receivers_.end()) receiver = it->second;
        id = grabId;
        found = true;
        break;
      }
    }
    if (!found) return false;
  }
  if (receiver) receiver(id);
  return true;
}

bool FakeHotkeyBackend::IsRegistered(std::int32_t id) const {
  std::lock_guard lock(mutex_);
  return grabs_.count(id) != 0;
}

int FakeHotkeyBackend::AttachCount() const {
  std::lock_guard lock(mutex_);
  return attachCount_;
}

int FakeHotkeyBackend::UnregisterCount() const {
  std::lock_guard lock(mutex_);
  return unregisterCount_;
}

void FakeMessageBox::ShowMessage(std::string_view text, std::string_view title) {
  Message message{std::string(text), std::string(title)};
  std::function<void(const Message&)> onShow;
  {
    std::lock_guard lock(mutex_);
    messages_.push_back(message);
    onShow = onShow_;
  }
  if (onShow) onShow(message);
}

std::vector<FakeMessageBox::Message> FakeMessageBox::Messages() const {
  std::lock_guard lock(mutex_);
  return messages_;
}

void FakeMessageBox::SetOnShow(std::function<void(const Message&)> onShow) {
  std::lock_guard lock(mutex_);
  onShow_ = std::move(onShow);
}

std::filesystem::path FakeFileDialog::ShowOpenDialog(std::string_view filter) {
  std::lock_guard lock(mutex_);
  filters_.emplace_back(filter);
  if (answers_.empty()) return {};
  std::filesystem::path answer = std::move(answers_.front());
  answers_.pop_front();
  return answer;
}

void FakeFileDialog::QueueAnswer(std::filesystem::path path) {
  std::lock_guard lock(mutex_);
  answers_.push_back(std::move(path));
}

std::vector<std::string> FakeFileDialog::Filters() const {
  std::lock_guard lock(mutex_);
  return filters_;
}

}  // namespace lectoria
