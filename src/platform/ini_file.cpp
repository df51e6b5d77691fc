#include "platform/ini_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <span>
#include <unordered_map>
#include <utility>

#include "platform/file_util.h"
#include "platform/gbk_text.h"
#include "platform/ini_document.h"

namespace lectoria {
namespace fs = std::filesystem;

namespace {

// Larger files are refused rather than read (settings and an index are far smaller).
constexpr std::size_t kMaxIniFileBytes = std::size_t{64} << 20;

constexpr std::int64_t kNanosPerSecond = 1'000'000'000;

// One version of a file on disk, as far as stat() can tell.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  std::int64_t modifiedNs = 0;
  std::int64_t changedNs = 0;
  bool operator==(const FileStamp&) const = default;
};

std::int64_t ToNanos(const timespec& time) {
  return static_cast<std::int64_t>(time.tv_sec) * kNanosPerSecond + time.tv_nsec;
}

std::int64_t NowNanos() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return ToNanos(now);
}

FileStamp StampOf(const struct stat& info) {
  return {info.st_dev, info.st_ino, info.st_size, ToNanos(info.st_mtim), ToNanos(info.st_ctim)};
}

enum class LoadResult { kLoaded, kMissing, kFailed };

// One write of WriteMany, as views into the caller's strings.
struct Change {
  std::string_view section;
  std::string_view key;
  std::string_view value;
};

}  // namespace

// Everything known about one path: its lock and the parsed copy of the file.
struct IniFile::State {
  friend class IniFile;

  std::mutex mutex;
  fs::path path;  // absolute

  bool cached = false;  // `bytes` and `document` hold the file as it was at `stamp`
  FileStamp stamp;
  std::int64_t verifiedAtNs = 0;  // when `bytes` were last compared with the disk
  std::string bytes;
  IniDocument document;

  // Brings the copy up to date with the disk. Call with `mutex` held.
  LoadResult Load();
  bool Apply(std::span<const Change> changes);

 private:
  bool Settled() const;
  void Forget();
};

// The file's times come from a clock that advances in ticks of a few milliseconds, so a change
// made within the tick of an earlier one can leave size and times as they were. The copy is
// trusted on its stamp alone only when the file's last change lies well before the moment the
// copy was last compared with the disk: any later change then carries a later change time.
// Until then every use compares the file's bytes again. Filesystems that keep whole seconds
// only (their times show no nanoseconds) need a longer wait.
bool IniFile::State::Settled() const {
  const bool wholeSeconds =
      stamp.changedNs % kNanosPerSecond == 0 && stamp.modifiedNs % kNanosPerSecond == 0;
  const std::int64_t margin = wholeSeconds ? 3 * kNanosPerSecond : 20'000'000;
  return stamp.changedNs + margin < verifiedAtNs;
}

void IniFile::State::Forget() {
  cached = false;
  bytes.clear();
  document = IniDocument();
}

LoadResult IniFile::State::Load() {
  const std::int64_t now = NowNanos();
  struct stat info {};
  if (::stat(path.c_str(), &info) != 0) {
    if (errno != ENOENT && errno != ENOTDIR) return LoadResult::kFailed;
    Forget();
    return LoadResult::kMissing;
  }
  if (!S_ISREG(info.st_mode)) return LoadResult::kFailed;
  const FileStamp current = StampOf(info);
  if (cached && current == stamp && Settled()) return LoadResult::kLoaded;

  // The stamp is taken before the bytes are read: should the file change in between, the copy
  // is newer than its stamp, and the next stat() shows a different stamp and reads again.
  std::string fresh;
  std::error_code error;
  if (!ReadFileBytes(path, fresh, kMaxIniFileBytes, &error)) {
    if (error == std::errc::no_such_file_or_directory) {
      Forget();
      return LoadResult::kMissing;
    }
    Forget();
    return LoadResult::kFailed;
  }
  if (!cached || fresh != bytes) {
    document = IniDocument::Parse(fresh);
    bytes = std::move(fresh);
  }
  cached = true;
  stamp = current;
  verifiedAtNs = now;
  return LoadResult::kLoaded;
}

bool IniFile::State::Apply(std::span<const Change> changes) {
  const std::int64_t started = NowNanos();
  // A file that exists but cannot be read is left alone: saving would replace it.
  if (Load() == LoadResult::kFailed) return false;
  bool changed = false;
  bool rejected = false;
  for (const Change& change : changes) {
    switch (document.Set(change.section, change.key, change.value)) {
      case IniSetResult::kChanged:
        changed = true;
        break;
      case IniSetResult::kRejected:
        rejected = true;
        break;
      case IniSetResult::kUnchanged:
        break;
    }
  }
  if (!changed) return !rejected;

  std::string saved = document.Serialize();
  if (!WriteFileAtomically(path, saved, /*syncToDisk=*/true)) {
    Forget();  // the edited copy no longer matches the disk
    return false;
  }
  struct stat info {};
  if (::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) {
    bytes = std::move(saved);
    stamp = StampOf(info);
    verifiedAtNs = started;  // not settled: the next use compares the bytes once more
    cached = true;
  } else {
    Forget();
  }
  return !rejected;
}

