#include "wiring.h"

#include <QApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

#include <sys/socket.h>
#include <unistd.h>

#include "app/core/app.h"
#include "app/listening/comforts.h"
#include "app/listening/reading_rules.h"
#include "app/window/control_names.h"
#include "app/state/run_dir_claim.h"
#include "app/reading/playback_controller.h"
#include "app/reading/refresh_ahead.h"
#include "app/reading/reading_navigator.h"
#include "app/reading/synthesis_worker.h"
#include "app/reading/voice_loader.h"
#include "app/window/control_names.h"
#include "audio/system_clip_player.h"
#include "engine_settings.h"
#include "platform/run_dir.h"
#include "speechd/speech_service.h"
#include "tts/speech_service_client.h"
#include "ui/main_view.h"
#include "ui/mpris_service.h"
#include "ui/open_url.h"
#include "ui/qt_dialogs.h"
#include "ui/qt_progress_dialog.h"
#include "ui/qt_shelf_view.h"
#include "ui/qt_translations.h"
#include "ui/qt_ui_thread.h"
#include "ui/rules_dialog.h"
#include "ui/tray_icon.h"
#include "ui/x11_hotkeys.h"

namespace lectoria {
namespace {

bool TakeValue(std::string_view arg, std::string_view name, int& i, int argc,
               const char* const* argv, std::string& value, std::string& error) {
  if (arg == name) {
    if (i + 1 >= argc) {
      error = "option " + std::string(name) + " needs a value";
      return true;
    }
    value = argv[++i];
    return true;
  }
  if (arg.size() > name.size() && arg.substr(0, name.size()) == name && arg[name.size()] == '=') {
    value = std::string(arg.substr(name.size() + 1));
    return true;
  }
  return false;
}

bool NonEmpty(const char* value) {
  return value && *value;
}

// The parts of the program that plug into the core's hooks. They live as long as the run, are
// destroyed before the App, and in the reverse of this order: the speech service outlives its
// client, the client outlives the loader and the worker.
struct ConnectedParts {
  std::unique_ptr<speechd::SpeechService> embeddedService;
  std::unique_ptr<SpeechServiceClient> speechClient;
  std::unique_ptr<PlaybackController> playback;
  std::unique_ptr<ReadingNavigator> navigator;
  std::unique_ptr<VoiceLoader> voices;
  std::unique_ptr<SynthesisWorker> worker;
  std::unique_ptr<ReadingRules> rules;
};

// The speech service to use: the one named on the command line or in LECTORIA_SPEECH_SERVICE,
// otherwise our own, started here on a free loopback port so that reading needs no network.
SpeechServiceEndpoint ChooseSpeechService(const ProgramOptions& options, const RunPaths& paths,
                                          ConnectedParts& parts) {
  std::string url = options.speechService;
  if (url.empty() && NonEmpty(std::getenv("LECTORIA_SPEECH_SERVICE")))
    url = std::getenv("LECTORIA_SPEECH_SERVICE");
  if (!url.empty()) {
    SpeechServiceEndpoint endpoint;
    endpoint.baseUrl = url;
    return endpoint;
  }
  // Its engine (espeak-ng, Azure, a speech server or a local program) comes from config.ini.
  std::string message;
  speechd::SpeechServiceOptions serviceOptions;
  serviceOptions.handlers.engine = ChooseSpeechEngine(paths, message);
  if (!message.empty()) std::fprintf(stderr, "lectoria: %s\n", message.c_str());
  parts.embeddedService = std::make_unique<speechd::SpeechService>(std::move(serviceOptions));
  const int port = parts.embeddedService->Start("127.0.0.1", 0);
  if (port == 0) {
    // The reader still starts; the voice list stays empty and synthesis reports its failure.
    std::fprintf(stderr, "lectoria: the built-in speech service could not start: %s\n",
                 parts.embeddedService->LastError().c_str());
  }
  return SpeechServiceEndpoint::Local(port);
}

// Where the parts of the program meet the core's hooks. The core supplies a placeholder for
// every hook left empty here; the book import (按钮2) is the core's own App::ImportBook.
ConnectedParts ConnectParts(App& app, const ProgramOptions& options) {
  ConnectedParts parts;
  AppHooks& hooks = app.hooks();
  hooks.OpenUrl = [](std::string_view url) { OpenUrlInBrowser(url); };

  // Playback: 按钮1 and Alt+Space, 按钮4, the tick of 时钟1, the end of each clip; it stops
  // for a new book (StopReading) and joins its thread in OnClose.
  parts.playback = std::make_unique<PlaybackController>(app);
  parts.playback->Install();
  // Moving the reading: read from here, previous/next line and chapter, seeking, a new voice.
  parts.navigator = std::make_unique<ReadingNavigator>(app, *parts.playback);
  parts.navigator->Install();

  // Speech: the voice-loading thread (LoadVoices, which ends by enabling 按钮1 with "开始") and
  // the style box (FillStyleBox); the synthesis worker, launched as the tick's last step.
  parts.speechClient =
      std::make_unique<SpeechServiceClient>(ChooseSpeechService(options, app.state().R, parts));
  parts.voices = std::make_unique<VoiceLoader>(app, *parts.speechClient);
  parts.voices->Install(hooks);
  parts.worker = std::make_unique<SynthesisWorker>(app, *parts.speechClient);
  parts.worker->Install(hooks);
  parts.playback->SetLaunchStep([worker = parts.worker.get()] { worker->LaunchIfNeeded(); });

  // What is spoken: the text rules of R/rules.txt on the queue (before start-up loads it), the
  // rules dialog (按钮_规则, Ctrl+R), and a change heard from the next line.
  hooks.RefreshAhead = [&app, worker = parts.worker.get()] { RefreshAhead(app, *worker); };
  parts.rules = std::make_unique<ReadingRules>(app);
  parts.rules->Install();
  return parts;
}

// SIGINT and SIGTERM close the window like its close button, so that temp/ is cleaned up.
// The handler writes a byte to a socket that the event loop watches. The end must come even
// when the event loop cannot get to it (the UI thread busy) or the clean-up hangs: the first
// signal also sets an alarm that ends the process kForcedExitSeconds later, and a second
// signal ends it at once. Closing the window sets the same alarm.
int g_signalSocket[2] = {-1, -1};
volatile std::sig_atomic_t g_signalled = 0;
constexpr unsigned kForcedExitSeconds = 2;
constexpr int kForcedExitStatus = 1;

void OnForcedExit(int) {
  ::_exit(kForcedExitStatus);
}

void ArmForcedExit() {
  struct sigaction action = {};
  action.sa_handler = OnForcedExit;
  sigemptyset(&action.sa_mask);
  sigaction(SIGALRM, &action, nullptr);
  ::alarm(kForcedExitSeconds);
}

void OnTerminationSignal(int) {
  if (g_signalled) ::_exit(kForcedExitStatus);
  g_signalled = 1;
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_signalSocket[0], &byte, 1);
  ::alarm(kForcedExitSeconds);  // its handler is installed with the signal handlers
}

std::unique_ptr<QSocketNotifier> WatchTerminationSignals(std::function<void()> onSignal) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signalSocket) != 0) return nullptr;
  auto notifier = std::make_unique<QSocketNotifier>(g_signalSocket[1], QSocketNotifier::Read);
  QObject::connect(notifier.get(), &QSocketNotifier::activated, notifier.get(),
                   [onSignal = std::move(onSignal)] {
                     char byte;
                     [[maybe_unused]] const ssize_t n = ::read(g_signalSocket[1], &byte, 1);
                     onSignal();
                   });
  struct sigaction forced = {};
  forced.sa_handler = OnForcedExit;
  sigemptyset(&forced.sa_mask);
  sigaction(SIGALRM, &forced, nullptr);
  struct sigaction action = {};
  action.sa_handler = OnTerminationSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  sigaction(SIGINT, &action, nullptr);
  sigaction(SIGTERM, &action, nullptr);
  return notifier;
}

