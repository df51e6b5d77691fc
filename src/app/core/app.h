// The application core: the state, the main window model, the settings and the library
// index, with the start-up and settings operations and the binding of window events.
//
// Parts of the program that come later (import, playback, synthesis, the voice list) plug in
// through AppHooks; every event binding lives in event_bindings.cpp.
#pragma once

#include <filesystem>
#include <functional>
#include <string_view>
#include <thread>

#include "app/state/app_state.h"
#include "app/state/config_store.h"
#include "app/core/import_job.h"
#include "app/core/status_line.h"
#include "app/core/reading_place.h"
#include "app/core/save_notices.h"
#include "app/core/status_line.h"
#include "app/ports/dialogs.h"
#include "app/ports/hotkeys.h"
#include "app/ports/progress_dialog.h"
#include "app/ports/shelf_view.h"
#include "app/ports/ui_thread.h"
#include "app/window/main_window.h"
#include "library/bookshelf.h"
#include "library/library_index.h"
#include "platform/clip_player.h"

namespace lectoria {

/// The platform services the core uses; owned by the caller and outliving the App.
struct AppPorts {
  UiThread& ui;
  HotkeyBackend& hotkeys;
  MessageBoxPort& messages;
  FileDialogPort& fileDialog;
  ClipPlayer& player;  // 媒体播放1
  /// The import's progress dialog; without one the import runs unseen until its message.
  ProgressDialogPort* progress = nullptr;
  /// The bookshelf's list; without one the shelf is not shown.
  ShelfViewPort* shelfView = nullptr;
  /// Yes/no questions (replace a book, remove one); without it every question answers no.
  QuestionPort* questions = nullptr;
};

/// Operations that other parts of the program supply. Set them before Start(). An empty hook
/// is the placeholder described at each. All run on the UI thread except LoadVoices.
struct AppHooks {
  /// 按钮2 "打开文件" clicked. Empty: App::ImportBook.
  std::function<void()> ImportBook;
  /// 按钮1 clicked, and the Alt+Space hotkey. Placeholder: nothing.
  std::function<void()> ToggleStartPause;
  /// 按钮4 "跳过" clicked. Placeholder: nothing.
  std::function<void()> AdvanceClip;
  /// 时钟1, every 1000 ms from Start() to Close(). Placeholder: nothing.
  std::function<void()> OnTimerTick;
  /// 组合框_语音: the user picked a voice. Placeholder: nothing.
  std::function<void()> FillStyleBox;
  /// Body of the voice-loading thread started by start-up; it must end by setting the caption
  /// "开始" on 按钮1 and then enabling it when a book is loaded. Placeholder: only that last step.
  /// Close() joins the thread, so the body must not wait for the UI thread. Should it throw, the
  /// App takes that last step.
  std::function<void()> LoadVoices;
  /// 超级链接框1 clicked: open the address in the default browser. Placeholder: nothing.
  std::function<void(std::string_view url)> OpenUrl;
  /// Runs in Close() before CleanUpTemp: stop and join the threads of the later parts.
  std::function<void()> OnClose;
  /// Runs when an imported book replaces the one being read, before the counters and the
  /// audio cache start again: stop playback and synthesis. Placeholder: nothing.
  std::function<void()> StopReading;
  /// Go back to the line before the one being heard (the desktop's "previous" media key).
  /// Placeholder: nothing.
  std::function<void()> PreviousLine;
  /// The user picked another voice or style, or saved them: clips made with the old ones are
  /// not to be heard. Placeholder: nothing.
  std::function<void()> VoiceChanged;
  /// Asked when a line has been heard to its end, before the next one starts: true pauses
  /// reading there (the sleep timer). Placeholder: never.
  std::function<bool()> HoldAtLineEnd;
  /// What is spoken has changed (the text rules; a voice or style): the lines after the one
  /// being heard are loaded again and their clips synthesized again, so the change is heard
  /// from the next line. Placeholder: nothing.
  std::function<void()> RefreshAhead;
};

class App {
 public:
  App(const std::filesystem::path& runDir, AppPorts ports);
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  AppHooks& hooks() { return hooks_; }
  AppState& state() { return state_; }
  MainWindow& window() { return window_; }
  ConfigStore& config() { return config_; }
  LibraryIndex& library() { return library_; }
  HotkeyRegistry& hotkeys() { return hotkeys_; }
  /// The status line 状态条1, shared by whoever has something to report.
  StatusLine& statusLine() { return statusLine_; }
  /// Where every save of the settings and of the reading position reports its result.
  SaveNotices& saveNotices() { return saveNotices_; }
  /// The line being read as the window shows it (progress, mark, following, no-book state).
  ReadingPlace& place() { return place_; }
  const AppPorts& ports() const { return ports_; }

