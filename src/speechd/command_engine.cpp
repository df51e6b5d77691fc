#include "speechd/command_engine.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "speechd/child_process.h"
#include "speechd/remote_engines.h"

namespace lectoria::speechd {

namespace {

// A private directory for one output file, removed with everything in it at the end.
class ScratchDir {
 public:
  ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern =
        std::string(base != nullptr && *base ? base : "/tmp") + "/lectoria-speech-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path, bool& found) {
  std::ifstream file(path, std::ios::binary);
  found = file.is_open();
  std::ostringstream bytes;
  bytes << file.rdbuf();
  return bytes.str();
}

std::string FailureOf(const ProgramRun& run, std::chrono::milliseconds timeout) {
  if (!run.started) return run.error;
  if (run.timedOut)
    return "the command did not finish within " + std::to_string(timeout.count() / 1000) +
           " seconds and was stopped";
  if (run.tooMuchOutput) return "the command wrote too much output";
  std::string text = run.signal != 0
                         ? "the command was ended by signal " + std::to_string(run.signal)
                         : "the command exited with status " + std::to_string(run.exitCode);
  std::string tail = run.errorTail;
  while (!tail.empty() && (tail.back() == '\n' || tail.back() == '\r')) tail.pop_back();
  if (tail.size() > 300) tail = "..." + tail.substr(tail.size() - 300);
  if (!tail.empty()) text += ": " + tail;
  return text;
}

}  // namespace

CommandEngine::CommandEngine(CommandSettings settings) : settings_(std::move(settings)) {
  const std::string program = settings_.argv.empty() ? std::string() : settings_.argv.front();
  voices_ = std::make_shared<const std::vector<EngineVoice>>(
      std::vector<EngineVoice>{NamedVoice(settings_.voice, "spoken by " + program)});
}

VoiceList CommandEngine::Voices(std::string&) {
  return voices_;
}

SynthesisResult CommandEngine::Speak(const PieceVoice&, std::string_view text,
                                     const StopCheck& stop, double maxSeconds, EngineAudio& audio) {
  std::lock_guard lock(running_);
  if (stop && stop()) return SynthesisResult::kCancelled;  // abandoned while it waited
  std::vector<std::string> argv = settings_.argv;
  ScratchDir scratch;
  const std::string outputFile = scratch.path().empty() ? "" : scratch.path() + "/speech.wav";
  bool writesFile = false;
  for (std::string& word : argv) {
    for (std::size_t at = word.find(kOutputPlaceholder); at != std::string::npos;
         at = word.find(kOutputPlaceholder, at + outputFile.size())) {
      if (outputFile.empty()) {
        audio.failure = "no temporary directory for the command's output";
        return SynthesisResult::kFailed;
      }
      word.replace(at, kOutputPlaceholder.size(), outputFile);
      writesFile = true;
    }
  }
  const ProgramRun run = RunProgram(argv, std::string(text) + "\n", settings_.timeout, stop);
  if (run.cancelled) return SynthesisResult::kCancelled;
  if (!run.Succeeded()) {
    audio.failure = FailureOf(run, settings_.timeout);
    return SynthesisResult::kFailed;
  }
  if (!writesFile) return TakeEngineAudio(run.output, maxSeconds, audio);
  bool found = false;
  const std::string bytes = ReadFile(outputFile, found);
  if (!found) {
    audio.failure = "the command wrote no file to " + std::string(kOutputPlaceholder);
    return SynthesisResult::kFailed;
  }
  return TakeEngineAudio(bytes, maxSeconds, audio);
}

}  // namespace lectoria::speechd
