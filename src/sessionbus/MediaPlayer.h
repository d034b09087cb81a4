// The desktop's media controls: the program registers on the session bus as
// a media player (org.mpris.MediaPlayer2), so the keyboard's media keys, the
// desktop's sound applet and the lock screen play, pause (freeze), stop and
// step through the presets without further work.
//
// Calls are answered at once from a copy of the window's state; commands
// are queued (at most 16 waiting, more are dropped) and carried out one at
// a time from the event loop, so a client that floods calls or passes
// wrong arguments delays nothing but its own answers. The window tells the
// service whenever its state changes (stateChanged), and the service
// signals the properties that changed.
//
// Main thread only.
#pragma once
#include <QDBusConnection>
#include <QObject>
#include <QString>

// What the service shows of the window.
struct PlayerState {
  enum Status { Stopped, Playing, Paused };
  Status Playback = Stopped;
  bool CanPlay = false, CanPause = false, CanGoNext = false, CanGoPrevious = false;
  int Track = -1;  // the preset's index, -1 without one
  QString Title, Comment;
  qint64 LengthUs = 0;
  bool operator==(const PlayerState&) const = default;
};

// The window's side.
class PlayerControl {
 public:
  enum Command { Play, Pause, PlayPause, Stop, Next, Previous, Raise, Quit };
  virtual ~PlayerControl() = default;
  virtual PlayerState playerState() const = 0;
  // Microseconds played.
  virtual qint64 playerPositionUs() const = 0;
  // Carries out a command from the event loop (never inside a bus call).
  virtual void playerCommand(Command c) = 0;
};

class MediaPlayer : public QObject {
  Q_OBJECT
 public:
  // Registers on `bus` under org.mpris.MediaPlayer2.sonavel, or, when
  // another instance holds that name, ...sonavel.instance<pid>.
  MediaPlayer(PlayerControl* control, const QDBusConnection& bus, QObject* parent = nullptr);
  ~MediaPlayer() override;
  bool registered() const { return !Service.isEmpty(); }
  QString serviceName() const { return Service; }

  // The window's state may have changed: changed properties are signalled.
  void stateChanged();

  // --- The adaptors' side ------------------------------------------------------
  const PlayerState& state() const { return Shown; }
  qint64 positionUs() const { return Control->playerPositionUs(); }
  const QDBusConnection& bus() const { return Bus; }
  void queue(PlayerControl::Command c);

 private:
  void runQueued();

  PlayerControl* Control;
  QDBusConnection Bus;
  QString Service;
  PlayerState Shown;
  static constexpr int QUEUE = 16;
  PlayerControl::Command Pending[QUEUE] = {};
  int First = 0, Count = 0;
  bool Scheduled = false, Running = false;
};

// The track id the metadata gives preset `index` (-1: none).
QString TrackPath(int index);
