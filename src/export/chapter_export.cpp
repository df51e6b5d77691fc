#include "export/chapter_export.h"

#include <algorithm>
#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

#include "export/chapter_file_name.h"
#include "export/id3_tag.h"
#include "export/mp3_frames.h"
#include "platform/codepage.h"
#include "platform/file_util.h"
#include "platform/gbk_text.h"
#include "tts/speech_client_state.h"

namespace lectoria {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

struct PendingChapter {
  int number = 0;
  std::string fileName;
  std::vector<SpokenLine> lines;
  std::vector<std::string> clips;  // by line; empty where the line failed
  std::size_t remaining = 0;
};

struct Task {
  std::size_t chapter;  // index into the pending chapters
  std::size_t line;
};

// Waits up to `ms`, returning early once `stop` is set.
void WaitUnlessStopped(int ms, const std::atomic<bool>& stop) {
  for (int waited = 0; waited < ms && !stop; waited += 20)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

// Leftovers of an export killed while writing (the temporary files of WriteFileAtomically,
// ".<name>.<pid>.<n>.tmp"), for the chapters about to be written.
void RemoveStaleTemporaries(const fs::path& dir, const std::vector<PendingChapter>& chapters) {
  std::error_code error;
  for (const fs::directory_entry& entry : fs::directory_iterator(dir, error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() < 6 || name[0] != '.' || !EndsWith(name, ".tmp")) continue;
    for (const PendingChapter& chapter : chapters) {
      if (StartsWith(std::string_view(name).substr(1), chapter.fileName + ".")) {
        RemoveFile(entry.path());
        break;
      }
    }
  }
}

class Exporter {
 public:
  Exporter(const ExportJob& job, std::atomic<bool>& stop, ExportObserver& observer)
      : job_(job), stop_(stop), observer_(observer) {}

  ExportOutcome Run(const std::vector<const SpeechClient*>& clients) {
    Prepare();
    RemoveStaleTemporaries(job_.outputDir, chapters_);
    const int jobs = std::max(1, std::min<int>(job_.jobs, static_cast<int>(tasks_.size())));
    std::vector<std::thread> workers;
    if (!tasks_.empty() && !clients.empty()) {
      for (int k = 0; k < jobs; ++k)
        workers.emplace_back([this, &clients, k] { Work(*clients[k % clients.size()]); });
    }
    for (std::thread& worker : workers) worker.join();

    std::lock_guard lock(mutex_);
    if (outcome_.end == ExportOutcome::End::kFinished && stop_)
      outcome_.end = ExportOutcome::End::kStopped;
    status_.elapsedSeconds = Elapsed();
    outcome_.elapsedSeconds = status_.elapsedSeconds;
    std::sort(outcome_.failedLines.begin(), outcome_.failedLines.end(),
              [](const FailedLine& a, const FailedLine& b) {
                return std::pair(a.chapter, a.line) < std::pair(b.chapter, b.line);
              });
    return outcome_;
  }

 private:
  // The chapters still to do and their lines, in book order.
  void Prepare() {
    for (int k = job_.firstChapter; k <= job_.lastChapter; ++k) {
      PendingChapter chapter;
      chapter.number = k;
      chapter.fileName = ExportFileName(*job_.book, k);
      if (FileExists(job_.outputDir / chapter.fileName)) {
        ++outcome_.chaptersExisting;
        observer_.OnChapterSkipped(k, chapter.fileName, ExportObserver::Skip::kExists);
        continue;
      }
      chapter.lines =
          SpokenLines(job_.book->chapters[static_cast<std::size_t>(k - 1)].text, job_.rules);
      if (chapter.lines.empty()) {
        ++outcome_.chaptersEmpty;
        observer_.OnChapterSkipped(k, chapter.fileName, ExportObserver::Skip::kNoLines);
        continue;
      }
      chapter.clips.resize(chapter.lines.size());
      chapter.remaining = chapter.lines.size();
      for (std::size_t j = 0; j < chapter.lines.size(); ++j) {
        tasks_.push_back({chapters_.size(), j});
        textBytesTotal_ += static_cast<std::int64_t>(chapter.lines[j].text.size());
      }
      chapters_.push_back(std::move(chapter));
    }
    status_.chaptersToDo = static_cast<int>(chapters_.size());
    status_.linesTotal = static_cast<std::int64_t>(tasks_.size());
  }

  void Work(const SpeechClient& client) {
    SpeechClientValues state;
    std::string token = client.FetchAuthToken(&stop_);
    client.LoadVoiceCatalogue(token, state, &stop_);
    while (!stop_) {
      const std::size_t index = next_++;
      if (index >= tasks_.size()) break;
      const Task task = tasks_[index];
      const SpokenLine& line = chapters_[task.chapter].lines[task.line];
      std::string clip = Synthesize(client, token, state, line.text);
      if (clip.empty() && stop_) break;  // abandoned, not failed
      FinishLine(task, std::move(clip));
    }
  }

  // One line, with retries; empty when every attempt failed or the export stops.
  std::string Synthesize(const SpeechClient& client, std::string& token, SpeechClientState& state,
                         const std::string& text) {
    for (int attempt = 1; attempt <= kExportAttempts && !stop_; ++attempt) {
      std::string audio =
          client.SynthesizeLine(token, text, job_.voice, job_.styleLabel, state, &stop_);
      if (!audio.empty() && WalkMp3Frames(audio)) return audio;
      if (stop_ || attempt == kExportAttempts) break;
      WaitUnlessStopped(kExportRetryWaitMs * attempt, stop_);
      token = client.FetchAuthToken(&stop_);
      client.LoadVoiceCatalogue(token, state, &stop_);
    }
    return {};
  }

  void FinishLine(const Task& task, std::string clip) {
    std::unique_lock lock(mutex_);
    PendingChapter& chapter = chapters_[task.chapter];
    const SpokenLine& line = chapter.lines[task.line];
    status_.chapter = chapter.number;
    ++status_.linesDone;
    textBytesDone_ += static_cast<std::int64_t>(line.text.size());
    if (clip.empty()) {
      Fail(chapter.number, line);
      if (++failuresInARow_ >= kExportFailuresInARow) {
        outcome_.end = ExportOutcome::End::kServiceFailed;
        stop_ = true;
        return;
      }
    } else {
      failuresInARow_ = 0;
      status_.audioSeconds += WalkMp3Frames(clip)->Seconds();
      chapter.clips[task.line] = std::move(clip);
    }
    UpdateTimes();
    observer_.OnProgress(status_);
    if (--chapter.remaining > 0) return;

    // The chapter is complete: join and write it without holding up the other workers.
    std::vector<std::string> clips = std::move(chapter.clips);
    lock.unlock();
    std::vector<std::size_t> unjoinable;
    double seconds = 0;
    const std::string bytes = Assemble(chapter, clips, unjoinable, seconds);
    const fs::path path = job_.outputDir / chapter.fileName;
    const bool nothing = seconds == 0;  // every line failed: no file, so a new run tries again
    const bool written = nothing || stop_ || WriteFileAtomically(path, bytes);
    lock.lock();

    for (std::size_t j : unjoinable) Fail(chapter.number, chapter.lines[j]);
    if (nothing || stop_) return;
    if (!written) {
      if (outcome_.end == ExportOutcome::End::kFinished) {
        outcome_.end = ExportOutcome::End::kWriteFailed;
        outcome_.writePath = path;
      }
      stop_ = true;
      return;
    }
    ++outcome_.chaptersWritten;
    outcome_.audioSeconds += seconds;
    ++status_.chaptersDone;
    UpdateTimes();
    observer_.OnChapterWritten(status_, chapter.number, chapter.fileName, seconds);
  }

  // The chapter's file: its tag, then the frames of its clips in line order. Clips in another
  // format than the first cannot be joined without re-encoding and are left out.
  std::string Assemble(const PendingChapter& chapter, const std::vector<std::string>& clips,
                       std::vector<std::size_t>& unjoinable, double& seconds) const {
    const ExportChapter& source = job_.book->chapters[static_cast<std::size_t>(chapter.number - 1)];
    Id3Fields fields;
    fields.title = GbkToUtf8(TrimBlanks(source.title));
    fields.album = GbkToUtf8(job_.book->name);
    fields.track =
        std::to_string(chapter.number) + "/" + std::to_string(job_.book->chapters.size());
    fields.artist = GbkToUtf8(job_.voice);
    std::string bytes = BuildId3Tag(fields);
    Mp3Format format;
    for (std::size_t j = 0; j < clips.size(); ++j) {
      if (clips[j].empty()) continue;
      const std::optional<Mp3Clip> clip = WalkMp3Frames(clips[j]);
      if (!clip || !AppendMp3Frames(*clip, format, bytes)) {
        unjoinable.push_back(j);
        continue;
      }
      seconds += clip->Seconds();
    }
    return bytes;
  }

  void Fail(int chapter, const SpokenLine& line) {
    FailedLine failed{chapter, line.number, line.text};
    observer_.OnLineFailed(failed);
    outcome_.failedLines.push_back(std::move(failed));
  }

  double Elapsed() const { return std::chrono::duration<double>(Clock::now() - started_).count(); }

  void UpdateTimes() {
    status_.elapsedSeconds = Elapsed();
    status_.remainingSeconds = textBytesDone_ > 0
                                   ? status_.elapsedSeconds *
                                         static_cast<double>(textBytesTotal_ - textBytesDone_) /
                                         static_cast<double>(textBytesDone_)
                                   : -1;
  }

  const ExportJob& job_;
  std::atomic<bool>& stop_;
  ExportObserver& observer_;
  const Clock::time_point started_ = Clock::now();

  std::vector<PendingChapter> chapters_;
  std::vector<Task> tasks_;
  std::atomic<std::size_t> next_{0};
  std::int64_t textBytesTotal_ = 0;

  std::mutex mutex_;  // guards everything below, and the observer's calls
  std::int64_t textBytesDone_ = 0;
  int failuresInARow_ = 0;
  ExportStatus status_;
  ExportOutcome outcome_;
};

}  // namespace

std::string ExportFileName(const ExportBook& book, int number) {
  const std::string& title = book.chapters[static_cast<std::size_t>(number - 1)].title;
  return ChapterFileName(number, static_cast<int>(book.chapters.size()),
                         GbkToUtf8(TrimBlanks(title)));
}

ExportOutcome ExportChapters(const ExportJob& job, const std::vector<const SpeechClient*>& clients,
                             std::atomic<bool>& stop, ExportObserver& observer) {
  return Exporter(job, stop, observer).Run(clients);
}

}  // namespace lectoria
