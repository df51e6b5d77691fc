// Changing the speed of speech without changing its pitch, by time-stretching with SoundTouch.
//
// The player streams a clip through it while the speed differs from 1; the speed may change at
// any moment and applies to the audio put in from then on.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

namespace soundtouch {
class SoundTouch;
}

namespace lectoria {

class TimeStretcher {
 public:
  /// For 16-bit interleaved audio of `rate` frames per second and 1 or 2 channels, tuned for
  /// speech.
  TimeStretcher(int rate, int channels);
  ~TimeStretcher();
  TimeStretcher(const TimeStretcher&) = delete;
  TimeStretcher& operator=(const TimeStretcher&) = delete;

  /// 2 plays twice as fast: each frame put in yields about 1/speed frames out.
  void SetSpeed(double speed);
  double speed() const { return speed_; }

  /// Takes `frames` frames of input.
  void Put(const std::int16_t* samples, std::size_t frames);
  /// Marks the end of the input: what is still held is pushed out, padded so that the whole
  /// output lasts about input / speed.
  void Flush();
  /// Moves up to `frames` ready frames to `out`; returns how many.
  std::size_t Receive(std::int16_t* out, std::size_t frames);
  /// Frames ready to be received.
  std::size_t ReadyFrames() const;
  /// How much input the stretcher holds that has not been received as output yet, in input
  /// frames: what a listener has not heard of what was put in.
  std::size_t HeldInputFrames() const;
  /// Drops everything held, for a jump to another place in the audio.
  void Clear();

 private:
  std::unique_ptr<soundtouch::SoundTouch> touch_;
  int channels_;
  double speed_ = 1.0;
  std::vector<float> buffer_;  // conversion to and from SoundTouch's float samples
};

}  // namespace lectoria
