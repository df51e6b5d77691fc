#include "speechd/speech_synthesizer.h"

#include <espeak-ng/speak_lib.h>

#include <mutex>
#include <string>

#include "speechd/resampler.h"

namespace lectoria::speechd {

namespace {

std::mutex& EngineLock() {
  static std::mutex lock;
  return lock;
}

// What the synthesis callback writes to; handed to espeak-ng as the user data of each call.
struct Capture {
  std::vector<std::int16_t>* samples;
  const StopCheck* stop;
  std::size_t maxSamples;
  bool cancelled = false;
  bool tooLong = false;
};

int OnSynthesizedAudio(short* wave, int count, espeak_EVENT* events) {
  // Every event of the list, the terminating one included, carries the call's user data.
  Capture* capture = events != nullptr ? static_cast<Capture*>(events[0].user_data) : nullptr;
  if (capture == nullptr) return 1;
  if (*capture->stop && (*capture->stop)()) {
    capture->cancelled = true;
    return 1;  // stops this synthesis
  }
  if (wave != nullptr && count > 0) {
    if (capture->samples->size() + static_cast<std::size_t>(count) > capture->maxSamples) {
      capture->tooLong = true;
      return 1;
    }
    capture->samples->insert(capture->samples->end(), wave, wave + count);
  }
  return 0;
}

// Starts espeak-ng once per process; returns its output rate, or 0 when it failed. Must be
// called with the engine lock held.
int EngineRate() {
  static int rate = [] {
    const int r =
        espeak_Initialize(AUDIO_OUTPUT_SYNCHRONOUS, 0, nullptr, espeakINITIALIZE_DONT_EXIT);
    if (r <= 0) return 0;
    espeak_SetSynthCallback(OnSynthesizedAudio);
    return r;
  }();
  return rate;
}

// Selects an espeak-ng voice. Loading one reads its files (and a language's dictionary) again
// even when it is already selected, so the current choice is remembered. Must be called with
// the engine lock held.
bool SelectVoice(const std::string& name) {
  static std::string current;
  if (name == current) return true;
  current.clear();
  bool selected = espeak_SetVoiceByName(name.c_str()) == EE_OK;
  if (!selected) {
    // Without its variant ("cmn" for "cmn+f2") the language may still be there.
    const std::size_t plus = name.find('+');
    selected =
        plus != std::string::npos && espeak_SetVoiceByName(name.substr(0, plus).c_str()) == EE_OK;
  }
  if (selected) current = name;
  return selected;
}

}  // namespace

bool SynthesizerAvailable() {
  std::lock_guard lock(EngineLock());
  return EngineRate() > 0;
}

void AppendSilence(int milliseconds, std::vector<std::int16_t>& pcm) {
  if (milliseconds <= 0) return;
  pcm.insert(pcm.end(), static_cast<std::size_t>(milliseconds) * kServiceSampleRate / 1000, 0);
}

SynthesisResult SynthesizeRaw(const SpeechSettings& settings, std::string_view text,
                              const StopCheck& stop, double maxSeconds, EngineAudio& audio) {
  audio.samples.clear();
  const std::string terminated(text);  // espeak-ng reads up to the terminating zero
  std::lock_guard lock(EngineLock());
  audio.rate = EngineRate();
  if (audio.rate <= 0 || !SelectVoice(settings.espeakVoice)) return SynthesisResult::kUnavailable;
  // A request that waited for the lock may have been abandoned meanwhile.
  if (stop && stop()) return SynthesisResult::kCancelled;
  if (text.empty()) return SynthesisResult::kOk;
  espeak_SetParameter(espeakRATE, settings.rate, 0);
  espeak_SetParameter(espeakPITCH, settings.pitch, 0);
  espeak_SetParameter(espeakRANGE, settings.range, 0);
  espeak_SetParameter(espeakVOLUME, settings.volume, 0);

  Capture capture{&audio.samples, &stop, static_cast<std::size_t>(maxSeconds * audio.rate)};
  const espeak_ERROR status =
      espeak_Synth(terminated.c_str(), terminated.size() + 1, 0, POS_CHARACTER, 0,
                   espeakCHARS_UTF8 | espeakENDPAUSE, nullptr, &capture);
  if (capture.cancelled) return SynthesisResult::kCancelled;
  if (capture.tooLong) return SynthesisResult::kTooLong;
  return status == EE_OK ? SynthesisResult::kOk : SynthesisResult::kUnavailable;
}

VoiceList EspeakEngine::Voices(std::string&) {
  return EspeakVoices();
}

SynthesisResult EspeakEngine::Speak(const PieceVoice& voice, std::string_view text,
                                    const StopCheck& stop, double maxSeconds, EngineAudio& audio) {
  const VoiceProfile* profile =
      voice.voice != nullptr ? FindVoice(voice.voice->shortName) : nullptr;
  const SynthesisResult result = SynthesizeRaw(
      SettingsFor(profile != nullptr ? *profile : DefaultVoice(), voice.style, voice.styleDegree),
      text, stop, maxSeconds, audio);
  if (result == SynthesisResult::kUnavailable) audio.failure = "espeak-ng cannot speak this voice";
  return result;
}

std::vector<std::int16_t> ToServiceRate(const EngineAudio& audio) {
  if (audio.rate == kServiceSampleRate || audio.samples.empty()) return audio.samples;
  // Building a converter computes its filter table; espeak-ng's rate is the usual one.
  static const Resampler espeakRate(22050, kServiceSampleRate);
  if (audio.rate == espeakRate.InputRate()) return espeakRate.Convert(audio.samples);
  return Resampler(audio.rate, kServiceSampleRate).Convert(audio.samples);
}

SynthesisResult Synthesize(const SpeechSettings& settings, std::string_view text,
                           std::vector<std::int16_t>& pcm, const StopCheck& stop,
                           double maxSeconds) {
  EngineAudio audio;
  const SynthesisResult result = SynthesizeRaw(settings, text, stop, maxSeconds, audio);
  if (result != SynthesisResult::kOk) return result;
  // Resampling needs no engine state, so it runs outside the engine's lock.
  const std::vector<std::int16_t> converted = ToServiceRate(audio);
  pcm.insert(pcm.end(), converted.begin(), converted.end());
  return SynthesisResult::kOk;
}

}  // namespace lectoria::speechd
