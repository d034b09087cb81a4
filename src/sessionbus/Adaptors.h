// The media player object on its own thread: the copy of the window's state
// its answers come from, the queue of commands for the window, and the two
// interfaces the desktop asks for (the root one: identity, raise, quit; the
// player: transport, status, metadata). Nothing here waits for the window.
#pragma once
#include <QDBusAbstractAdaptor>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QMutex>
#include <QStringList>
#include <QVariantMap>

#include "sessionbus/MediaPlayer.h"

// The answers' side (MediaPlayer's thread), with what the window's side
// hands over under a lock.
class MediaService : public QObject {
  Q_OBJECT
 public:
  explicit MediaService(const QDBusConnection& bus);
  const QDBusConnection& bus() const { return Bus; }

  // Window's side: a new state, the position played at this moment.
  void setState(const PlayerState& s, qint64 positionUs);
  // Window's side: the oldest command waiting; false when none.
  bool takeCommand(PlayerControl::Command* c);

  // Answers' side.
  PlayerState state() const;
  QVariantMap metadata() const;
  qint64 positionUs() const;
  // Queues a command; `wake` is told (queued, on its thread) when the
  // queue was empty.
  void queue(PlayerControl::Command c);
  QObject* Wake = nullptr;

 private:
  QDBusConnection Bus;
  mutable QMutex Lock;  // everything below
  PlayerState State;
  QVariantMap Metadata;
  qint64 PositionUs = 0, PositionAtMs = 0;
  static constexpr int QUEUE = 16;
  PlayerControl::Command Pending[QUEUE] = {};
  int First = 0, Count = 0;
};

class RootAdaptor : public QDBusAbstractAdaptor {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.mpris.MediaPlayer2")
  Q_PROPERTY(bool CanQuit READ yes)
  Q_PROPERTY(bool CanRaise READ yes)
  Q_PROPERTY(bool HasTrackList READ no)
  Q_PROPERTY(QString Identity READ identity)
  Q_PROPERTY(QString DesktopEntry READ desktopEntry)
  Q_PROPERTY(QStringList SupportedUriSchemes READ none)
  Q_PROPERTY(QStringList SupportedMimeTypes READ none)
 public:
  explicit RootAdaptor(MediaService* service);
  bool yes() const { return true; }
  bool no() const { return false; }
  QString identity() const { return QStringLiteral("Sonavel"); }
  QString desktopEntry() const { return QStringLiteral("sonavel"); }
  QStringList none() const { return {}; }
 public slots:
  void Raise();
  void Quit();

 private:
  MediaService* Service;
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
  explicit PlayerAdaptor(MediaService* service);
  QString playbackStatus() const;
  double one() const { return 1.0; }
  QVariantMap metadata() const { return Service->metadata(); }
  qlonglong position() const { return Service->positionUs(); }
  bool canGoNext() const { return Service->state().CanGoNext; }
  bool canGoPrevious() const { return Service->state().CanGoPrevious; }
  bool canPlay() const { return Service->state().CanPlay; }
  bool canPause() const { return Service->state().CanPause; }
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
  MediaService* Service;
};

// The values the properties show for a state (the changed-properties
// signal sends the same). Any thread.
QString PlaybackStatusText(int status);
QVariantMap MetadataOf(const PlayerState& s);
