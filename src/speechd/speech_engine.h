// The seam between the service and whatever turns a piece of text into sound.
//
// The service cuts every text into pieces (text_pieces.h) and asks an engine for each piece in
// turn; the engine returns plain PCM at a rate of its choosing, which the service converts to
// its own format. Each engine also names the voices it offers, which become the voice list the
// client reads. espeak-ng is the built-in engine (speech_synthesizer.h); the others speak
// through a web service or a local program (engine_factory.h).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace lectoria::speechd {

/// Asked now and then during long work: true means stop (the service is closing, or the
/// client that asked has gone). Empty: never stop.
using StopCheck = std::function<bool()>;

enum class SynthesisResult {
  kOk,
  kCancelled,    // the stop check said stop
  kTooLong,      // the audio would exceed the length limit
  kUnavailable,  // the engine could not start or could not speak with the voice
  kFailed,       // the engine's server or program failed or answered no audio (see failure)
};

/// Mono 16-bit PCM at `rate` samples a second.
struct EngineAudio {
  int rate = 0;
  std::vector<std::int16_t> samples;
  std::string failure;  // after kFailed or kUnavailable: why, in a few words (never a secret)
};

/// One voice an engine offers, as the voice list shows it.
struct EngineVoice {
  std::string shortName;          // "zh-CN-XiaoxiaoNeural"; what the client's SSML names
  std::string name;               // the long name; the SSML may name a voice by it too
  std::string displayName;        // "Xiaoxiao"
  std::string localName;          // UTF-8, e.g. "晓晓"
  std::string locale;             // "zh-CN"
  std::string localeDescription;  // "Chinese (Mandarin, Simplified)"
  std::string gender;             // "Female" / "Male" / empty when unknown
  std::string id;                 // a fixed UUID text
  std::string description;
  std::vector<std::string> styles;  // service style names the voice offers
};

/// The voices of an engine, shared and never changed once made.
using VoiceList = std::shared_ptr<const std::vector<EngineVoice>>;

/// How a piece is to be spoken: the catalogue voice and the SSML speaking style.
struct PieceVoice {
  const EngineVoice* voice = nullptr;  // never null when handed to an engine
  std::string_view style;              // the express-as style; empty for none
  double styleDegree = 1.0;
};

/// A speech engine. Implementations must be safe to call from several threads at once (they
/// may serialise internally).
class SpeechEngine {
 public:
  virtual ~SpeechEngine() = default;

  /// The engine's name in messages ("espeak-ng", "Azure", ...).
  virtual std::string_view Name() const = 0;

  /// The voices offered, in the order the voice list shows them. May ask a server (and then
  /// keeps the answer); returns null with `error` set when the list cannot be had now.
  virtual VoiceList Voices(std::string& error) = 0;

  /// Speaks `text` (UTF-8 plain text, one piece) and puts the sound into `audio` (its rate
  /// and samples replaced). Produces at most `maxSeconds` of audio (else kTooLong) and ends
  /// early with kCancelled when `stop` says so.
  virtual SynthesisResult Speak(const PieceVoice& voice, std::string_view text,
                                const StopCheck& stop, double maxSeconds, EngineAudio& audio) = 0;
};

/// The voice of `voices` whose short name or long name equals `name` (ASCII letters in any
/// case), or nullptr.
const EngineVoice* FindEngineVoice(const std::vector<EngineVoice>& voices, std::string_view name);

/// The voice used for a request that names none or one not offered: zh-CN-XiaoxiaoNeural when
/// offered, else the first Mandarin voice, else the first voice; nullptr when there is none.
const EngineVoice* DefaultEngineVoice(const std::vector<EngineVoice>& voices);

/// The voice list reply: a UTF-8 JSON array of voice objects (name, id, locale, voiceType,
/// properties.ShortName, samples.styleSamples[].styleName, ...). `voiceTypes` empty: every
/// voice; otherwise only voices whose voice type (always the standard one) is listed.
std::string VoiceListJson(const std::vector<EngineVoice>& voices, std::string_view engineName,
                          const std::vector<std::string>& voiceTypes = {});

/// A stable UUID-shaped text made from `seed`, for voices their engine gives no id.
std::string VoiceIdFrom(std::string_view seed);

}  // namespace lectoria::speechd