std::shared_ptr<IniFile::State> IniFile::StateFor(const fs::path& path) {
  std::error_code ec;
  fs::path absolute = fs::absolute(path, ec);
  if (ec) absolute = path;
  absolute = absolute.lexically_normal();

  static std::mutex registryMutex;
  // Never destroyed, so IniFile objects may be used during static destruction.
  static auto* registry = new std::unordered_map<std::string, std::shared_ptr<State>>();
  std::lock_guard lock(registryMutex);
  if (registry->size() >= 256) {
    // Drop the copies of files that no IniFile object names any more.
    std::erase_if(*registry, [](const auto& entry) { return entry.second.use_count() == 1; });
  }
  std::shared_ptr<State>& state = (*registry)[absolute.string()];
  if (!state) {
    state = std::make_shared<State>();
    state->path = absolute;
  }
  return state;
}

IniFile::IniFile(fs::path path) : path_(std::move(path)), state_(StateFor(path_)) {}

std::string IniFile::Read(std::string_view section, std::string_view key,
                          std::string_view defaultValue) const {
  std::lock_guard lock(state_->mutex);
  if (state_->Load() != LoadResult::kLoaded) return IniDocument::DefaultValue(defaultValue);
  return state_->document.Get(section, key, defaultValue);
}

bool IniFile::ReadBool(std::string_view section, std::string_view key,
                       std::string_view defaultValue) const {
  return Read(section, key, defaultValue) == kIniTrue;
}

std::int32_t IniFile::ReadInt(std::string_view section, std::string_view key,
                              std::string_view defaultValue) const {
  return ReadLeadingInt(Read(section, key, defaultValue));
}

bool IniFile::Write(std::string_view section, std::string_view key, std::string_view value) {
  const Change change{section, key, value};
  std::lock_guard lock(state_->mutex);
  return state_->Apply(std::span(&change, 1));
}

bool IniFile::WriteBool(std::string_view section, std::string_view key, bool value) {
  return Write(section, key, value ? kIniTrue : kIniFalse);
}

bool IniFile::WriteInt(std::string_view section, std::string_view key, std::int64_t value) {
  return Write(section, key, std::to_string(value));
}

bool IniFile::WriteMany(const std::vector<Entry>& entries) {
  std::vector<Change> changes;
  changes.reserve(entries.size());
  for (const Entry& entry : entries) changes.push_back({entry.section, entry.key, entry.value});
  std::lock_guard lock(state_->mutex);
  return state_->Apply(changes);
}

namespace {

// A value field that WriteInPlace may overwrite: an optional sign and digits, then spaces.
bool IsPaddedNumber(std::string_view field) {
  std::size_t i = 0;
  if (i < field.size() && field[i] == '-') ++i;
  while (i < field.size() && field[i] >= '0' && field[i] <= '9') ++i;
  while (i < field.size() && field[i] == ' ') ++i;
  return i == field.size() && !field.empty() && field[0] != ' ';
}

std::string_view TrimSpacesAndTabs(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

bool IniFile::WriteInPlace(
    std::string_view section,
    const std::vector<std::pair<std::string_view, std::string_view>>& entries) {
  if (entries.empty()) return true;
  std::lock_guard lock(state_->mutex);
  const int fd = ::open(state_->path.c_str(), O_RDWR | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct Closer {
    int fd;
    ~Closer() { ::close(fd); }
  } closer{fd};
  struct stat info {};
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return false;
  char buffer[kInPlaceBytes];
  const ssize_t got = ::pread(fd, buffer, sizeof buffer, 0);
  if (got <= 0) return false;
  std::string head(buffer, static_cast<std::size_t>(got));

  const std::string header = "[" + std::string(section) + "]\r\n";
  if (!StartsWith(head, header)) return false;
  // Where each entry's value field lies in `head`.
  std::vector<std::size_t> at(entries.size(), std::string::npos);
  for (std::size_t pos = header.size(); pos < head.size();) {
    const std::size_t end = head.find("\r\n", pos);
    if (end == std::string::npos) break;  // the line goes on past the head
    const std::string_view line(head.data() + pos, end - pos);
    if (StartsWith(TrimSpacesAndTabs(line), "[")) break;  // the next section
    const std::size_t equals = line.find('=');
    if (equals != std::string_view::npos) {
      const std::string_view name = TrimSpacesAndTabs(line.substr(0, equals));
      for (std::size_t i = 0; i < entries.size(); ++i) {
        // Only the first line of a key counts, as for every reader.
        if (at[i] == std::string::npos && EqualsIgnoreCase(name, entries[i].first)) {
          const std::string_view field = line.substr(equals + 1);
          if (field.size() != entries[i].second.size() || !IsPaddedNumber(field)) return false;
          at[i] = pos + equals + 1;
        }
      }
    }
    pos = end + 2;
  }
  std::size_t first = std::string::npos, last = 0;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (at[i] == std::string::npos || !IsPaddedNumber(entries[i].second)) return false;
    head.replace(at[i], entries[i].second.size(), entries[i].second);
    first = std::min(first, at[i]);
    last = std::max(last, at[i] + entries[i].second.size());
  }
  const std::string_view patch(head.data() + first, last - first);
  if (::pwrite(fd, patch.data(), patch.size(), static_cast<off_t>(first)) !=
      static_cast<ssize_t>(patch.size()))
    return false;
  if (::fdatasync(fd) != 0) return false;
  state_->Forget();  // the next read takes the file from disk
  return true;
}

}  // namespace lectoria
