#include "mwnd/DesktopLink.h"

#include <QDBusConnection>
#include <QTimer>

#include "data/playback/audiothread.h"
#include "data/synthesis/state.h"
#include "dlggen/modal.h"
#include "main/preset.h"
#include "main/text.h"
#include "mwnd/EngineLink.h"
#include "mwnd/MainWindow.h"
#include "mwnd/PresetCombo.h"
#include "mwnd/ProgressLine.h"
#include "platform/clock.h"
#include "reg/settings.h"
#include "sessionbus/KeepAwake.h"

DesktopLink::DesktopLink(MainWindow* window) : QObject(window), W(window) {
  FreezeTimer = new QTimer(this);
  FreezeTimer->setSingleShot(true);
  connect(FreezeTimer, &QTimer::timeout, this, &DesktopLink::stateChanged);
  Media = new MediaPlayer(this, QDBusConnection::sessionBus(), this);
  Awake = new KeepAwake(QDBusConnection::sessionBus(), QDBusConnection::systemBus(), this);
  stateChanged();
}

bool DesktopLink::busy() const { return ModalDepth > 0 || W->Progress->active() || !W->Ready; }

void DesktopLink::stateChanged() {
  bool frozen = W->Playing && W->freezeState() > 0;
  if (W->Playing && !WasPlaying) PlayingTrack = SelProgram;
  WasPlaying = W->Playing;
  if (!frozen) {
    FrozenSince = -1;
    FreezeTimer->stop();
  } else if (FrozenSince < 0) {
    FrozenSince = plat::ClockMs();
    FreezeTimer->start(static_cast<int>(FREEZE_RELEASE_MS));
  }
  bool longFreeze = frozen && plat::ClockMs() - FrozenSince >= FREEZE_RELEASE_MS;
  Awake->setWanted(Cfg.Listening.KeepAwake != 0 && W->Playing && !longFreeze);
  Media->stateChanged();
  if (PlayAfterStop && !W->Playing) {
    PlayAfterStop = false;
    QTimer::singleShot(0, W, [w = W] { w->cmdPlay(); });
  }
}

PlayerState DesktopLink::playerState() const {
  PlayerState s;
  bool frozen = W->freezeState() > 0;
  s.Playback = !W->Playing ? PlayerState::Stopped : frozen ? PlayerState::Paused : PlayerState::Playing;
  s.CanPause = W->Playing && !frozen;
  s.CanPlay = W->Ready && SelProgram >= 0 && (!W->Playing || frozen);
  int pos = W->Ready ? W->currentPos() : -1;
  bool canStep = W->Ready && W->WaveOptChanged == 0;
  s.CanGoPrevious = canStep && pos > 0;
  s.CanGoNext = canStep && pos >= 0 && pos + 1 < W->List->count();
  s.Track = W->Playing ? PlayingTrack : SelProgram;
  if (s.Track >= 0 && s.Track < NumPrograms) {
    const Preset& p = Program[s.Track];
    s.Title = QString::fromStdString(TextToUtf8(p.Name));
    if (p.Description) s.Comment = QString::fromStdString(TextToUtf8(p.Description));
    s.LengthUs = static_cast<qint64>(PresetLength(p)) * 600000;
  } else {
    s.Track = -1;
  }
  return s;
}

qint64 DesktopLink::playerPositionUs() const {
  return W->Playing ? (plat::ClockMs() - W->Link->playback().PlayStartTime.load()) * 1000 : 0;
}

void DesktopLink::step(int by) {
  // A question about unsaved changes has no place on a lock screen.
  if (busy() || W->WaveOptChanged != 0) return;
  int pos = W->currentPos() + by;
  if (pos < 0 || pos >= W->List->count()) return;
  W->selectEntry(pos);
  if (W->Playing) {
    PlayAfterStop = true;
    W->cmdStop();
  }
}

void DesktopLink::playerCommand(Command c) {
  bool frozen = W->freezeState() > 0;
  switch (c) {
    case Play:
      if (W->Playing && frozen)
        W->cmdFreeze();
      else if (!W->Playing && !busy())
        W->cmdPlay();
      break;
    case Pause:
      if (W->Playing && !frozen) W->cmdFreeze();
      break;
    case PlayPause: playerCommand(W->Playing && !frozen ? Pause : Play); break;
    case Stop:
      PlayAfterStop = false;
      W->cmdStop();
      break;
    case Next: step(1); break;
    case Previous: step(-1); break;
    case Raise:
      if (W->isMinimized()) W->showNormal();
      W->show();
      W->raise();
      W->activateWindow();
      break;
    case Quit: W->close(); break;
  }
  stateChanged();
}
