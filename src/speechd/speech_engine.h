// The seam between the service and whatever turns a piece of text into sound.
//
// The service cuts every text into pieces (text_pieces.h) and asks an engine for each piece in
// turn; the engine returns plain PCM at a rate of its choosing, which the service converts to
// its own format. espeak-ng is the built-in engine (speech_synthesizer.h).
#pragma once

#include <cstdint>
#include <functional>
#include <string_view>
#include <vector>

#include "speechd/voice_catalogue.h"

namespace lectoria::speechd {

/// Asked now and then during long work: true means stop (the service is closing, or the
/// client that asked has gone). Empty: never stop.
using StopCheck = std::function<bool()>;

enum class SynthesisResult {
  kOk,
  kCancelled,    // the stop check said stop
  kTooLong,      // the audio would exceed the length limit
  kUnavailable,  // the engine could not start or could not speak with the voice
};

/// Mono 16-bit PCM at `rate` samples a second.
struct EngineAudio {
  int rate = 0;
  std::vector<std::int16_t> samples;
};

/// How a piece is to be spoken: the catalogue voice and the SSML speaking style.
struct PieceVoice {
  const VoiceProfile* voice = nullptr;  // never null when handed to an engine
  std::string_view style;               // the express-as style; empty for none
  double styleDegree = 1.0;
};

/// A speech engine. Implementations must be safe to call from several threads at once (they
/// may serialise internally).
class SpeechEngine {
 public:
  virtual ~SpeechEngine() = default;

  /// Speaks `text` (UTF-8 plain text, one piece) and puts the sound into `audio` (its rate
  /// and samples replaced). Produces at most `maxSeconds` of audio (else kTooLong) and ends
  /// early with kCancelled when `stop` says so.
  virtual SynthesisResult Speak(const PieceVoice& voice, std::string_view text,
                                const StopCheck& stop, double maxSeconds, EngineAudio& audio) = 0;
};

}  // namespace lectoria::speechd
