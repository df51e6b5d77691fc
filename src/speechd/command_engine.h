// An engine that runs a local program for each piece: offline neural voices the user installs.
#pragma once

#include <chrono>
#include <mutex>
#include <string>
#include <vector>

#include "speechd/speech_engine.h"

namespace lectoria::speechd {

/// The word in a command that stands for the file the program is to write.
inline constexpr std::string_view kOutputPlaceholder = "{output}";

struct CommandSettings {
  std::vector<std::string> argv;             // the program and its arguments
  std::string voice = "zh-CN-LocalVoice";    // the one voice's name in the voice list
  std::chrono::milliseconds timeout{60000};  // one piece
};

/// Runs the command with the piece's UTF-8 text (and a line end) on stdin. The program
/// writes a WAV (or MP3) file to stdout, or to the path that replaces "{output}" in its
/// arguments. One program runs at a time: each one usually takes the whole processor.
class CommandEngine final : public SpeechEngine {
 public:
  explicit CommandEngine(CommandSettings settings);
  std::string_view Name() const override { return "the speech command"; }
  VoiceList Voices(std::string& error) override;
  SynthesisResult Speak(const PieceVoice& voice, std::string_view text, const StopCheck& stop,
                        double maxSeconds, EngineAudio& audio) override;

 private:
  CommandSettings settings_;
  VoiceList voices_;
  std::mutex running_;
};

}  // namespace lectoria::speechd
