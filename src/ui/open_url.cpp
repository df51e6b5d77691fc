#include "ui/open_url.h"

#include <QDesktopServices>
#include <QUrl>

#include "ui/qt_text.h"

namespace lectoria {

bool OpenUrlInBrowser(std::string_view url) {
  const QUrl address(QStringFromUtf8(url), QUrl::StrictMode);
  const QString scheme = address.scheme().toLower();
  if (!address.isValid() || address.host().isEmpty() ||
      (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
    return false;
  return QDesktopServices::openUrl(address);
}

}  // namespace lectoria
