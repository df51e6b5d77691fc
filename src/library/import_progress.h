// How a caller follows and stops an import, and how an import reports its outcome.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>

namespace lectoria {

/// Why an import did not happen. Every refusal leaves the library as it was.
enum class ImportError {
  kNone,
  kUnreadable,       ///< the book cannot be read: missing, not a regular file, no permission
  kWriteFailed,      ///< the library could not be written (e.g. a full disk)
  kEmpty,            ///< the file holds no bytes
  kBinary,           ///< control bytes beyond what a text holds: a program, an image, ...
  kNoText,           ///< no line holds anything readable
  kTooManyChapters,  ///< more chapters than the chapter list shows (kMaxChapterCount)
  kCancelled,        ///< the caller's cancel flag was raised
};

/// The message (GBK) to show for a failed import, naming the reason, e.g.
/// "文件是空的，没有导入。"; empty for kNone.
std::string ImportFailureMessage(ImportError error);

/// Optional hooks of a long-running import; both may be left empty. The import runs on the
/// caller's thread; `progress` is called on that thread.
struct ImportControl {
  /// Called with 0..100 each time the percentage grows.
  std::function<void(int percent)> progress;
  /// Polled between blocks; once true the import stops with kCancelled and changes nothing.
  const std::atomic<bool>* cancel = nullptr;
};

/// Turns bytes processed into calls of ImportControl::progress over a number of passes.
class ProgressMeter {
 public:
  ProgressMeter(const ImportControl& control, std::int64_t totalBytes, int passes)
      : control_(control), total_(totalBytes > 0 ? totalBytes : 1), passes_(passes) {}

  /// `done` bytes of pass `pass` (0-based) are processed.
  void Report(int pass, std::int64_t done) {
    if (!control_.progress) return;
    const std::int64_t scaled = (static_cast<std::int64_t>(pass) * total_ + done) * 100;
    const int percent = static_cast<int>(scaled / (total_ * passes_));
    if (percent > last_ && percent <= 100) {
      last_ = percent;
      control_.progress(percent);
    }
  }
  void Done() {
    if (control_.progress && last_ < 100) control_.progress(last_ = 100);
  }
  bool Cancelled() const { return control_.cancel && control_.cancel->load(); }

 private:
  const ImportControl& control_;
  std::int64_t total_;
  int passes_;
  int last_ = -1;
};

}  // namespace lectoria
