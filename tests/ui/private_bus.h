// A private D-Bus session bus for tests (dbus-daemon started by the test), and a recorder of
// the PropertiesChanged signals a service sends on it.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QProcess>
#include <QStringList>
#include <QVariantMap>
#include <vector>

namespace lectoria::testing {

class PrivateBus {
 public:
  /// Starts dbus-daemon with the session configuration; Address() is empty when it could not.
  PrivateBus();
  /// Closes the connections made here and ends the daemon.
  ~PrivateBus();
  PrivateBus(const PrivateBus&) = delete;
  PrivateBus& operator=(const PrivateBus&) = delete;

  QString Address() const { return address_; }
  /// A new connection to the bus under the connection name `name`.
  QDBusConnection Connect(const QString& name);

 private:
  QProcess daemon_;
  QString address_;
  QStringList names_;
};

class PropertiesRecorder : public QObject {
  Q_OBJECT

 public:
  struct Change {
    QString interface;
    QVariantMap changed;
  };
  std::vector<Change> changes;

 public Q_SLOTS:
  void Record(const QString& interface, const QVariantMap& changed, const QStringList&) {
    changes.push_back({interface, changed});
  }
};

}  // namespace lectoria::testing
