#include "private_bus.h"

namespace lectoria::testing {

PrivateBus::PrivateBus() {
  daemon_.start(QStringLiteral("dbus-daemon"),
                {QStringLiteral("--session"), QStringLiteral("--nofork"),
                 QStringLiteral("--print-address=1")});
  if (!daemon_.waitForStarted(5000)) return;
  // The address is the first line the daemon prints once it listens.
  while (!daemon_.canReadLine() && daemon_.waitForReadyRead(5000)) {
  }
  address_ = QString::fromUtf8(daemon_.readLine()).trimmed();
}

PrivateBus::~PrivateBus() {
  for (const QString& name : names_) QDBusConnection::disconnectFromBus(name);
  daemon_.kill();
  daemon_.waitForFinished(5000);
}

QDBusConnection PrivateBus::Connect(const QString& name) {
  names_ << name;
  return QDBusConnection::connectToBus(address_, name);
}

}  // namespace lectoria::testing
