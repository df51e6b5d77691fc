#include "audio/playback_core.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace lectoria {
namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
// Source frames handed to the converter at a time; small enough to keep the callback short.
constexpr std::size_t kConvertChunkFrames = 4096;

}  // namespace

PlaybackCore::PlaybackCore(OutputFormat output) : output_(output) {}

PlaybackCore::~PlaybackCore() {
  if (converter_) SDL_FreeAudioStream(converter_);
}

bool PlaybackCore::Install(std::shared_ptr<const DecodedClip> clip, std::string name) {
  SDL_AudioStream* converter = nullptr;
  if (output_.rate > 0 && (clip->rate != output_.rate || clip->channels != output_.channels)) {
    converter =
        SDL_NewAudioStream(AUDIO_S16SYS, static_cast<Uint8>(clip->channels), clip->rate,
                           AUDIO_S16SYS, static_cast<Uint8>(output_.channels), output_.rate);
    if (!converter) {
      Close();
      return false;
    }
  }
  {
    std::lock_guard lock(mutex_);
    std::swap(clip_, clip);
    std::swap(converter_, converter);
    name_ = std::move(name);
    state_ = State::kStopped;
    frame_ = 0;
    last_handed_out_ = false;
    ++run_;
  }
  // The previous clip is freed outside the lock, so the audio callback never waits for it.
  if (converter) SDL_FreeAudioStream(converter);
  return true;
}

std::string PlaybackCore::Close() {
  std::shared_ptr<const DecodedClip> clip;
  SDL_AudioStream* converter = nullptr;
  std::string name;
  {
    std::lock_guard lock(mutex_);
    if (state_ == State::kNone) return {};
    std::swap(clip_, clip);
    std::swap(converter_, converter);
    std::swap(name_, name);
    state_ = State::kNone;
    frame_ = 0;
    last_handed_out_ = false;
    ++run_;
  }
  if (converter) SDL_FreeAudioStream(converter);
  return name;
}

bool PlaybackCore::Play(std::int64_t fromMs, std::string* name) {
  std::lock_guard lock(mutex_);
  if (state_ == State::kNone || fromMs < -1) return false;
  if (fromMs >= 0) {
    if (fromMs > clip_->LengthMs()) return false;
    // Rounded up, so that the position reads back as the one asked for.
    const std::int64_t frame = (fromMs * clip_->rate + 999) / 1000;
    frame_ = std::min(clip_->Frames(), static_cast<std::size_t>(frame));
    if (converter_) SDL_AudioStreamClear(converter_);
    last_handed_out_ = false;
  }
  if (state_ != State::kPlaying) consume_carry_ = 0;
  state_ = State::kPlaying;
  ++run_;
  if (name) *name = name_;
  wake_.notify_all();
  return true;
}

PauseResult PlaybackCore::Pause(std::string* name) {
  std::lock_guard lock(mutex_);
  if (name) *name = name_;
  switch (state_) {
    case State::kPlaying:
      state_ = State::kPaused;
      return PauseResult::kPaused;
    case State::kPaused:
      state_ = State::kPlaying;
      consume_carry_ = 0;
      wake_.notify_all();
      return PauseResult::kResumed;
    default:
      return PauseResult::kNothing;
  }
}

PlayerStatus PlaybackCore::Status() {
  std::lock_guard lock(mutex_);
  switch (state_) {
    case State::kPlaying:
      return PlayerStatus::kPlaying;
    case State::kStopped:
      return PlayerStatus::kStopped;
    case State::kPaused:
      return PlayerStatus::kPaused;
    default:
      return PlayerStatus::kNone;
  }
}

std::int64_t PlaybackCore::PositionMs() {
  std::lock_guard lock(mutex_);
  if (state_ == State::kNone) return 0;
  auto frame = static_cast<std::int64_t>(frame_);
  if (converter_) {
    // Samples still waiting in the converter have not been heard yet.
    const std::int64_t pending_out = SDL_AudioStreamAvailable(converter_) / (output_.channels * 2);
    frame -= pending_out * clip_->rate / output_.rate;
  }
  return std::max<std::int64_t>(0, frame) * 1000 / clip_->rate;
}

std::int64_t PlaybackCore::LengthMs() {
  std::lock_guard lock(mutex_);
  return clip_ ? clip_->LengthMs() : 0;
}