void StopWatchingTerminationSignals() {
  std::signal(SIGINT, SIG_DFL);
  std::signal(SIGTERM, SIG_DFL);
  // SIGALRM keeps its handler: a clean-up that hangs after this still ends in time.
  for (int& fd : g_signalSocket) {
    if (fd >= 0) ::close(fd);
    fd = -1;
  }
}

// --screenshot: once start-up has finished (the start button is enabled) or after a few
// seconds, saves the window's picture and closes it.
void ScheduleScreenshot(MainView& view, const std::string& file, bool& saved,
                        std::function<void()> finish) {
  auto* poll = new QTimer(&view);
  auto clock = std::make_shared<QElapsedTimer>();
  clock->start();
  QObject::connect(poll, &QTimer::timeout, &view, [&view, poll, clock, file, &saved, finish] {
    const bool ready = view.isVisible() && view.model().IsEnabled(ctl::按钮1);
    if (!ready && clock->elapsed() < 5000) return;
    poll->stop();
    QApplication::processEvents();
    saved = view.grab().save(QString::fromLocal8Bit(file.c_str()), "PNG");
    if (!saved)
      std::fprintf(stderr, "lectoria: could not save the screenshot to %s\n", file.c_str());
    finish();
  });
  poll->start(50);
}

}  // namespace

