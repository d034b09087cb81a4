// The main window's side of synchronised starts: its socket for other
// instances' requests (1124), the question before Play, and the two
// synchronisation points around the device's restart.
#include <unistd.h>

#include <QPointer>
#include <QSocketNotifier>
#include <QTimer>
#include <memory>

#include "dialog/MessageBox.h"
#include "dialog/SynchronizeDialog.h"
#include "dialog/strids.h"
#include "dlggen/modal.h"
#include "mwnd/Connection.h"
#include "mwnd/MainWindow.h"
#include "mwnd/ProgressLine.h"
#include "mwnd/Startup.h"
#include "platform/instance.h"

void MainWindow::startSynchServer() {
  if (SynchSrv.ListenFd >= 0) return;
  Synch.Folder = plat::InstanceFolder();
  if (!StartSynchServer(SynchSrv, Synch.Folder)) return;
  SynchNotifier = new QSocketNotifier(SynchSrv.ListenFd, QSocketNotifier::Read, this);
  connect(SynchNotifier, &QSocketNotifier::activated, this, &MainWindow::synchRequests);
}

void MainWindow::stopSynchServer() {
  delete SynchNotifier;
  SynchNotifier = nullptr;
  StopSynchServer(SynchSrv);
}

namespace {
// Connections taken per turn of the event loop and watched at once; the
// rest wait in the socket's backlog.
constexpr int kAcceptsPerTurn = 8;
constexpr int kMaxWatched = 32;
// A leader sends its request at once.
constexpr int kRequestDeadlineMs = 500;
}  // namespace

void MainWindow::synchRequests() {
  // Each connection is read from a notifier of its own with a deadline, so a
  // neighbour that connects and says nothing holds up nothing.
  for (int i = 0; i < kAcceptsPerTurn && SynchWatched < kMaxWatched; ++i) {
    auto p = std::make_shared<SynchPending>();
    if (!AcceptSynchConnection(SynchSrv, p.get())) break;
    ++SynchWatched;
    QPointer<MainWindow> self(this);
    WatchConnection(
        this, p->Fd, kRequestDeadlineMs, [p] { return ReadSynchRequest(p.get()); },
        [self, p](bool complete) {
          if (!complete) {
            if (p->Fd >= 0) ::close(p->Fd);
          }
          if (!self) {
            if (complete) ::close(p->Fd);
            return;
          }
          --self->SynchWatched;
          if (self->SynchNotifier) self->SynchNotifier->setEnabled(true);
          if (complete) self->synchRequest(p->Fd);
        });
  }
  if (SynchWatched >= kMaxWatched) SynchNotifier->setEnabled(false);
}

void MainWindow::synchRequest(int fd) {
  if (Playing) {
    // The leader goes on with the others at once; the user here is told
    // afterwards, in one box however many ask.
    AnswerSynchRequest(fd, SYNCH_REFUSED);
    showOutsideNotice(strid::AlreadyPlayingAlone);
    return;
  }
  if (InSynchRequest || ModalDepth > 0 || Progress->active() || !Ready || SelProgram < 0) {
    // Busy with something the user started here, or with another leader's
    // request: Play could not be pressed now either.
    AnswerSynchRequest(fd, SYNCH_REFUSED);
    return;
  }
  if (isMinimized()) showNormal();
  raise();
  activateWindow();
  InSynchRequest = true;
  Synch.ReplyFd = fd;
  int rc = startPlaying(0, true);
  // A start that failed before its device was loaded answers here.
  if (Synch.ReplyFd >= 0) AnswerSynchRequest(Synch.ReplyFd, rc == PLAY_STARTED ? SYNCH_PREPARED : rc);
  Synch.ReplyFd = -1;
  InSynchRequest = false;
}

void MainWindow::showOutsideNotice(int id) {
  // Asked for from outside (another instance, a companion program, or
  // anybody who can reach the socket): never more than one box at a time.
  if (OutsideNoticeShown) return;
  OutsideNoticeShown = true;
  QTimer::singleShot(0, this, [this, id] {
    MessageBox::show(this, id);
    OutsideNoticeShown = false;
  });
}

bool MainWindow::askSynchronize() {
  Synch.Mode = SYNCH_NONE;
  Synch.Participants = FindSynchParticipants(Synch.Folder, SynchSrv.Path);
  if (Synch.Participants.empty()) return true;
  int answer = SynchronizePlayback(this);
  if (answer == 0) return false;
  if (answer == 2) Synch.Mode = SYNCH_LEADER;
  return true;
}

SynchUi MainWindow::synchUi() {
  // The same progress line as the playback's.
  const PlaybackUi shown = playbackUi();
  SynchUi ui;
  ui.Ctx = this;
  ui.ShowProgress = shown.ShowProgress;
  ui.Progress = shown.Progress;
  ui.SetPosition = [](void* ctx, int position) { static_cast<MainWindow*>(ctx)->Progress->setPosition(position); };
  ui.Message = [](void* ctx, int id) {
    auto* w = static_cast<MainWindow*>(ctx);
    // A follower was asked from outside: its message waits until the start
    // is over, and is shown once.
    if (w->Synch.Mode == SYNCH_FOLLOWER)
      w->showOutsideNotice(id);
    else
      MessageBox::show(w, id);
  };
  ui.StopWaiting = [](void*) { return SessionEndRequested(); };
  ui.Foreground = [](void* ctx) {
    auto* w = static_cast<MainWindow*>(ctx);
    w->raise();
    w->activateWindow();
  };
  return ui;
}

void MainWindow::synchPoint(int which) {
  SynchUi ui = synchUi();
  if (which == 0)
    SynchHookA(Synch, ui);
  else
    SynchHookB(Synch, ui);
}
