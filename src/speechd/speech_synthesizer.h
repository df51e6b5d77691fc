// Speech synthesis with espeak-ng, the service's built-in engine.
//
// espeak-ng keeps its state in globals and is not re-entrant, so every call into it in this
// process goes through one lock: pieces are spoken one at a time, whichever request they
// belong to.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "speechd/speech_engine.h"
#include "speechd/voice_catalogue.h"

namespace lectoria::speechd {

/// The sample rate of all audio the service produces.
inline constexpr int kServiceSampleRate = 24000;

/// espeak-ng behind the engine seam: a voice and style become rate, pitch, range and volume
/// (SettingsFor). Delivers espeak-ng's own rate (22050 Hz).
class EspeakEngine final : public SpeechEngine {
 public:
  std::string_view Name() const override { return "espeak-ng"; }
  VoiceList Voices(std::string& error) override;
  SynthesisResult Speak(const PieceVoice& voice, std::string_view text, const StopCheck& stop,
                        double maxSeconds, EngineAudio& audio) override;
};

/// Speaks `text` (UTF-8, read as plain text, not markup) with `settings` and puts the audio
/// into `audio` at espeak-ng's rate. `stop` is asked while espeak-ng produces audio. At most
/// `maxSeconds` of audio are produced. Thread-safe.
SynthesisResult SynthesizeRaw(const SpeechSettings& settings, std::string_view text,
                              const StopCheck& stop, double maxSeconds, EngineAudio& audio);

/// As SynthesizeRaw, but appends the audio, resampled to kServiceSampleRate, to `pcm`.
SynthesisResult Synthesize(const SpeechSettings& settings, std::string_view text,
                           std::vector<std::int16_t>& pcm, const StopCheck& stop = {},
                           double maxSeconds = 900);

/// Appends `milliseconds` of silence at kServiceSampleRate to `pcm`.
void AppendSilence(int milliseconds, std::vector<std::int16_t>& pcm);

/// `audio` converted to kServiceSampleRate (the same samples when it is already at it).
std::vector<std::int16_t> ToServiceRate(const EngineAudio& audio);

/// True when espeak-ng started and has its data; starts it on first use.
bool SynthesizerAvailable();

}  // namespace lectoria::speechd
