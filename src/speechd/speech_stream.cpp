#include "speechd/speech_stream.h"

#include "speechd/speech_synthesizer.h"
#include "speechd/text_pieces.h"

namespace lectoria::speechd {

namespace {

constexpr const char* kAbandoned =
    "the speech was abandoned: the service is shutting down or the client left";
constexpr const char* kEncodingFailed = "encoding the audio failed";

std::string TooLong(double maxSeconds) {
  return "the speech would be longer than " + std::to_string(static_cast<long>(maxSeconds)) +
         " seconds";
}

}  // namespace

SpeechStream::SpeechStream(SpeechEngine& engine, VoiceList voices,
                           const std::vector<SsmlSegment>& segments, StopCheck stop,
                           SpeechLimits limits)
    : engine_(engine), voices_(std::move(voices)), stop_(std::move(stop)), limits_(limits) {
  if (!voices_) voices_ = std::make_shared<const std::vector<EngineVoice>>();
  for (const SsmlSegment& segment : segments) {
    if (segment.pauseMs > 0) {
      items_.push_back(
          {segment.voiceName, segment.style, segment.styleDegree, {}, segment.pauseMs});
      continue;
    }
    for (std::string_view piece : SplitIntoPieces(segment.text, limits_.maxPieceChars)) {
      // Blanks and punctuation alone are not worth an engine call.
      if (!HasSpeakableText(piece)) continue;
      items_.push_back(
          {segment.voiceName, segment.style, segment.styleDegree, std::string(piece), 0});
    }
  }
}

ReplyStream::Step SpeechStream::Fail(int status, std::string message) {
  failureStatus_ = status;
  failureMessage_ = std::move(message);
  finished_ = true;
  return Step::kFailed;
}

bool SpeechStream::Render(const Item& item, std::vector<std::int16_t>& pcm) {
  if (item.pauseMs > 0) {
    AppendSilence(item.pauseMs, pcm);
    return true;
  }
  const EngineVoice* voice = FindEngineVoice(*voices_, item.voiceName);
  if (voice == nullptr) voice = DefaultEngineVoice(*voices_);
  if (voice == nullptr) {
    Fail(502, std::string(engine_.Name()) + " offers no voice");
    return false;
  }
  const PieceVoice pieceVoice{voice, item.style, item.styleDegree};
  const double secondsLeft =
      limits_.maxAudioSeconds - static_cast<double>(samples_) / kServiceSampleRate;
  EngineAudio audio;
  switch (engine_.Speak(pieceVoice, item.text, stop_, secondsLeft, audio)) {
    case SynthesisResult::kOk:
      pcm = ToServiceRate(audio);
      return true;
    case SynthesisResult::kCancelled:
      Fail(503, kAbandoned);
      return false;
    case SynthesisResult::kTooLong:
      Fail(413, TooLong(limits_.maxAudioSeconds));
      return false;
    case SynthesisResult::kFailed:
      // The engine's own server or program failed: a gateway's failure, not ours.
      Fail(502, std::string(engine_.Name()) + ": " + audio.failure);
      return false;
    case SynthesisResult::kUnavailable:
      break;
  }
  Fail(500, "the speech engine could not speak with voice " + pieceVoice.voice->shortName);
  return false;
}

ReplyStream::Step SpeechStream::Next(std::string& out) {
  if (finished_) return failureStatus_ != 0 ? Step::kFailed : Step::kEnd;
  if (!mp3_.Ok()) return Fail(500, "the audio encoder could not start");
  while (next_ < items_.size()) {
    if (stop_ && stop_()) {
      return Fail(503, kAbandoned);
    }
    std::vector<std::int16_t> pcm;
    if (!Render(items_[next_++], pcm)) return Step::kFailed;
    samples_ += pcm.size();
    if (static_cast<double>(samples_) > limits_.maxAudioSeconds * kServiceSampleRate) {
      return Fail(413, TooLong(limits_.maxAudioSeconds));
    }
    const std::size_t before = out.size();
    if (!mp3_.Encode(pcm, out)) return Fail(500, kEncodingFailed);
    if (out.size() > before) return Step::kMore;
  }
  if (samples_ == 0) {
    std::vector<std::int16_t> silence;
    AppendSilence(limits_.silenceMs, silence);
    if (!mp3_.Encode(silence, out)) return Fail(500, kEncodingFailed);
  }
  if (!mp3_.Finish(out)) return Fail(500, kEncodingFailed);
  finished_ = true;
  return Step::kEnd;
}

}  // namespace lectoria::speechd
