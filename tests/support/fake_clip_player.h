// A clip player for tests: no sound, states changed by plain calls, every command recorded.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
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
    position_ = 0;
    return true;
  }

  bool Play(std::int64_t fromMs = -1) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("play " + std::to_string(fromMs));
    lastWasPause_ = false;
    if (openPath_.empty()) return false;
    if (fromMs >= 0) position_ = std::min(fromMs, clipLength_);
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
    position_ = 0;
  }

  void SetEndOfClipNotice(std::function<void()> notice) override {
    std::lock_guard lock(mutex_);
    notice_ = std::move(notice);
  }

  bool SetSpeed(double speed) override {
    std::lock_guard lock(mutex_);
    char text[32];
    std::snprintf(text, sizeof text, "speed %g", speed);
    calls_.push_back(text);
    if (!(speed >= kMinPlaybackSpeed && speed <= kMaxPlaybackSpeed)) return false;
    speed_ = speed;
    return true;
  }
  double Speed() override {
    std::lock_guard lock(mutex_);
    return speed_;
  }

  bool SetVolume(int percent) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("volume " + std::to_string(percent));
    if (percent < 0 || percent > kMaxVolume) return false;
    volume_ = percent;
    return true;
  }
  int Volume() override {
    std::lock_guard lock(mutex_);
    return volume_;
  }

  /// Moves within a clip of SetClipLength's length; ending the clip is left to FinishClip.
  bool SeekTo(std::int64_t ms) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("seek to " + std::to_string(ms));
    return SeekLocked(ms);
  }
  bool SeekBy(std::int64_t deltaMs) override {
    std::lock_guard lock(mutex_);
    calls_.push_back("seek by " + std::to_string(deltaMs));
    return SeekLocked(position_ + deltaMs);
  }
  std::int64_t PositionMs() override {
    std::lock_guard lock(mutex_);
    return position_;
  }
  std::int64_t LengthMs() override {
    std::lock_guard lock(mutex_);
    return openPath_.empty() ? 0 : clipLength_;
  }

  /// The length every clip has (one minute unless set).
  void SetClipLength(std::int64_t ms) {
    std::lock_guard lock(mutex_);
    clipLength_ = ms;
  }
  /// Moves the open clip's position, as playing would.
  void SetPosition(std::int64_t ms) {
    std::lock_guard lock(mutex_);
    position_ = ms;
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
      position_ = clipLength_;
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
  bool SeekLocked(std::int64_t ms) {
    if (openPath_.empty()) return false;
    position_ = std::clamp<std::int64_t>(ms, 0, clipLength_);
    return true;
  }

  mutable std::mutex mutex_;
  std::vector<std::string> calls_;
  std::filesystem::path openPath_;
  PlayerStatus status_ = PlayerStatus::kNone;
  bool lastWasPause_ = false;
  int closeCount_ = 0;
  double speed_ = 1.0;
  int volume_ = kMaxVolume;
  std::int64_t position_ = 0;
  std::int64_t clipLength_ = 60'000;
  std::function<void()> notice_;
  std::set<std::string> refused_;
  std::set<std::string> throwing_;
};

}  // namespace lectoria::testing
