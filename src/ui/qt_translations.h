// Qt's own texts (dialog buttons, the file dialog, context menus of text boxes) in Chinese, as
// the rest of the window is.
#pragma once

#include <QTranslator>
#include <memory>

namespace lectoria {

/// Loads qtbase_zh_CN from the system's Qt translations (Debian: qt6-translations-l10n) and
/// installs it in the running application; the translator must be kept while it is in use.
/// Null when the file cannot be found (the texts then stay English).
std::unique_ptr<QTranslator> InstallQtChineseTranslations();

}  // namespace lectoria
