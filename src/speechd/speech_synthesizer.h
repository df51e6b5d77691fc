// Speech synthesis with espeak-ng, delivered as 24 kHz mono PCM.
//
// espeak-ng keeps its state in globals and is not re-entrant, so every call into it in this
// process goes through one lock: syntheses run one at a time.
#pragma once

#include <atomic>
#include <cstdint>
#include <string_view>
#include <vector>

#include "speechd/voice_catalogue.h"

namespace lectoria::speechd {

/// The sample rate of all audio the service produces.
inline constexpr int kServiceSampleRate = 24000;

enum class SynthesisResult {
  kOk,
  kCancelled,    // `cancel` was raised while speaking
  kTooLong,      // the audio would exceed the length limit
  kUnavailable,  // espeak-ng could not start or the voice could not be loaded
};

/// Speaks `text` (UTF-8, read as plain text, not markup) with `settings` and appends the audio,
/// resampled to kServiceSampleRate, to `pcm`. `cancel` (may be null) is checked while espeak-ng
/// produces audio. At most `maxSeconds` of audio are produced. Thread-safe.
SynthesisResult Synthesize(const SpeechSettings& settings, std::string_view text,
                           std::vector<std::int16_t>& pcm,
                           const std::atomic<bool>* cancel = nullptr, double maxSeconds = 900);

/// Appends `milliseconds` of silence at kServiceSampleRate to `pcm`.
void AppendSilence(int milliseconds, std::vector<std::int16_t>& pcm);

/// True when espeak-ng started and has its data; starts it on first use.
bool SynthesizerAvailable();

}  // namespace lectoria::speechd
