// Headless stand-ins for the hotkey, message-box and file-dialog ports, for the tests.
#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "app/ports/dialogs.h"
#include "app/ports/hotkeys.h"

namespace lectoria {

/// Records registrations; Press() plays the user pressing a combination.
class FakeHotkeyBackend : public HotkeyBackend {
 public:
  bool Register(WindowHandle window, std::int32_t id, std::uint32_t modifiers,
                std::uint32_t key) override;
  void Unregister(WindowHandle window, std::int32_t id) override;
  void Attach(WindowHandle window, std::function<void(std::int32_t)> receiver) override;

  /// Makes later registrations of this combination fail, as when another program holds it.
  void Refuse(std::uint32_t modifiers, std::uint32_t key);
  /// Delivers a press of modifiers+key to the attached receiver; false when no hotkey of that
  /// combination is registered (the press then goes elsewhere).
  bool Press(std::uint32_t modifiers, std::uint32_t key);

  bool IsRegistered(std::int32_t id) const;
  int AttachCount() const;
  int UnregisterCount() const;

 private:
  struct Grab {
    WindowHandle window;
    std::uint32_t modifiers;
    std::uint32_t key;
  };
  mutable std::mutex mutex_;
  std::set<std::pair<std::uint32_t, std::uint32_t>> refused_;
  std::map<std::int32_t, Grab> grabs_;
  std::map<WindowHandle, std::function<void(std::int32_t)>> receivers_;
  int attachCount_ = 0;
  int unregisterCount_ = 0;
};

/// Records every message and returns at once (or after `onShow`, which a test may use to
/// hold the caller as a modal box would).
class FakeMessageBox : public MessageBoxPort {
 public:
  struct Message {
    std::string text;
    std::string title;
  };
  void ShowMessage(std::string_view text, std::string_view title) override;
  std::vector<Message> Messages() const;
  void SetOnShow(std::function<void(const Message&)> onShow);

 private:
  mutable std::mutex mutex_;
  std::vector<Message> messages_;
  std::function<void(const Message&)> onShow_;
};

/// Answers each dialog with the next queued path; an empty queue answers like a cancel.
class FakeFileDialog : public FileDialogPort {
 public:
  std::filesystem::path ShowOpenDialog(std::string_view filter) override;
  void QueueAnswer(std::filesystem::path path);
  std::vector<std::string> Filters() const;

 private:
  mutable std::mutex mutex_;
  std::deque<std::filesystem::path> answers_;
  std::vector<std::string> filters_;
};

}  // namespace lectoria
