#include "export/export_runner.h"

#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "export/chapter_export.h"
#include "export/export_book.h"
#include "export/service_processes.h"
#include "export/voice_choice.h"
#include "platform/codepage.h"
#include "platform/run_dir.h"
#include "rules/rule_file.h"
#include "rules/rule_set.h"
#include "tts/speech_service_client.h"

namespace lectoria {
namespace {

namespace fs = std::filesystem;

int Fail(const ExportConsole& console, int status, const std::string& message) {
  std::fprintf(console.err, "lectoria: %s\n", message.c_str());
  std::fflush(console.err);
  return status;
}

// Creates the directory when missing and proves that a file can be made in it. Empty on
// success, else why not.
std::string PrepareOutputDir(const fs::path& dir) {
  std::error_code error;
  fs::create_directories(dir, error);
  if (error) return error.message();
  if (!fs::is_directory(dir, error)) return std::strerror(ENOTDIR);
  std::string probe = (dir / ".lectoria-probe-XXXXXX").string();
  const int fd = ::mkstemp(probe.data());
  if (fd < 0) return std::strerror(errno);
  ::close(fd);
  ::unlink(probe.c_str());
  return {};
}

std::string JoinUtf8(const std::vector<std::string>& gbkTexts) {
  std::string joined;
  for (const std::string& text : gbkTexts) joined += (joined.empty() ? "" : "、") + GbkToUtf8(text);
  return joined;
}

// The services to speak through: the one named, or the built-in one, a process per job.
struct ServiceChoice {
  BuiltInServiceProcesses builtIn;
  std::vector<SpeechServiceEndpoint> endpoints;
  std::string error;
};

constexpr int kMaxServiceProcesses = 16;

void ChooseService(const ExportOptions& options, int jobs, ServiceChoice& choice) {
  std::string url = options.speechService;
  if (const char* env = std::getenv("LECTORIA_SPEECH_SERVICE"); url.empty() && env != nullptr)
    url = env;
  if (!url.empty()) {
    choice.endpoints.emplace_back().baseUrl = url;
    return;
  }
  if (!choice.builtIn.Start(std::min(jobs, kMaxServiceProcesses), choice.error)) {
    choice.error = "内置语音服务无法启动：" + choice.error;
    return;
  }
  for (int port : choice.builtIn.Ports())
    choice.endpoints.push_back(SpeechServiceEndpoint::Local(port));
}

// The rules of R/rules.txt (the default set when there is none). A damaged file, or rules in
// it that cannot be used, are named on stderr; the export goes on with what could be read.
RuleSet LoadSpokenRules(const fs::path& runDir, const ExportConsole& console) {
  const fs::path file = RulesFilePath(runDir);
  const LoadedRules loaded = LoadRules(file);
  std::vector<std::string> problems = loaded.problems;
  RuleSet rules = RuleSet::Compile(loaded.rules, &problems);
  for (const std::string& problem : problems)
    std::fprintf(console.err, "lectoria: %s: %s\n", file.string().c_str(),
                 GbkToUtf8(problem).c_str());
  return rules;
}

}  // namespace

int RunExportCommand(const ExportOptions& options, const ExportConsole& console,
                     std::atomic<bool>& stop) {
  using namespace export_exit;
  // The book, through the import.
  const ExportBookLoad load = LoadBookForExport(fs::path(options.book));
  if (!load.ok)
    return Fail(console, kBookRefused, "无法导出 " + options.book + "：" + GbkToUtf8(load.message));
  const ExportBook& book = load.book;
  const int count = static_cast<int>(book.chapters.size());

  // The chapters.
  ChapterRange range{1, count};
  if (options.chapters && options.chapters->first > 0) range.first = options.chapters->first;
  if (options.chapters && options.chapters->last > 0) range.last = options.chapters->last;
  if (range.first > count || range.last > count || range.first > range.last) {
    return Fail(console, kBadRange,
                "章节范围 " + std::to_string(range.first) + "-" + std::to_string(range.last) +
                    " 超出本书：《" + GbkToUtf8(book.name) + "》共 " + std::to_string(count) +
                    " 章");
  }

  // Where the files go.
  if (const std::string why = PrepareOutputDir(options.output); !why.empty())
    return Fail(console, kOutputUnwritable, "无法写入输出目录 " + options.output + "：" + why);

  // The service, its voices, and the voice and style to speak with.
  const int jobs = options.jobs > 0
                       ? options.jobs
                       : std::max(1, static_cast<int>(std::thread::hardware_concurrency()));
  ServiceChoice service;
  ChooseService(options, jobs, service);
  if (stop) return kInterrupted;
  if (!service.error.empty()) return Fail(console, kServiceFailed, service.error);
  std::vector<SpeechServiceClient> clients(service.endpoints.begin(), service.endpoints.end());
  const SpeechServiceClient& client = clients.front();
  SpeechClientValues catalogue;
  client.LoadVoiceCatalogue(client.FetchAuthToken(&stop), catalogue, &stop);
  if (stop) return kInterrupted;
  if (catalogue.VoiceListJson().empty())
    return Fail(console, kServiceFailed, "语音服务没有应答：" + client.endpoint().baseUrl);

  const fs::path runDir = ResolveRunDir(options.home);
  const SavedVoiceSettings saved = ReadSavedVoiceSettings(RunPaths(runDir).ConfigIni());
  // The window's text rules, so that the files say what the reader would say.
  const RuleSet rules = LoadSpokenRules(runDir, console);
  const auto gbk = [](const std::optional<std::string>& text) {
    return text ? std::optional<std::string>(Utf8ToGbk(*text)) : std::nullopt;
  };
  const VoiceChoice voice =
      ChooseVoiceAndStyle(catalogue.VoiceListJson(), gbk(options.voice), gbk(options.style), saved);
  if (voice.error == VoiceChoice::Error::kUnknownVoice) {
    return Fail(console, kUnknownVoice,
                "语音服务没有这个语音：" +
                    (options.voice ? *options.voice : GbkToUtf8(saved.voice)) + "\n可用的语音：" +
                    JoinUtf8(voice.choices));
  }
  if (voice.error == VoiceChoice::Error::kUnknownStyle) {
    return Fail(console, kUnknownVoice,
                "语音 " + GbkToUtf8(voice.voice) + " 没有这个风格：" + options.style.value_or("") +
                    "\n可用的风格：" + JoinUtf8(voice.choices));
  }

  // The export.
  const ExportJob job{&book,       range.first,      range.last, fs::path(options.output),
                      voice.voice, voice.styleLabel, jobs,       &rules};
  std::fprintf(console.out, "导出《%s》第 %d-%d 章到 %s（语音 %s，风格 %s，%d 路并行）\n",
               GbkToUtf8(book.name).c_str(), range.first, range.last, options.output.c_str(),
               GbkToUtf8(voice.voice).c_str(), GbkToUtf8(voice.styleLabel).c_str(), jobs);
  std::fflush(console.out);
  ConsoleReporter reporter(console);
  std::vector<const SpeechClient*> workerClients;
  for (const SpeechServiceClient& each : clients) workerClients.push_back(&each);
  const ExportOutcome outcome = ExportChapters(job, workerClients, stop, reporter);
  reporter.PrintSummary(outcome, options.output);

  switch (outcome.end) {
    case ExportOutcome::End::kStopped:
      return kInterrupted;
    case ExportOutcome::End::kWriteFailed:
      return Fail(console, kOutputUnwritable, "无法写入 " + outcome.writePath.string());
    case ExportOutcome::End::kServiceFailed:
      return Fail(
          console, kServiceFailed,
          "语音服务接连 " + std::to_string(kExportFailuresInARow) + " 行没有给出音频，导出中止");
    case ExportOutcome::End::kFinished:
      break;
  }
  return outcome.failedLines.empty() ? kOk : kLinesSkipped;
}

}  // namespace lectoria
