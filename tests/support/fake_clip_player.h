// A clip player for tests: no sound, states changed by plain calls, every command recorded.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/clip_player.h"

namespace lectoria::testing {

class FakeClipPlayer : public ClipPlayer {
 public:
  /// Open fails for a file that does not exist or is empty (no audio), as the real player does.
  bool Open(const std::filesystem::path& path) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("open " + path.filename().string());
    openPath_.clear();
    lastWasPause_ = false;
    if (throwing_.count(path.filename().string())) {
      // Fails half-way, as a player running out of memory while decoding would.
      status_ = PlayerStatus::kNone;
      throw std::runtime_error("open " + path.filename().string());
    }
    std::error_code ec;
    if (!std::filesystem::is_regular_file(path, ec) || std::filesystem::file_size(path, ec) == 0 ||
        refused_.count(path.filename().string())) {
      status_ = PlayerStatus::kNone;
      return false;
    }
    openPath_ = path;
    status_ = PlayerStatus::kStopped;
    return true;
  }

  bool Play(std::int64_t fromMs = -1) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("play " + std::to_string(fromMs));
    lastWasPause_ = false;
    if (openPath_.empty()) return false;
    status_ = PlayerStatus::kPlaying;
    return true;
  }

  bool Pause() override {
    std::lock_guard lock(mutex_);
    calls_.push_back("pause");
    if (openPath_.empty()) return false;
    // A pause straight after a pause resumes.
    status_ = lastWasPause_ ? PlayerStatus::kPlaying : PlayerStatus::kPaused;
    lastWasPause_ = !lastWasPause_;
    return true;
  }

  PlayerStatus Status() override {
    std::lock_guard lock(mutex_);
    return status_;
  }

  void Close() override {
    std::lock_guard lock(mutex_);
    calls_.push_back("close");
    ++closeCount_;
    openPath_.clear();
    status_ = PlayerStatus::kNone;
  }

  void SetEndOfClipNotice(std::function<void()> notice) override {
    std::lock_guard lock(mutex_);
    notice_ = std::move(notice);
  }

  /// Makes opening files of this name fail, as for a damaged clip.
  void RefuseToOpen(const std::string& filename) {
    std::lock_guard lock(mutex_);
    refused_.insert(filename);
  }

  /// Makes opening files of this name throw, for the threads that must survive a failing port.
  void ThrowOnOpen(const std::string& filename) {
    std::lock_guard lock(mutex_);
    throwing_.insert(filename);
  }

  /// Plays the open clip to its end: status stopped, then the end-of-clip notice.
  void FinishClip() {
    std::function<void()> notice;
    {
      std::lock_guard lock(mutex_);
      if (status_ != PlayerStatus::kPlaying) return;
      status_ = PlayerStatus::kStopped;
      notice = notice_;
    }
    if (notice) notice();
  }

  std::vector<std::string> Calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
  }
  int CloseCount() const {
    std::lock_guard lock(mutex_);
    return closeCount_;
  }
  std::filesystem::path OpenPath() const {
    std::lock_guard lock(mutex_);
    return openPath_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::filesystem::path openPath_;
  PlayerStatus status_ = PlayerStatus::kNone;
  bool lastWasPause_ = false;
  int closeCount_ = 0;
  std::function<void()> notice_;
  std::set<std::string> refused_;
  std::set<std::string> throwing_;
};

}  // namespace lectoria::testing
