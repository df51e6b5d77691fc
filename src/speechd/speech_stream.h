// The audio of a speak request, produced piece by piece as one MP3 stream.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "speechd/mp3_encoder.h"
#include "speechd/service_types.h"
#include "speechd/speech_engine.h"
#include "speechd/ssml_reader.h"
#include "speechd/text_pieces.h"

namespace lectoria::speechd {

/// Bounds on the audio of one request.
struct SpeechLimits {
  /// Longest audio of one request. A 64 KiB paragraph of Chinese takes about 3 hours to say
  /// at the normal rate and 4.5 hours in the slowest style.
  double maxAudioSeconds = 6 * 3600;
  std::size_t maxPieceChars = kMaxPieceChars;
  /// What a text with nothing to pronounce gives: a short silence, still a playable clip.
  int silenceMs = 300;
};

/// Speaks the segments of an SSML document: each text is cut into pieces (text_pieces.h), each
/// piece is spoken by the engine, and the sound is encoded as it comes. Each Next call speaks
/// at least one piece, so the work can stop between pieces when `stop` says so.
class SpeechStream final : public ReplyStream {
 public:
  /// `voices` is the engine's voice list, in which the segments' voice names are looked up.
  SpeechStream(SpeechEngine& engine, VoiceList voices, const std::vector<SsmlSegment>& segments,
               StopCheck stop, SpeechLimits limits = {});

  Step Next(std::string& out) override;

  /// After kFailed: the HTTP status and message that describe the failure.
  int FailureStatus() const { return failureStatus_; }
  const std::string& FailureMessage() const { return failureMessage_; }

 private:
  struct Item {
    std::string voiceName;
    std::string style;
    double styleDegree = 1.0;
    std::string text;  // empty for a pause
    int pauseMs = 0;
  };

  Step Fail(int status, std::string message);
  // The sound of `item` at the service's rate, or false after Fail.
  bool Render(const Item& item, std::vector<std::int16_t>& pcm);

  SpeechEngine& engine_;
  VoiceList voices_;
  StopCheck stop_;
  SpeechLimits limits_;
  std::vector<Item> items_;
  std::size_t next_ = 0;
  std::size_t samples_ = 0;  // produced so far, at the service's rate
  Mp3Stream mp3_;
  bool finished_ = false;
  int failureStatus_ = 0;
  std::string failureMessage_;
};

}  // namespace lectoria::speechd