ProgramOptions ParseProgramOptions(int argc, const char* const* argv) {
  ProgramOptions options;
  for (int i = 1; i < argc && options.error.empty(); ++i) {
    const std::string_view arg = argv[i];
    std::string value;
    if (arg == "--help" || arg == "-h") {
      options.help = true;
    } else if (arg == "--version" || arg == "-v") {
      options.version = true;
    } else if (TakeValue(arg, "--home", i, argc, argv, value, options.error)) {
      if (options.error.empty() && value.empty()) options.error = "--home needs a directory";
      if (options.error.empty()) options.home = value;
    } else if (TakeValue(arg, "--speech-service", i, argc, argv, value, options.error)) {
      if (options.error.empty() && value.empty()) options.error = "--speech-service needs a URL";
      if (options.error.empty()) options.speechService = value;
    } else if (TakeValue(arg, "--screenshot", i, argc, argv, value, options.error)) {
      if (options.error.empty() && value.empty()) options.error = "--screenshot needs a file";
      if (options.error.empty()) options.screenshot = value;
    } else {
      options.error = "unknown argument '" + std::string(arg) + "'";
    }
  }
  return options;
}

std::string UsageText() {
  return "Usage: lectoria [--home DIR] [--speech-service URL] [--screenshot FILE]\n"
         "       lectoria --export BOOK.txt --output DIR [--chapters A-B] [--voice NAME]\n"
         "                [--style LABEL] [--speech-service URL] [--jobs N] [--home DIR]\n"
         "       lectoria --list-chapters FILE\n"
         "       lectoria --list-books [--home DIR]\n"
         "Reads plain-text novels aloud.\n"
         "\n"
         "  --home DIR         keep settings, the library and the audio cache in DIR\n"
         "                     (default: $LECTORIA_HOME, else the program's directory when\n"
         "                     writable, else $XDG_DATA_HOME/lectoria)\n"
         "  --speech-service URL  use the text-to-speech service at URL (e.g.\n"
         "                     https://host) instead of the built-in one on 127.0.0.1\n"
         "  --screenshot FILE  save a PNG picture of the window once it has started, then quit\n"
         "  --list-chapters FILE  print the chapters an import would make of FILE (number,\n"
         "                     title, characters; tab-separated UTF-8) and quit\n"
         "  --list-books       print the bookshelf, the book being read first: id, title,\n"
         "                     chapters, chapter:line (tab-separated UTF-8; '*' marks the\n"
         "                     book being read) and quit\n"
         "  -h, --help         show this help and quit\n"
         "  -v, --version      show the version and quit\n"
         "\n"
         "Export (no window; the library is not touched):\n"
         "  --export BOOK.txt  write one MP3 per chapter of BOOK.txt, named 'NNN title.mp3',\n"
         "                     with ID3 tags; files already there are kept, so an interrupted\n"
         "                     export goes on where it stopped (Ctrl+C stops cleanly)\n"
         "  --output DIR       the directory for the files (created when missing)\n"
         "  --chapters A-B     only chapters A to B (also A, A- or -B; default: all)\n"
         "  --voice NAME       voice short name (default: the saved one, else\n"
         "                     zh-CN-XiaoxiaoNeural)\n"
         "  --style LABEL      speaking style, e.g. 默认 or 开心 (default: the saved one)\n"
         "  --jobs N           requests in flight at once (default: the number of cores)\n"
         "  Exit status: 0 done, 1 some lines skipped, 2 bad arguments, 3 book refused,\n"
         "  4 output not writable, 5 chapters outside the book, 6 unknown voice or style,\n"
         "  7 speech service unavailable, 130 interrupted.\n"
         "\n"
         "Environment:\n"
         "  LECTORIA_HOME        the directory for settings and library (see --home)\n"
         "  LECTORIA_SPEECH_SERVICE  the speech service's URL (see --speech-service)\n"
         "  LECTORIA_AUDIO       'silent' plays through a silent real-time sink\n"
         "  LECTORIA_AUDIO_TRACE print each clip's playback events to stderr\n"
         "  QT_QPA_PLATFORM      the Qt window system (xcb, wayland, offscreen)\n"
         "\n"
         "Hotkeys (X11): Alt+Space starts or pauses reading, Alt+Z hides or shows the window\n"
         "(other combinations: config.ini, section [热键], keys 开始暂停= and 显示隐藏=).\n"
         "In the window: Ctrl+plus/minus/0 text size, Ctrl+] / Ctrl+[ / Ctrl+\\ faster, slower,\n"
         "normal speed, Ctrl+Up/Down volume, Ctrl+T sleep timer, Ctrl+B the bookshelf,\n"
         "Ctrl+R text rules (kept in rules.txt of the run directory; --export applies them too).\n";
}

