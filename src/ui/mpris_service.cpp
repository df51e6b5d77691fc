#include "ui/mpris_service.h"

#include <unistd.h>
#include <QDBusMessage>
#include <QStringList>

#include "app/window/control_names.h"
#include "ui/mpris_adaptors.h"

namespace lectoria {

MprisService::MprisService(MediaRemote& remote, MainWindow& model, std::function<void()> onQuit)
    : remote_(remote), model_(model), object_(std::make_unique<QObject>()), connection_(QString()) {
  new MprisRootAdaptor(object_.get(), remote, std::move(onQuit));
  new MprisPlayerAdaptor(object_.get(), remote);
  announced_ = PlayerProperties();
  model_.AddObserver(this);
}

MprisService::~MprisService() {
  model_.RemoveObserver(this);
  if (!busName_.isEmpty()) {
    connection_.unregisterService(busName_);
    connection_.unregisterObject(QString::fromLatin1(kObjectPath));
  }
}

bool MprisService::Register(QDBusConnection connection) {
  if (!busName_.isEmpty() || !connection.isConnected()) return false;
  const QString path = QString::fromLatin1(kObjectPath);
  if (!connection.registerObject(path, object_.get(), QDBusConnection::ExportAdaptors))
    return false;
  QString name = QString::fromLatin1(kBusName);
  if (!connection.registerService(name)) {
    name += QStringLiteral(".instance%1").arg(::getpid());
    if (!connection.registerService(name)) {
      connection.unregisterObject(path);
      return false;
    }
  }
  connection_ = connection;
  busName_ = name;
  return true;
}

void MprisService::OnControlChanged(std::string_view control, Change what, std::int32_t) {
  // What the player's properties are made of: the start button's caption (the status), the
  // chapter list, the current line, the speed and the volume.
  if (control == ctl::按钮1 || control == ctl::超级列表框1 || control == ctl::编辑框3 ||
      control == ctl::组合框_语速 || control == ctl::滑块条_音量)
    ScheduleRefresh();
}

void MprisService::ScheduleRefresh() {
  if (refreshPending_.exchange(true)) return;
  // Queued even on the GUI thread: a burst of changes gives one announcement.
  QMetaObject::invokeMethod(
      object_.get(),
      [this] {
        refreshPending_ = false;
        Refresh();
      },
      Qt::QueuedConnection);
}

QVariantMap MprisService::PlayerProperties() const {
  return {
      {QStringLiteral("PlaybackStatus"), MprisPlaybackStatus(remote_.Status())},
      {QStringLiteral("Metadata"), MprisMetadata(remote_.Current())},
      {QStringLiteral("Rate"), remote_.Speed()},
      {QStringLiteral("Volume"), remote_.Volume() / 100.0},
  };
}

void MprisService::Refresh() {
  const QVariantMap now = PlayerProperties();
  QVariantMap changed;
  for (auto it = now.begin(); it != now.end(); ++it) {
    if (announced_.value(it.key()) != it.value()) changed.insert(it.key(), it.value());
  }
  announced_ = now;
  if (changed.isEmpty() || busName_.isEmpty()) return;
  QDBusMessage signal = QDBusMessage::createSignal(
      QString::fromLatin1(kObjectPath), QStringLiteral("org.freedesktop.DBus.Properties"),
      QStringLiteral("PropertiesChanged"));
  signal << QStringLiteral("org.mpris.MediaPlayer2.Player") << changed << QStringList();
  connection_.send(signal);
}

}  // namespace lectoria
