// The reader as an MPRIS 2 media player on D-Bus, so that media keys and the desktop's player
// controls reach it: bus name org.mpris.MediaPlayer2.lectoria, object /org/mpris/MediaPlayer2.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QVariantMap>
#include <atomic>
#include <functional>
#include <memory>

#include "app/ports/media_remote.h"
#include "app/window/main_window.h"

namespace lectoria {

class MprisService final : public WindowObserver {
 public:
  static constexpr const char* kBusName = "org.mpris.MediaPlayer2.lectoria";
  static constexpr const char* kObjectPath = "/org/mpris/MediaPlayer2";

  /// Construct on the GUI thread; `remote` and `model` must outlive the service. `onQuit`
  /// (may be empty: CanQuit false) ends the program.
  MprisService(MediaRemote& remote, MainWindow& model, std::function<void()> onQuit);
  /// Gives up the bus name and the object, and stops observing the model.
  ~MprisService() override;
  MprisService(const MprisService&) = delete;
  MprisService& operator=(const MprisService&) = delete;

  /// Exports the player on `connection` under kBusName, or kBusName + ".instance<pid>" when
  /// another reader holds that (as MPRIS asks of a second instance). False, exporting
  /// nothing, when the bus cannot be reached or refuses.
  bool Register(QDBusConnection connection);
  /// The bus name taken; empty before a successful Register().
  QString BusName() const { return busName_; }

  /// Reads the player's properties again and announces those that changed
  /// (org.freedesktop.DBus.Properties.PropertiesChanged). GUI thread.
  void Refresh();

  // WindowObserver: any thread; a refresh follows on the GUI thread.
  void OnTitleChanged() override { ScheduleRefresh(); }
  void OnControlChanged(std::string_view control, Change what, std::int32_t index) override;

 private:
  void ScheduleRefresh();
  QVariantMap PlayerProperties() const;

  MediaRemote& remote_;
  MainWindow& model_;
  std::unique_ptr<QObject> object_;  // exported; parent of the two adaptors
  QDBusConnection connection_;
  QString busName_;
  QVariantMap announced_;
  std::atomic<bool> refreshPending_{false};
};

}  // namespace lectoria