std::string MissingDisplayMessage() {
  const char* platformEnv = std::getenv("QT_QPA_PLATFORM");
  const std::string platform = platformEnv ? platformEnv : "";
  if (!platform.empty() && platform != "xcb") return {};
  if (platform.empty() && NonEmpty(std::getenv("WAYLAND_DISPLAY"))) return {};
  const char* display = std::getenv("DISPLAY");
  if (NonEmpty(display) && X11DisplayReachable(display)) return {};
  const std::string what = NonEmpty(display)
                               ? "cannot open the X display \"" + std::string(display) + "\""
                               : std::string("no display (DISPLAY is not set)");
  return "lectoria: " + what +
         ".\nLectoria shows a window and needs a window system: run it in a desktop session, "
         "set DISPLAY to a running X server (e.g. one started with Xvfb), or choose a Qt "
         "platform with QT_QPA_PLATFORM (e.g. QT_QPA_PLATFORM=offscreen).";
}

namespace {

// Says why the run directory cannot be used: on stderr, and in a message box where a user
// can see one.
void ReportUnusableRunDir(const std::filesystem::path& dir, const RunDirClaim& claim) {
  std::string english;
  std::string chinese;
  const std::string name = dir.string();
  switch (claim.problem()) {
    case RunDirProblem::kInUse:
      english = "lectoria is already running on " + name;
      chinese = "Lectoria 已经在运行，并且正在使用这个目录：\n" + name +
                "\n\n同一个目录同时只能由一个 Lectoria 使用。";
      break;
    case RunDirProblem::kNotADirectory:
      english = "cannot use " + name + ": it is not a directory";
      chinese = "无法使用目录 " + name + "：它不是一个目录。";
      break;
    case RunDirProblem::kNoSpace:
      english = "cannot use " + name + ": the disk is full";
      chinese = "无法使用目录 " + name + "：磁盘已满。";
      break;
    case RunDirProblem::kNotWritable:
    case RunDirProblem::kNone:
      english = "cannot write to " + name;
      chinese = "无法写入目录 " + name + "：请检查写入权限。";
      break;
  }
  if (!claim.detail().empty()) english += " (" + claim.detail() + ")";
  std::fprintf(stderr, "lectoria: %s\n", english.c_str());
  const QString platform = QGuiApplication::platformName();
  if (platform == QLatin1String("offscreen") || platform == QLatin1String("minimal")) return;
  QMessageBox box(QMessageBox::Critical, QStringLiteral("Lectoria"),
                  QString::fromStdString(chinese), QMessageBox::Ok);
  box.exec();
}

}  // namespace

