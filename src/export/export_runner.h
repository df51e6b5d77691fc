// `lectoria --export`: turns a book, or some of its chapters, into one MP3 file per chapter,
// without a window and without touching the user's library.
#pragma once

#include <atomic>

#include "export/export_console.h"
#include "export/export_options.h"

namespace lectoria {

/// Runs the export `options` describes (ParseExportOptions, no error, no --help) and returns the
/// exit status (export_exit). The book goes through the import in a temporary directory; the
/// voice and style default to those saved in config.ini of the run directory. The speech
/// service is options.speechService, else $LECTORIA_SPEECH_SERVICE, else the built-in one,
/// started here on a free loopback port. Setting `stop` (Ctrl+C) ends the export cleanly: the
/// requests in flight are abandoned and only complete chapter files stay.
int RunExportCommand(const ExportOptions& options, const ExportConsole& console,
                     std::atomic<bool>& stop);

}  // namespace lectoria
