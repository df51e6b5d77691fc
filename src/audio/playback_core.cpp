#include "audio/playback_core.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>

namespace lectoria {
namespace {

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;
// Source frames handed on at a time: small enough to keep the callback short and to let a
// change of speed be heard within a few tens of milliseconds.
constexpr std::size_t kChunkFrames = 1024;
constexpr std::size_t kMaxChannels = 2;

}  // namespace

PlaybackCore::PlaybackCore(OutputFormat output)
    : output_(output), chunk_(kChunkFrames * kMaxChannels) {}

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
  // Made for every clip, so that a change of speed never has to build one under the lock.
  auto stretcher = std::make_unique<TimeStretcher>(clip->rate, clip->channels);
  {
    std::lock_guard lock(mutex_);
    std::swap(clip_, clip);
    std::swap(converter_, converter);
    std::swap(stretcher_, stretcher);
    stretcher_->SetSpeed(speed_);
    name_ = std::move(name);
    state_ = State::kStopped;
    MoveToLocked(0);
    sound_frames_ = 0;
    ++run_;
  }
  // The previous clip is freed outside the lock, so the audio callback never waits for it.
  if (converter) SDL_FreeAudioStream(converter);
  return true;
}

std::string PlaybackCore::Close() {
  std::shared_ptr<const DecodedClip> clip;
  SDL_AudioStream* converter = nullptr;
  std::unique_ptr<TimeStretcher> stretcher;
  std::string name;
  {
    std::lock_guard lock(mutex_);
    if (state_ == State::kNone) return {};
    std::swap(clip_, clip);
    std::swap(converter_, converter);
    std::swap(stretcher_, stretcher);
    std::swap(name_, name);
    state_ = State::kNone;
    frame_ = 0;
    stretching_ = false;
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
    MoveToLocked(static_cast<std::size_t>((fromMs * clip_->rate + 999) / 1000));
    sound_frames_ = 0;
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

bool PlaybackCore::Seek(std::int64_t ms, bool relative, std::string* name, std::int64_t* landed) {
  std::lock_guard lock(mutex_);
  if (state_ == State::kNone) return false;
  const std::int64_t length = clip_->LengthMs();
  // Held first, so that no amount overflows the sum.
  std::int64_t target = std::clamp<std::int64_t>(ms, -length - 1, length + 1);
  if (relative) target += PositionMsLocked();
  target = std::clamp<std::int64_t>(target, 0, length);
  // The end is the last frame, not the last whole millisecond, so that a clip moved there
  // really ends.
  MoveToLocked(target == length ? clip_->Frames()
                                : static_cast<std::size_t>((target * clip_->rate + 999) / 1000));
  ++run_;
  if (name) *name = name_;
  if (landed) *landed = target;
  return true;
}

void PlaybackCore::SetSpeed(double speed) {
  std::lock_guard lock(mutex_);
  speed_ = speed;
  if (stretcher_) UseSpeedLocked(speed);
}

double PlaybackCore::Speed() {
  std::lock_guard lock(mutex_);
  return speed_;
}

void PlaybackCore::SetVolume(int percent) {
  std::lock_guard lock(mutex_);
  volume_ = percent;
}

int PlaybackCore::Volume() {
  std::lock_guard lock(mutex_);
  return volume_;
}

void PlaybackCore::UseSpeedLocked(double speed) {
  if (stretching_) {
    // The new speed starts where the listener is. What the stretcher holds was made for the
    // old speed and has not been heard: it is dropped and taken again from the clip, so that
    // the rest of the clip lasts exactly its length at the new speed.
    frame_ -= std::min(frame_, stretcher_->HeldInputFrames());
    stretcher_->Clear();
    stretcher_flushed_ = false;
  }
  // At 1 the frames go out untouched again.
  stretching_ = speed != 1.0;
  stretcher_->SetSpeed(speed);
}

void PlaybackCore::MoveToLocked(std::size_t frame) {
  frame_ = std::min(clip_->Frames(), frame);
  if (converter_) SDL_AudioStreamClear(converter_);
  stretcher_->Clear();
  stretching_ = speed_ != 1.0;
  stretcher_flushed_ = false;
  last_handed_out_ = false;
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
  return PositionMsLocked();
}

std::int64_t PlaybackCore::PositionMsLocked() const {
  if (state_ == State::kNone) return 0;
  // Samples held by the stretcher or the converter have not been heard yet.
  auto frame = static_cast<std::int64_t>(frame_);
  if (stretching_) frame -= static_cast<std::int64_t>(stretcher_->HeldInputFrames());
  if (converter_) {
    const std::int64_t pending_out = SDL_AudioStreamAvailable(converter_) / (output_.channels * 2);
    std::int64_t pending_in = pending_out * clip_->rate / output_.rate;
    if (stretching_) pending_in = std::llround(static_cast<double>(pending_in) * speed_);
    frame -= pending_in;
  }
  return std::max<std::int64_t>(0, frame) * 1000 / clip_->rate;
}

std::int64_t PlaybackCore::LengthMs() {
  std::lock_guard lock(mutex_);
  return clip_ ? clip_->LengthMs() : 0;
}

void PlaybackCore::SetOutputTap(OutputTap tap) {
  std::lock_guard lock(tap_mutex_);
  has_tap_ = static_cast<bool>(tap);
  tap_ = std::move(tap);
}

void PlaybackCore::Render(std::uint8_t* out, std::size_t bytes) {
  // SDL hands out buffers aligned for any sample format.
  auto* samples = reinterpret_cast<std::int16_t*>(out);
  std::size_t filled = 0;
  int volume = 0;
  {
    std::lock_guard lock(mutex_);
    if (state_ == State::kPlaying) {
      if (last_handed_out_) {
        // The device asks for more only once it has taken the previous buffer, which held
        // the clip's last samples: the clip has been played.
        FinishLocked();
      } else {
        filled = FillLocked(samples, bytes / sizeof(std::int16_t));
        sound_frames_ += filled / static_cast<std::size_t>(output_.channels);
        if (DrainedLocked()) last_handed_out_ = true;
      }
    }
    volume = volume_;
  }
  Deliver({samples, filled}, volume, output_.rate, output_.channels);
  const std::size_t filled_bytes = filled * sizeof(std::int16_t);
  if (filled_bytes < bytes) std::memset(out + filled_bytes, 0, bytes - filled_bytes);
}

void PlaybackCore::Consume(std::chrono::nanoseconds elapsed) {
  std::size_t filled = 0;
  int volume = 0;
  int rate = 0;
  int channels = 0;
  {
    std::lock_guard lock(mutex_);
    if (state_ != State::kPlaying) return;
    if (last_handed_out_) {
      // As with a device, the clip ends at the step after its last samples went out, so
      // that whoever watches the output has all of them before the end is told.
      FinishLocked();
      return;
    }
    rate = clip_->rate;
    channels = clip_->channels;
    const std::int64_t units = consume_carry_ + elapsed.count() * rate;
    consume_carry_ = units % kNanosPerSecond;
    // At most a second at a time: after the machine slept, the clip goes on where it was
    // rather than rendering the whole gap at once.
    const auto frames = std::min<std::int64_t>(units / kNanosPerSecond, rate);
    const auto samples = static_cast<std::size_t>(frames) * static_cast<std::size_t>(channels);
    if (sink_buffer_.size() < samples) sink_buffer_.resize(samples);
    filled = FillLocked(sink_buffer_.data(), samples);
    sound_frames_ += filled / static_cast<std::size_t>(channels);
    if (DrainedLocked()) last_handed_out_ = true;
    volume = volume_;
  }
  // Only this thread uses the buffer, so it may be read after the lock is released.
  Deliver({sink_buffer_.data(), filled}, volume, rate, channels);
}

void PlaybackCore::Deliver(std::span<std::int16_t> samples, int volume, int rate, int channels) {
  if (samples.empty()) return;
  if (volume < 100) {
    for (std::int16_t& sample : samples) sample = static_cast<std::int16_t>(sample * volume / 100);
  }
  if (!has_tap_) return;
  std::lock_guard lock(tap_mutex_);
  try {
    if (tap_) tap_(samples, rate, channels);
  } catch (...) {
    // An exception must not leave the audio thread; the tap only watches.
  }
}

std::size_t PlaybackCore::FillLocked(std::int16_t* out, std::size_t samples) {
  const auto channels = static_cast<std::size_t>(clip_->channels);
  if (!converter_) return PullLocked(out, samples / channels) * channels;
  auto* bytes = reinterpret_cast<std::uint8_t*>(out);
  const std::size_t wanted = samples * sizeof(std::int16_t);
  std::size_t filled = 0;
  while (filled < wanted) {
    const int got =
        SDL_AudioStreamGet(converter_, bytes + filled, static_cast<int>(wanted - filled));
    if (got < 0) {
      AbandonConversionLocked();
      break;
    }
    filled += static_cast<std::size_t>(got);
    if (filled >= wanted || SourceDrainedLocked()) break;
    const std::size_t frames = PullLocked(chunk_.data(), kChunkFrames);
    if (frames > 0 &&
        SDL_AudioStreamPut(converter_, chunk_.data(),
                           static_cast<int>(frames * channels * sizeof(std::int16_t))) != 0) {
      AbandonConversionLocked();
      break;
    }
    // Push the converter's last partial block through once the whole clip is in.
    if (SourceDrainedLocked()) SDL_AudioStreamFlush(converter_);
  }
  return filled / sizeof(std::int16_t);
}

std::size_t PlaybackCore::PullLocked(std::int16_t* out, std::size_t frames) {
  const std::size_t total = clip_->Frames();
  const auto channels = static_cast<std::size_t>(clip_->channels);
  if (!stretching_) {
    const std::size_t count = std::min(frames, total - frame_);
    std::memcpy(out, clip_->samples.data() + frame_ * channels,
                count * channels * sizeof(std::int16_t));
    frame_ += count;
    return count;
  }
  std::size_t got = 0;
  while (got < frames) {
    got += stretcher_->Receive(out + got * channels, frames - got);
    if (got == frames) break;
    if (frame_ < total) {
      const std::size_t count = std::min(kChunkFrames, total - frame_);
      stretcher_->Put(clip_->samples.data() + frame_ * channels, count);
      frame_ += count;
    } else if (!stretcher_flushed_) {
      stretcher_->Flush();
      stretcher_flushed_ = true;
    } else {
      break;
    }
  }
  return got;
}

void PlaybackCore::AbandonConversionLocked() {
  // A converter that fails (out of memory) would otherwise keep the clip playing forever;
  // let it end where it is.
  frame_ = clip_->Frames();
  SDL_AudioStreamClear(converter_);
  stretcher_->Clear();
  stretcher_flushed_ = true;
}

bool PlaybackCore::SourceDrainedLocked() const {
  return frame_ >= clip_->Frames() &&
         (!stretching_ || (stretcher_flushed_ && stretcher_->ReadyFrames() == 0));
}

bool PlaybackCore::DrainedLocked() const {
  return SourceDrainedLocked() && (!converter_ || SDL_AudioStreamAvailable(converter_) == 0);
}

void PlaybackCore::FinishLocked() {
  state_ = State::kStopped;
  MoveToLocked(clip_->Frames());
  const int rate = output_.rate > 0 ? output_.rate : clip_->rate;
  ends_.push_back(ClipEnd{run_, name_, std::chrono::system_clock::now(),
                          static_cast<std::int64_t>(sound_frames_ * 1000 / rate)});
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
