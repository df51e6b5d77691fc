#include "audio/test_clips.h"

#include <fstream>
#include <random>

#include "audio/tools/mp3_writer.h"

namespace lectoria::testing {

ScratchDir::ScratchDir() {
  std::random_device random;
  path_ = std::filesystem::temp_directory_path() /
          ("lectoria-audio-test-" + std::to_string(random()) + std::to_string(random()));
  std::filesystem::create_directories(path_);
}

ScratchDir::~ScratchDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::vector<std::uint8_t> ToneMp3(int ms, int rate, int channels) {
  const std::vector<std::int16_t> samples = MakeTone(ms, rate, channels, 440.0, 0.5);
  return EncodeMp3(samples, rate, channels, channels == 1 ? 64 : 128);
}

std::filesystem::path WriteToneMp3(const std::filesystem::path& path, int ms, int rate,
                                   int channels) {
  WriteBytes(path, ToneMp3(ms, rate, channels));
  return path;
}

std::filesystem::path WriteText(const std::filesystem::path& path, const std::string& text) {
  std::ofstream(path, std::ios::binary) << text;
  return path;
}

void NoticeRecorder::Record() {
  std::lock_guard lock(mutex_);
  if (count_++ == 0) first_call_ = Clock::now();
  called_.notify_all();
}

int NoticeRecorder::WaitFor(int count, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  called_.wait_for(lock, timeout, [&] { return count_ >= count; });
  return count_;
}

int NoticeRecorder::count() {
  std::lock_guard lock(mutex_);
  return count_;
}

NoticeRecorder::Clock::time_point NoticeRecorder::first_call() {
  std::lock_guard lock(mutex_);
  return first_call_;
}

OutputTap SoundRecorder::Tap() {
  return [this](std::span<const std::int16_t> samples, int rate, int channels) {
    std::lock_guard lock(mutex_);
    samples_.insert(samples_.end(), samples.begin(), samples.end());
    rate_ = rate;
    channels_ = channels;
  };
}

void SoundRecorder::Clear() {
  std::lock_guard lock(mutex_);
  samples_.clear();
}

std::vector<std::int16_t> SoundRecorder::samples() {
  std::lock_guard lock(mutex_);
  return samples_;
}

double SoundRecorder::Ms() {
  std::lock_guard lock(mutex_);
  return rate_ > 0 ? 1000.0 * static_cast<double>(samples_.size()) / channels_ / rate_ : 0.0;
}

int SoundRecorder::channels() {
  std::lock_guard lock(mutex_);
  return channels_;
}

double ToneFrequency(std::span<const std::int16_t> samples, int channels, int rate) {
  const std::size_t frames = samples.size() / static_cast<std::size_t>(channels);
  if (frames < 2) return 0.0;
  int crossings = 0;
  for (std::size_t i = 1; i < frames; ++i) {
    const bool before = samples[(i - 1) * channels] < 0;
    if (before != (samples[i * channels] < 0)) ++crossings;
  }
  return crossings / 2.0 * rate / static_cast<double>(frames - 1);
}

}  // namespace lectoria::testing
