// lectoria: reads plain-text novels aloud.
#include <QApplication>
#include <cstdio>

#include "export/export_options.h"
#include "export_command.h"
#include "list_books.h"
#include "list_chapters.h"
#include "wiring.h"

int main(int argc, char** argv) {
  // The commands without a window run before anything of Qt exists.
  if (lectoria::IsExportCommand(argc, argv)) return lectoria::RunExportProgram(argc, argv);
  if (lectoria::IsListChaptersCommand(argc, argv)) return lectoria::RunListChapters(argc, argv);
  if (lectoria::IsListBooksCommand(argc, argv)) return lectoria::RunListBooks(argc, argv);
  const lectoria::ProgramOptions options = lectoria::ParseProgramOptions(argc, argv);
  if (!options.error.empty()) {
    std::fprintf(stderr, "lectoria: %s\nTry 'lectoria --help'.\n", options.error.c_str());
    return 2;
  }
  if (options.help) {
    std::fputs(lectoria::UsageText().c_str(), stdout);
    return 0;
  }
  if (options.version) {
    std::printf("lectoria %s\n", LECTORIA_VERSION);
    return 0;
  }
  const std::string missing = lectoria::MissingDisplayMessage();
  if (!missing.empty()) {
    std::fprintf(stderr, "%s\n", missing.c_str());
    return 1;
  }
  // Qt sees only the program name: the options above are ours, and Qt's own are set through
  // the environment (QT_QPA_PLATFORM, ...).
  int qtArgc = 1;
  char* qtArgv[] = {argv[0], nullptr};
  QApplication application(qtArgc, qtArgv);
  QApplication::setApplicationName(QStringLiteral("Lectoria"));
  QApplication::setApplicationVersion(QStringLiteral(LECTORIA_VERSION));
  QApplication::setDesktopFileName(QStringLiteral("lectoria"));
  return lectoria::RunProgram(options);
}