  /// Binds the window's events, starts 时钟1 and raises the window's creation, which runs
  /// OnMainWindowCreated. Call once, on the UI thread.
  void Start();
  /// Stops the timer, runs hooks().OnClose, raises the window's destruction (CleanUpTemp) and
  /// waits for the voice-loading thread. UI thread; a second call does nothing.
  void Close();
  /// Waits until the voice-loading thread has finished.
  void JoinVoiceLoader();

  // Start-up and settings.
  /// The start-up sequence run by the window's creation: show the window, start the voice
  /// loader, reset counters and flags, register Alt+Space and Alt+Z, load the settings onto the
  /// check boxes, renew temp/, size the queue, and restore the book when data.ini exists.
  void OnMainWindowCreated();
  /// Closes the player and deletes temp/ with its contents. Harmless to run twice.
  void CleanUpTemp();
  /// Click handlers of 选择框1 and 选择框2: store the new check state and take it over.
  void OnSkipNonChineseClicked();
  void OnWakeOutputClicked();
  /// 按钮3 "保存配置": stores the shown voice and the style box's selection index.
  void SaveVoiceSettings();
  /// Registers a system-wide hotkey (see HotkeyRegistry).
  bool RegisterGlobalHotkey(WindowHandle window, std::uint32_t modifiers, std::uint32_t key,
                            std::function<void()> handler, std::int32_t id);
  /// Alt+Z: hides the window when visible, shows it otherwise. Reading goes on while hidden.
  void ToggleMainWindow();

  /// Takes the book's name, chapter list, reading position and reading queue from the library
  /// index, as start-up does when data.ini exists: title, FillChapterList, FillLine = "行号",
  /// CurrentChapterRow = "阅读历史" (made the list's current row, which shows that chapter),
  /// LoadQueue in reload mode, and slot 1's text in 编辑框3. Also for the end of an import.
  /// The position is checked first (CheckReadingPosition); a row it replaces is stored, and
  /// when it cannot be stored the book is listed but not loaded for reading.
  void RestoreFromLibrary();

  /// 按钮2 "打开文件": asks for a .txt book and imports it (see library/book_import.h) onto
  /// the shelf, on a thread of its own behind the progress dialog, while the window stays
  /// usable and the current book goes on being read. Once the new book is ready it becomes the
  /// book being read, from its start; the one read before keeps its place on the shelf; then
  /// "导入完毕！". A file already on the shelf is imported again only when the user agrees to
  /// replace that book (which keeps its place). "请打开文件！" when the dialog is cancelled; a
  /// refused, failed or cancelled import shows why and changes nothing. Does nothing while an
  /// import runs.
  void ImportBook();
  /// True while an import runs.
  bool ImportRunning() const { return importJob_.Running(); }

  // Bookshelf (see library/bookshelf.h).
  /// Ctrl+B and 按钮_书架: lists the books (title, chapters, share read, last read) in the
  /// shelf view, whose choices switch to a book or remove one.
  void ShowShelf();
  /// Makes book `id` the one being read: reading stops, the book is swapped into R/data and
  /// the window takes its title, chapters and position. False when it cannot be swapped in;
  /// the current book then stays.
  bool SwitchBook(BookId id);
  /// Asks first, then removes book `id` and its files; removing the book being read leaves no
  /// book loaded.
  void RemoveFromShelf(BookId id);

  // Chapter list.
  /// Refills 超级列表框1 from the library index and sets ChapterCount: "章节数", but never more
  /// than the chapter files present (LastChapterFile).
  void FillChapterList();
  /// Shows the file of the current row's chapter in 编辑框1 (empty when it does not exist).
  void ShowChapterText();

  /// LoadQueue of the process-wide reading queue.
  void LoadQueue(bool reload) { state_.ReadingQueue.LoadQueue(reload); }

 private:
  void BindEvents();
  void FinishImport(BookImportResult result, BookId id, BookId replaces);
  /// Stops reading and starts the counters, the audio cache and the queue again for the book
  /// now in R/data (or none).
  void StartReadingAfresh();
  bool Ask(std::string_view utf8Text);
  std::vector<ShelfRow> ShelfRows() const;
  /// The window's end during an import: stop it, wait for it, forget what it built.
  void AbandonImport();
  void RegisterHotkeys();
  void StartVoiceLoader();
  void RunHook(const std::function<void()>& hook) {
    if (hook) hook();
  }

  AppPorts ports_;
  AppState state_;
  ConfigStore config_;
  LibraryIndex library_;
  MainWindow window_;
  StatusLine statusLine_{window_};
  ReadingPlace place_{state_, window_, statusLine_};
  HotkeyRegistry hotkeys_;
  SaveNotices saveNotices_;
  AppHooks hooks_;
  std::thread voiceLoader_;
  ImportJob importJob_{ports_.ui};
  BookId importing_ = 0;  // the book the running import builds
  bool started_ = false;
  bool closed_ = false;
};

}  // namespace lectoria
