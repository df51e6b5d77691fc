#include "audio/time_stretcher.h"

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>

namespace lectoria {
namespace {

// Frames converted at a time; the float buffer is sized once for this.
constexpr std::size_t kBlockFrames = 1024;

// SoundTouch's defaults suit music. Shorter sequences with a narrower search follow the quick
// changes of speech and avoid its echo-like doubling (the values of soundstretch's -speech).
constexpr int kSpeechSequenceMs = 40;
constexpr int kSpeechSeekWindowMs = 15;
constexpr int kSpeechOverlapMs = 8;

constexpr float kScale = 32768.0f;

}  // namespace

TimeStretcher::TimeStretcher(int rate, int channels)
    : touch_(std::make_unique<soundtouch::SoundTouch>()),
      channels_(channels),
      buffer_(kBlockFrames * static_cast<std::size_t>(channels)) {
  touch_->setSampleRate(static_cast<unsigned>(rate));
  touch_->setChannels(static_cast<unsigned>(channels));
  touch_->setSetting(SETTING_SEQUENCE_MS, kSpeechSequenceMs);
  touch_->setSetting(SETTING_SEEKWINDOW_MS, kSpeechSeekWindowMs);
  touch_->setSetting(SETTING_OVERLAP_MS, kSpeechOverlapMs);
  touch_->setTempo(speed_);
}

TimeStretcher::~TimeStretcher() = default;

void TimeStretcher::SetSpeed(double speed) {
  speed_ = speed;
  touch_->setTempo(speed);
}

void TimeStretcher::Put(const std::int16_t* samples, std::size_t frames) {
  const auto channels = static_cast<std::size_t>(channels_);
  while (frames > 0) {
    const std::size_t block = std::min(frames, kBlockFrames);
    for (std::size_t i = 0; i < block * channels; ++i) buffer_[i] = samples[i] / kScale;
    touch_->putSamples(buffer_.data(), static_cast<unsigned>(block));
    samples += block * channels;
    frames -= block;
  }
}

void TimeStretcher::Flush() {
  touch_->flush();
}

std::size_t TimeStretcher::Receive(std::int16_t* out, std::size_t frames) {
  const auto channels = static_cast<std::size_t>(channels_);
  std::size_t received = 0;
  while (received < frames) {
    const std::size_t want = std::min(frames - received, kBlockFrames);
    const std::size_t got = touch_->receiveSamples(buffer_.data(), static_cast<unsigned>(want));
    for (std::size_t i = 0; i < got * channels; ++i) {
      // Overlapping segments can add up beyond full scale; clip rather than wrap around.
      const float scaled = std::round(buffer_[i] * kScale);
      out[i] = static_cast<std::int16_t>(std::clamp(scaled, -32768.0f, 32767.0f));
    }
    out += got * channels;
    received += got;
    if (got < want) break;
  }
  return received;
}

std::size_t TimeStretcher::ReadyFrames() const {
  return touch_->numSamples();
}

std::size_t TimeStretcher::HeldInputFrames() const {
  return touch_->numUnprocessedSamples() +
         static_cast<std::size_t>(std::lround(touch_->numSamples() * speed_));
}

void TimeStretcher::Clear() {
  touch_->clear();
}

}  // namespace lectoria
