#include "app/core/import_job.h"

#include <system_error>

namespace lectoria {

bool ImportJob::Start(Work work, std::function<void(int)> onProgress,
                      std::function<void(BookImportResult)> onDone) {
  if (running_) return false;
  Join();
  running_ = true;
  auto shared = std::make_shared<Shared>();
  shared_ = shared;
  // The posted tasks hold `shared`, not the job: an abandoned job's results are dropped even
  // when they are run after the job is gone.
  auto body = [this, shared, work = std::move(work), onProgress = std::move(onProgress),
               onDone = std::move(onDone)] {
    ImportControl control;
    control.cancel = &shared->cancel;
    control.progress = [this, shared, onProgress](int percent) {
      ui_.Post([shared, onProgress, percent] {
        if (!shared->abandoned && !shared->cancel) onProgress(percent);
      });
    };
    BookImportResult result = work(control);
    ui_.Post([this, shared, onDone, result = std::move(result)]() mutable {
      if (shared->abandoned) return;
      Join();  // the thread ends right after posting this
      running_ = false;
      onDone(std::move(result));
    });
  };
  try {
    thread_ = std::thread(body);
  } catch (const std::system_error&) {
    body();  // no thread to be had: import here; the result still arrives through the queue
  }
  return true;
}

void ImportJob::Cancel() {
  if (shared_) shared_->cancel = true;
}

bool ImportJob::Cancelled() const {
  return shared_ && shared_->cancel;
}

void ImportJob::Abandon() {
  if (shared_) {
    shared_->cancel = true;
    shared_->abandoned = true;
  }
  Join();
  running_ = false;
}

void ImportJob::Join() {
  if (thread_.joinable() && thread_.get_id() != std::this_thread::get_id()) thread_.join();
}

}  // namespace lectoria
