#include "app/core/reading_place.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

#include "app/window/control_names.h"
#include "app/window/texts.h"
#include "platform/file_util.h"

namespace lectoria {

ReadingPosition PositionOfClip(const AppState& state, std::int32_t clip) {
  const ReadingQueue& queue = state.ReadingQueue;
  const QueueSlot* slot = queue.FindClip(clip);
  if (slot == nullptr || slot->QueueEnd) return {-1, 0};
  std::int32_t row = state.CurrentChapterRow;
  for (const std::int32_t start : queue.ChapterStartClips)
    if (start > state.EnteredClip && start <= clip) ++row;
  return {row, slot->QueueLine};
}

std::string ProgressText(std::int32_t row, std::int32_t chapterCount, std::int32_t line,
                         double percent) {
  char share[32];
  std::snprintf(share, sizeof share, "%.1f%%", std::clamp(percent, 0.0, 100.0));
  return std::string(texts::kProgressChapter) + " " + std::to_string(row + 1) + "/" +
         std::to_string(chapterCount) + " " + std::string(texts::kProgressChapterUnit) +
         std::string(texts::kProgressSeparator) + std::string(texts::kProgressChapter) + " " +
         std::to_string(line) + " " + std::string(texts::kProgressLineUnit) +
         std::string(texts::kProgressSeparator) + share;
}

void ReadingPlace::Show(ReadingPosition place) {
  place_ = place;
  if (place.row < 0) {
    status_.Set(StatusLine::Part::kPosition, {});
    window_.SetHighlightLine(ctl::编辑框1, -1);
    return;
  }
  const std::int32_t count = state_.ReadingQueue.ChapterCount;
  status_.Set(StatusLine::Part::kPosition,
              ProgressText(place.row, count, place.line, Share(place.row, place.line)));
  if (following_ && window_.CurrentRow(ctl::超级列表框1) != place.row) {
    window_.SetCurrentRow(ctl::超级列表框1, place.row);  // shows the chapter: OnChapterShown
  } else {
    Mark();
  }
}

void ReadingPlace::OnChapterShown() {
  following_ = place_.row < 0 || window_.CurrentRow(ctl::超级列表框1) == place_.row;
  Mark();
}

void ReadingPlace::Mark() {
  const std::int32_t shown = window_.CurrentRow(ctl::超级列表框1);
  window_.SetHighlightLine(ctl::编辑框1,
                           place_.row >= 0 && shown == place_.row ? place_.line - 1 : -1);
}

void ReadingPlace::Reveal() {
  if (place_.row < 0) return;
  following_ = true;
  if (window_.CurrentRow(ctl::超级列表框1) != place_.row)
    window_.SetCurrentRow(ctl::超级列表框1, place_.row);
  Mark();
  window_.RevealHighlight(ctl::编辑框1);
}

void ReadingPlace::ApplyBookState() {
  const bool book = state_.BookLoaded;
  {
    std::lock_guard lock(buttonsMutex_);
    window_.SetEnabled(ctl::按钮4, book);
    // Until the voice list has loaded, 按钮1 stays as the form has it.
    if (voicesReady_ || !book) window_.SetEnabled(ctl::按钮1, book);
  }
  if (!book) {
    window_.SetText(ctl::编辑框3, texts::kOpenBookFirst);
    Show({-1, 0});
  }
}

void ReadingPlace::VoicesReady() {
  std::lock_guard lock(buttonsMutex_);
  voicesReady_ = true;
  window_.SetText(ctl::按钮1, texts::kCaptionStart);
  window_.SetEnabled(ctl::按钮1, state_.BookLoaded.load());
}

void ReadingPlace::BookChanged() {
  sizes_.clear();
  total_ = 0;
  offsetsChapter_ = 0;
  offsets_.clear();
  place_ = {-1, 0};
  following_ = true;
}

std::int64_t ReadingPlace::ChapterBytes(std::int32_t chapter) {
  const std::int32_t count = state_.ReadingQueue.ChapterCount;
  if (static_cast<std::int32_t>(sizes_.size()) != count) {
    sizes_.assign(static_cast<std::size_t>(std::max(count, 0)), 0);
    total_ = 0;
    for (std::int32_t k = 1; k <= count; ++k) {
      std::error_code ec;
      const auto size = std::filesystem::file_size(state_.R.ChapterFile(k), ec);
      sizes_[static_cast<std::size_t>(k - 1)] = ec ? 0 : static_cast<std::int64_t>(size);
      total_ += sizes_[static_cast<std::size_t>(k - 1)];
    }
  }
  return chapter >= 1 && chapter <= count ? sizes_[static_cast<std::size_t>(chapter - 1)] : 0;
}

std::int64_t ReadingPlace::LineOffset(std::int32_t chapter, std::int32_t line) {
  if (offsetsChapter_ != chapter) {
    // Read once per chapter: the line starts, so that each line of it costs nothing more.
    offsetsChapter_ = chapter;
    offsets_.assign(1, 0);
    std::ifstream in(state_.R.ChapterFile(chapter), std::ios::binary);
    char buffer[1 << 16];
    std::int64_t at = 0;
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
      for (std::streamsize i = 0; i < in.gcount(); ++i)
        if (buffer[i] == '\n') offsets_.push_back(at + i + 1);
      at += in.gcount();
    }
  }
  if (line <= 1 || offsets_.empty()) return 0;
  return offsets_[std::min<std::size_t>(static_cast<std::size_t>(line - 1), offsets_.size() - 1)];
}

double ReadingPlace::Share(std::int32_t row, std::int32_t line) {
  ChapterBytes(1);  // the sizes, once per book
  if (total_ <= 0) return 0.0;
  std::int64_t before = 0;
  for (std::int32_t k = 1; k <= row && k <= static_cast<std::int32_t>(sizes_.size()); ++k)
    before += sizes_[static_cast<std::size_t>(k - 1)];
  before += std::min(LineOffset(row + 1, line), ChapterBytes(row + 1));
  return 100.0 * static_cast<double>(before) / static_cast<double>(total_);
}

}  // namespace lectoria
