// The main window on the desktop's session bus: its media controls
// (sessionbus/MediaPlayer) and keeping the screen on and the computer awake
// while it plays (sessionbus/KeepAwake).
//
// Made once the window shows, so the start is not held up by the bus. The
// window calls stateChanged after every change of its state (updateUi) and
// with each status; the link takes what the desktop should know from there.
//
// Main thread only.
#pragma once
#include <QObject>
#include <cstdint>

#include "sessionbus/MediaPlayer.h"

class KeepAwake;
class MainWindow;
class QTimer;

class DesktopLink : public QObject, public PlayerControl {
  Q_OBJECT
 public:
  explicit DesktopLink(MainWindow* window);
  void stateChanged();

  MediaPlayer* mediaPlayer() const { return Media; }
  KeepAwake* keepAwake() const { return Awake; }
  // How long a freeze may last before the computer may sleep again.
  static constexpr int64_t FREEZE_RELEASE_MS = 60000;

  PlayerState playerState() const override;
  qint64 playerPositionUs() const override;
  void playerCommand(Command c) override;

 private:
  bool busy() const;
  void step(int by);

  MainWindow* W;
  MediaPlayer* Media = nullptr;
  KeepAwake* Awake = nullptr;
  QTimer* FreezeTimer = nullptr;
  int64_t FrozenSince = -1;
  int PlayingTrack = -1;  // the preset playing, taken at its start
  bool WasPlaying = false;
  bool PlayAfterStop = false;  // Next or Previous while playing
};
