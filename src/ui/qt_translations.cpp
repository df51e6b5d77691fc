#include "ui/qt_translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>

namespace lectoria {

std::unique_ptr<QTranslator> InstallQtChineseTranslations() {
  auto translator = std::make_unique<QTranslator>();
  const QString dir = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
  if (!translator->load(QStringLiteral("qtbase_zh_CN"), dir)) return nullptr;
  QCoreApplication::installTranslator(translator.get());
  return translator;
}

}  // namespace lectoria