void PlaybackCore::Render(std::uint8_t* out, std::size_t bytes) {
  std::size_t filled = 0;
  {
    std::lock_guard lock(mutex_);
    if (state_ == State::kPlaying) {
      if (last_handed_out_) {
        // The device asks for more only once it has taken the previous buffer, which held
        // the clip's last samples: the clip has been played.
        FinishLocked();
      } else {
        filled = FillLocked(out, bytes);
        if (DrainedLocked()) last_handed_out_ = true;
      }
    }
  }
  if (filled < bytes) std::memset(out + filled, 0, bytes - filled);
}

std::size_t PlaybackCore::FillLocked(std::uint8_t* out, std::size_t bytes) {
  const std::size_t total = clip_->Frames();
  const auto channels = static_cast<std::size_t>(clip_->channels);
  if (!converter_) {
    const std::size_t frame_bytes = channels * sizeof(std::int16_t);
    const std::size_t frames = std::min(bytes / frame_bytes, total - frame_);
    std::memcpy(out, clip_->samples.data() + frame_ * channels, frames * frame_bytes);
    frame_ += frames;
    return frames * frame_bytes;
  }
  std::size_t filled = 0;
  while (filled < bytes) {
    const int got = SDL_AudioStreamGet(converter_, out + filled, static_cast<int>(bytes - filled));
    if (got < 0) {
      AbandonConversionLocked();
      break;
    }
    filled += static_cast<std::size_t>(got);
    if (filled >= bytes || frame_ >= total) break;
    const std::size_t chunk = std::min(kConvertChunkFrames, total - frame_);
    if (SDL_AudioStreamPut(converter_, clip_->samples.data() + frame_ * channels,
                           static_cast<int>(chunk * channels * sizeof(std::int16_t))) != 0) {
      AbandonConversionLocked();
      break;
    }
    frame_ += chunk;
    // Push the converter's last partial block through once the whole clip is in.
    if (frame_ == total) SDL_AudioStreamFlush(converter_);
  }
  return filled;
}

void PlaybackCore::AbandonConversionLocked() {
  // A converter that fails (out of memory) would otherwise keep the clip playing forever;
  // let it end where it is.
  frame_ = clip_->Frames();
  SDL_AudioStreamClear(converter_);
}

bool PlaybackCore::DrainedLocked() const {
  return frame_ >= clip_->Frames() && (!converter_ || SDL_AudioStreamAvailable(converter_) == 0);
}

void PlaybackCore::Consume(std::chrono::nanoseconds elapsed) {
  std::lock_guard lock(mutex_);
  if (state_ != State::kPlaying) return;
  const std::int64_t units = consume_carry_ + elapsed.count() * clip_->rate;
  consume_carry_ = units % kNanosPerSecond;
  const auto frames = static_cast<std::size_t>(units / kNanosPerSecond);
  frame_ = std::min(clip_->Frames(), frame_ + frames);
  if (frame_ >= clip_->Frames()) FinishLocked();
}

void PlaybackCore::FinishLocked() {
  state_ = State::kStopped;
  frame_ = clip_->Frames();
  last_handed_out_ = false;
  if (converter_) SDL_AudioStreamClear(converter_);
  ends_.push_back(ClipEnd{run_, name_, std::chrono::system_clock::now()});
  wake_.notify_all();
}

bool PlaybackCore::WaitUntilPlaying(const std::atomic<bool>& stop) {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [&] { return stop.load() || state_ == State::kPlaying; });
  return !stop.load();
}

void PlaybackCore::SleepFor(std::chrono::nanoseconds duration, const std::atomic<bool>& stop) {
  std::unique_lock lock(mutex_);
  wake_.wait_for(lock, duration, [&] { return stop.load(); });
}

std::optional<ClipEnd> PlaybackCore::WaitForEnd(const std::atomic<bool>& stop) {
  std::unique_lock lock(mutex_);
  wake_.wait(lock, [&] { return stop.load() || !ends_.empty(); });
  if (stop.load()) return std::nullopt;
  ClipEnd end = std::move(ends_.front());
  ends_.pop_front();
  return end;
}

bool PlaybackCore::IsCurrentEnd(std::uint64_t run) {
  std::lock_guard lock(mutex_);
  return run == run_ && state_ == State::kStopped;
}

void PlaybackCore::WakeWaiters() {
  std::lock_guard lock(mutex_);
  wake_.notify_all();
}

}  // namespace lectoria