int RunProgram(const ProgramOptions& options) {
  QApplication::setQuitOnLastWindowClosed(false);  // Alt+Z hides the only window
  const std::unique_ptr<QTranslator> qtChinese = InstallQtChineseTranslations();

  // One program per run directory, and one that can be written: found now rather than when
  // the first clip or save fails.
  const std::filesystem::path runDir = ResolveRunDir(options.home);
  const RunDirClaim claim = RunDirClaim::Take(runDir);
  if (!claim.ok()) {
    ReportUnusableRunDir(runDir, claim);
    return 1;
  }
  RemoveStaleSaveFiles(RunPaths(runDir));

  // Platform adapters.
  QtUiThread ui;
  // Global hotkeys need X11; on other window systems every registration fails, silently.
  X11HotkeyBackend hotkeys(QGuiApplication::platformName() == QLatin1String("xcb")
                               ? std::optional<std::string>(std::string())
                               : std::nullopt);
  QtDialogs dialogs;
  QtProgressDialog progress;
  QtShelfView shelf;
  std::unique_ptr<ClipPlayer> player = CreateSystemClipPlayer();

  // The core and the parts plugged into it.
  App app(runDir, AppPorts{ui, hotkeys, dialogs, dialogs, *player, &progress});
  ConnectedParts parts = ConnectParts(app, options);
  // Speed, volume, the sleep timer, the text size and the window's remembered place; after the
  // playback controller, whose tick the sleep timer follows.
  Comforts comforts(app);
  comforts.Install();

  // The view.
  MainView view(app.window());
  dialogs.SetOwner(&view);
  QPointer<RulesDialog> rulesDialog;
  parts.rules->SetOpener([&view, &rulesDialog](RulesEditor& editor) {
    RulesDialog dialog(editor, &view);
    rulesDialog = &dialog;
    dialog.exec();
  });
  progress.SetOwner(&view);
  shelf.SetOwner(&view);

  // The end: the window closes (or a signal asks for it). Dialogs are dismissed and the UI
  // thread's waits released first, so that no thread joined by App::Close waits for the GUI;
  // then the clean-up of temp/ and the joins, then the event loop ends.
  bool closed = false;
  auto shutDown = [&] {
    if (closed) return;
    closed = true;
    ArmForcedExit();  // whatever hangs in the clean-up, the program ends in time
    // Joining the threads may wait for a slow speech service: the window goes at once.
    view.hide();
    if (rulesDialog) rulesDialog->reject();
    shelf.CloseShelf();
    progress.CloseProgress();
    dialogs.Shutdown();
    ui.Shutdown();
    app.Close();
    QCoreApplication::quit();
  };
  view.SetOnCloseRequested(shutDown);
  std::unique_ptr<QSocketNotifier> signalWatch = WatchTerminationSignals(shutDown);

  // The desktop's ways in: the tray icon (where there is a tray) and the media keys (MPRIS).
  TrayIcon tray(app.window(), shutDown);
  tray.Show();
  MprisService mpris(comforts.media(), app.window(), shutDown);
  if (!mpris.Register(QDBusConnection::sessionBus()))
    std::fprintf(stderr, "lectoria: no D-Bus session bus; media keys will not reach the reader\n");

  bool screenshotSaved = false;
  if (!options.screenshot.empty())
    ScheduleScreenshot(view, options.screenshot, screenshotSaved, shutDown);

  app.Start();  // the window's creation: start-up shows it
  const int status = QApplication::exec();
  shutDown();
  signalWatch.reset();
  StopWatchingTerminationSignals();
  if (!options.screenshot.empty() && !screenshotSaved) return 1;
  return status;
}

}  // namespace lectoria
