#include "ui/mpris_adaptors.h"

#include <algorithm>
#include <cmath>

#include "platform/clip_player.h"

namespace lectoria {

QVariantMap MprisMetadata(const NowPlaying& now) {
  QVariantMap map;
  const QString track = now.clip >= 0 ? QStringLiteral("/org/lectoria/clip/%1").arg(now.clip)
                                      : QStringLiteral("/org/mpris/MediaPlayer2/TrackList/NoTrack");
  map.insert(QStringLiteral("mpris:trackid"), QVariant::fromValue(QDBusObjectPath(track)));
  if (!now.title.empty())
    map.insert(QStringLiteral("xesam:title"), QString::fromStdString(now.title));
  if (!now.album.empty())
    map.insert(QStringLiteral("xesam:album"), QString::fromStdString(now.album));
  if (!now.line.empty()) {
    const QString line = QString::fromStdString(now.line);
    map.insert(QStringLiteral("xesam:comment"), QStringList{line});
    map.insert(QStringLiteral("xesam:asText"), line);
  }
  return map;
}

QString MprisPlaybackStatus(MediaStatus status) {
  switch (status) {
    case MediaStatus::kPlaying:
      return QStringLiteral("Playing");
    case MediaStatus::kPaused:
      return QStringLiteral("Paused");
    case MediaStatus::kStopped:
      break;
  }
  return QStringLiteral("Stopped");
}

MprisRootAdaptor::MprisRootAdaptor(QObject* parent, MediaRemote& remote,
                                   std::function<void()> onQuit)
    : QDBusAbstractAdaptor(parent), remote_(remote), onQuit_(std::move(onQuit)) {}

void MprisRootAdaptor::Raise() {
  remote_.Raise();
}

void MprisRootAdaptor::Quit() {
  if (onQuit_) onQuit_();
}

MprisPlayerAdaptor::MprisPlayerAdaptor(QObject* parent, MediaRemote& remote)
    : QDBusAbstractAdaptor(parent), remote_(remote) {}

void MprisPlayerAdaptor::SetRate(double rate) {
  if (std::isnan(rate) || rate <= 0) return;
  remote_.SetSpeed(rate);
}

double MprisPlayerAdaptor::MinimumRate() const {
  return kMinPlaybackSpeed;
}

double MprisPlayerAdaptor::MaximumRate() const {
  return kMaxPlaybackSpeed;
}

void MprisPlayerAdaptor::SetVolume(double volume) {
  if (std::isnan(volume)) return;
  remote_.SetVolume(static_cast<int>(std::lround(std::clamp(volume, 0.0, 1.0) * 100)));
}

}  // namespace lectoria
