// The main window's side of synchronised starts: its socket for other
// instances' requests (1124), the question before Play, and the two
// synchronisation points around the device's restart.
#include <unistd.h>

#include <QSocketNotifier>
#include <QTimer>

#include "dialog/MessageBox.h"
#include "dialog/SynchronizeDialog.h"
#include "dlggen/modal.h"
#include "mwnd/MainWindow.h"
#include "mwnd/ProgressLine.h"
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

void MainWindow::synchRequests() {
  // A start runs inside the request; requests that come meanwhile wait
  // until it is over (and then find this instance playing).
  SynchNotifier->setEnabled(false);
  int fd = -1;
  while (TakeSynchRequest(SynchSrv, &fd)) {
    if (Playing) {
      // The leader goes on with the others at once; the user here is told
      // afterwards.
      AnswerSynchRequest(fd, 1);
      QTimer::singleShot(0, this, [this] { MessageBox::show(this, 1336); });
      continue;
    }
    if (ModalDepth > 0 || Progress->active() || !Ready || SelProgram < 0) {
      // Busy with something the user started here: Play could not be
      // pressed now either.
      AnswerSynchRequest(fd, 1);
      continue;
    }
    if (isMinimized()) showNormal();
    raise();
    activateWindow();
    Synch.ReplyFd = fd;
    int rc = startPlaying(0, true);
    // A start that failed before its device was loaded answers here.
    if (Synch.ReplyFd >= 0) AnswerSynchRequest(Synch.ReplyFd, rc == 0 ? 0 : rc);
    Synch.ReplyFd = -1;
  }
  if (SynchNotifier) SynchNotifier->setEnabled(true);
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
  ui.Message = [](void* ctx, int id) { MessageBox::show(static_cast<MainWindow*>(ctx), id); };
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
