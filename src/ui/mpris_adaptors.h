// The two D-Bus interfaces of an MPRIS 2 media player, over the reader's MediaRemote:
// org.mpris.MediaPlayer2 (identity, raise, quit) and org.mpris.MediaPlayer2.Player (status,
// metadata, rate, volume and the transport commands). QtDBus exports their properties and
// slots; the service announces changes itself (see mpris_service.h).
#pragma once

#include <QDBusAbstractAdaptor>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>
#include <functional>

#include "app/ports/media_remote.h"

namespace lectoria {

/// Metadata as MPRIS names it: mpris:trackid, xesam:title (the chapter), xesam:album (the
/// book), xesam:comment and xesam:asText (the line being heard).
QVariantMap MprisMetadata(const NowPlaying& now);
/// "Playing", "Paused" or "Stopped".
QString MprisPlaybackStatus(MediaStatus status);

class MprisRootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ CanQuit)
  Q_PROPERTY(bool CanRaise READ CanRaise)
  Q_PROPERTY(bool HasTrackList READ HasTrackList)
  Q_PROPERTY(QString Identity READ Identity)
  Q_PROPERTY(QString DesktopEntry READ DesktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ SupportedUriSchemes)
  Q_PROPERTY(QStringList SupportedMimeTypes READ SupportedMimeTypes)

 public:
  MprisRootAdaptor(QObject* parent, MediaRemote& remote, std::function<void()> onQuit);

  bool CanQuit() const { return static_cast<bool>(onQuit_); }
  bool CanRaise() const { return true; }
  bool HasTrackList() const { return false; }
  QString Identity() const { return QStringLiteral("Lectoria"); }
  QString DesktopEntry() const { return QStringLiteral("lectoria"); }
  QStringList SupportedUriSchemes() const { return {}; }
  QStringList SupportedMimeTypes() const { return {}; }

 public Q_SLOTS:
  void Raise();
  void Quit();

 private:
  MediaRemote& remote_;
  std::function<void()> onQuit_;
};

class MprisPlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ PlaybackStatus)
  Q_PROPERTY(double Rate READ Rate WRITE SetRate)
  Q_PROPERTY(double MinimumRate READ MinimumRate)
  Q_PROPERTY(double MaximumRate READ MaximumRate)
  Q_PROPERTY(double Volume READ Volume WRITE SetVolume)
  Q_PROPERTY(QVariantMap Metadata READ Metadata)
  Q_PROPERTY(qlonglong Position READ Position)
  Q_PROPERTY(bool CanGoNext READ CanGoNext)
  Q_PROPERTY(bool CanGoPrevious READ CanGoPrevious)
  Q_PROPERTY(bool CanPlay READ CanPlay)
  Q_PROPERTY(bool CanPause READ CanPause)
  Q_PROPERTY(bool CanSeek READ CanSeek)
  Q_PROPERTY(bool CanControl READ CanControl)

 public:
  MprisPlayerAdaptor(QObject* parent, MediaRemote& remote);

  QString PlaybackStatus() const { return MprisPlaybackStatus(remote_.Status()); }
  double Rate() const { return remote_.Speed(); }
  /// A rate outside the offered range is taken to its nearest offered speed; 0 (which MPRIS
  /// allows to mean pause) is ignored.
  void SetRate(double rate);
  double MinimumRate() const;
  double MaximumRate() const;
  double Volume() const { return remote_.Volume() / 100.0; }
  void SetVolume(double volume);
  QVariantMap Metadata() const { return MprisMetadata(remote_.Current()); }
  /// Lines are short and not sought in: the position is not tracked.
  qlonglong Position() const { return 0; }
  bool CanGoNext() const { return true; }
  bool CanGoPrevious() const { return true; }
  bool CanPlay() const { return true; }
  bool CanPause() const { return true; }
  bool CanSeek() const { return false; }
  bool CanControl() const { return true; }

 public Q_SLOTS:
  void Next() { remote_.Next(); }
  void Previous() { remote_.Previous(); }
  void Pause() { remote_.Pause(); }
  void PlayPause() { remote_.PlayPause(); }
  /// Reading stops where it is: the place is kept, as for a pause.
  void Stop() { remote_.Pause(); }
  void Play() { remote_.Play(); }
  void Seek(qlonglong) {}
  void SetPosition(const QDBusObjectPath&, qlonglong) {}
  void OpenUri(const QString&) {}

 Q_SIGNALS:
  void Seeked(qlonglong position);

 private:
  MediaRemote& remote_;
};

}  // namespace lectoria
