// Text at the view's edge: the model's GBK strings to and from QString, and the edit boxes'
// CR LF line ends to and from Qt's LF.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "platform/codepage.h"

namespace lectoria {

inline QString QStringFromUtf8(std::string_view utf8) {
  return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

inline QString QStringFromGbk(std::string_view gbk) {
  return QStringFromUtf8(GbkToUtf8(gbk));
}

inline std::string GbkFromQString(const QString& text) {
  const QByteArray utf8 = text.toUtf8();
  return Utf8ToGbk(std::string_view(utf8.constData(), static_cast<std::size_t>(utf8.size())));
}

/// Edit boxes hold CR LF line ends (as chapter files do); Qt's text widgets use LF. A lone CR
/// also ends a line.
inline QString EditTextForDisplay(const QString& text) {
  QString shown = text;
  shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  return shown;
}

inline QString EditTextForModel(const QString& shown) {
  QString text = shown;
  text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
  return text;
}

}  // namespace lectoria
