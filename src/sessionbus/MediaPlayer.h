// The desktop's media controls: the program registers on the session bus as
// a media player (org.mpris.MediaPlayer2), so the keyboard's media keys, the
// desktop's sound applet and the lock screen play, pause (freeze), stop and
// step through the presets without further work.
//
// The calls are answered on a thread of their own, from a copy of the
// window's state, so a busy window (a preset being calculated, a dialog)
// delays no answer and a client that floods calls or passes wrong
// arguments keeps only that thread busy, never the window. Commands go into
// a queue of 16 (more are dropped) that the window's event loop carries out
// one at a time, at most one every COMMAND_SPACING_MS: a flood of Pause
// and Play cannot keep the audio thread remaking its queued blocks. The
// window tells the service whenever its state changes (stateChanged), and
// the service signals the properties that changed.
//
// Main thread, except where said.
#pragma once
#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <QThread>

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
  // Microseconds played, now.
  virtual qint64 playerPositionUs() const = 0;
  // Carries out a command from the event loop (never inside a bus call).
  virtual void playerCommand(Command c) = 0;
};

class MediaService;

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

  static constexpr int COMMAND_SPACING_MS = 50;

 private slots:
  // A command came while none waited (queued from the answers' thread).
  void wake() {
    if (!Waiting) runQueued();
  }

 private:
  void runQueued();

  PlayerControl* Control;
  QDBusConnection Bus;
  QString Service;
  PlayerState Shown;
  QThread Thread;
  MediaService* Answers = nullptr;  // lives on Thread
  bool Running = false, Waiting = false;
};

// The track id the metadata gives preset `index` (-1: none). Any thread.
QString TrackPath(int index);
