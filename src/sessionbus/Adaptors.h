// The two interfaces of the media player object, as the desktop asks for
// them: the root one (identity, raise, quit) and the player (transport,
// status, metadata). Each call reads the service's copy of the window's
// state or queues a command; nothing here waits.
#pragma once
#include <QDBusAbstractAdaptor>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QStringList>
#include <QVariantMap>

class MediaPlayer;

class RootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ canQuit)
  Q_PROPERTY(bool CanRaise READ canRaise)
  Q_PROPERTY(bool HasTrackList READ hasTrackList)
  Q_PROPERTY(QString Identity READ identity)
  Q_PROPERTY(QString DesktopEntry READ desktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ none)
  Q_PROPERTY(QStringList SupportedMimeTypes READ none)
 public:
  explicit RootAdaptor(MediaPlayer* player);
  bool canQuit() const { return true; }
  bool canRaise() const { return true; }
  bool hasTrackList() const { return false; }
  QString identity() const { return QStringLiteral("Sonavel"); }
  QString desktopEntry() const { return QStringLiteral("sonavel"); }
  QStringList none() const { return {}; }
 public slots:
  void Raise();
  void Quit();

 private:
  MediaPlayer* Player;
};

class PlayerAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2.Player")
  Q_PROPERTY(QString PlaybackStatus READ playbackStatus)
  Q_PROPERTY(double Rate READ one)
  Q_PROPERTY(double MinimumRate READ one)
  Q_PROPERTY(double MaximumRate READ one)
  Q_PROPERTY(double Volume READ one)
  Q_PROPERTY(QVariantMap Metadata READ metadata)
  Q_PROPERTY(qlonglong Position READ position)
  Q_PROPERTY(bool CanGoNext READ canGoNext)
  Q_PROPERTY(bool CanGoPrevious READ canGoPrevious)
  Q_PROPERTY(bool CanPlay READ canPlay)
  Q_PROPERTY(bool CanPause READ canPause)
  Q_PROPERTY(bool CanSeek READ no)
  Q_PROPERTY(bool CanControl READ yes)
 public:
  explicit PlayerAdaptor(MediaPlayer* player);
  QString playbackStatus() const;
  double one() const { return 1.0; }
  QVariantMap metadata() const;
  qlonglong position() const;
  bool canGoNext() const;
  bool canGoPrevious() const;
  bool canPlay() const;
  bool canPause() const;
  bool no() const { return false; }
  bool yes() const { return true; }
 public slots:
  void Next();
  void Previous();
  void Pause();
  void PlayPause();
  void Stop();
  void Play();
  // Presets have no place to jump to: both do nothing, as the interface
  // asks of a player that cannot seek.
  void Seek(qlonglong offset);
  void SetPosition(const QDBusObjectPath& track, qlonglong position);
  // Refused: the player plays its own presets only.
  void OpenUri(const QString& uri, const QDBusMessage& call);
 signals:
  void Seeked(qlonglong position);

 private:
  MediaPlayer* Player;
};

// The values the properties show for a state (the changed-properties
// signal sends the same).
QString PlaybackStatusText(int status);
QVariantMap MetadataOf(const struct PlayerState& s);
