// Moving the reading elsewhere: read from a chapter or a line, previous/next line and chapter,
// seeking within the clip, and a voice or style change heard from the next line.
//
// Every move is one operation, ReadFrom(row, line, placeMs): reading stops (the StopReading
// hook: StartAfterWait ends, the player closes, a synthesis run in flight is told to stop and
// its clip, should it still arrive, is discarded), the audio cache and the clip numbers start
// again from 0, the position is saved ("阅读历史", "行号", "行内位置" in one save), the queue is
// loaded there and, when reading was on, it goes on at once from the new place: the caption
// becomes "等待合成" and clip 0 plays as soon as the worker has made it. Stored positions keep
// their meaning: the queue and the clip numbers work as after a start-up at that position.
//
// UI thread only.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include "app/core/app.h"
#include "app/reading/playback_controller.h"

namespace lectoria {

class ReadingNavigator {
 public:
  /// Seek step of the window's commands.
  static constexpr std::int64_t kSeekStepMs = 10000;

  /// `app` and `playback` must outlive the navigator, or the navigator be destroyed first.
  ReadingNavigator(App& app, PlaybackController& playback);
  ~ReadingNavigator();
  ReadingNavigator(const ReadingNavigator&) = delete;
  ReadingNavigator& operator=(const ReadingNavigator&) = delete;

  /// Binds the window's commands (read from here, previous/next line and chapter, seek) and
  /// the hooks PreviousLine and VoiceChanged. Call once, before App::Start().
  void Install();

  /// Reads from the first usable line at or after `line` of chapter row `row` (held within the
  /// book), `placeMs` into its clip. False without a book.
  bool ReadFrom(std::int32_t row, std::int32_t line, std::int64_t placeMs = 0);

  /// Read from the start of the list's current chapter; from the line of 编辑框1 pointed at.
  void ReadFromChapter();
  void ReadFromLine();
  /// The usable line before / after the one being heard, across chapter borders; nothing at
  /// the book's ends.
  void PreviousLine();
  void NextLine();
  /// The start of the previous / next chapter; nothing before the first or after the last.
  void PreviousChapter();
  void NextChapter();
  /// Clips made with the old voice or style are dropped: a line being heard ends and reading
  /// goes on from the next line; when nothing has been heard yet, from the current one.
  void VoiceChanged();

  /// The line being heard (or about to be): row -1 when there is none.
  ReadingPosition Current() const;

 private:
  std::optional<ReadingPosition> NextPosition() const;
  std::optional<ReadingPosition> PreviousPosition() const;

  App& app_;
  PlaybackController& playback_;
  std::shared_ptr<ReadingNavigator*> link_ = std::make_shared<ReadingNavigator*>(this);
};

}  // namespace lectoria
