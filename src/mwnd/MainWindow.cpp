// The main window: set-up, the state of its controls, the first fill of the
// list, the hand-over of a second start, closing and the audio thread's
// notices.
#include "mwnd/MainWindow.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStyle>
#include <QTimer>
#include <QToolBar>

#include "assert/check.h"
#include "cnfwiz/ConfigWizard.h"
#include "data/playback/audiothread.h"
#include "data/synthesis/state.h"
#include "dialog/AboutDialog.h"
#include "dialog/AdvancedDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/VisualColorDialog.h"
#include "dialog/strids.h"
#include "dlggen/modal.h"
#include "file/store.h"
#include "main/startup.h"
#include "main/strtab.h"
#include "main/text.h"
#include "mwnd/DesktopLink.h"
#include "mwnd/EngineLink.h"
#include "mwnd/Flashing.h"
#include "mwnd/HelpWindow.h"
#include "mwnd/MenuHelp.h"
#include "mwnd/PresetCombo.h"
#include "mwnd/ProgressLine.h"
#include "mwnd/Startup.h"
#include "mwnd/wavestate.h"
#include "platform/msgqueue.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "prgdlg/TestPlayback.h"
#include "reg/regstore.h"
#include "reg/settings.h"

namespace {

const plat::WaveTarget* gTestTarget = nullptr;

// The play delay's caption (104) and what it says about cancelling (105).
constexpr int kDelayCaption = 104, kDelayHint = 105;

// UI update flags.
constexpr int UI_SAVE = 1, UI_PLAYING = 2, UI_FROZEN = 4, UI_SHOWPARAMS = 8, UI_VISUAL = 16, UI_ALL = 31;

// StoreUi through the message helper.
StoreAnswer StoreAsk(void* ctx, int captionId, const std::string& text, bool withCancel) {
  int a =
      MessageBox::showText(static_cast<QWidget*>(ctx), QString::fromStdString(text),
                           withCancel ? MessageBox::YesNoCancel : MessageBox::YesNo, captionId, MessageBox::Question);
  return a == MessageBox::AnsYes ? STORE_YES : a == MessageBox::AnsNo ? STORE_NO : STORE_CANCEL;
}
bool StoreConfirm(void* ctx, const std::string& text) {
  return MessageBox::showText(static_cast<QWidget*>(ctx), QString::fromStdString(text), MessageBox::OkCancel) ==
         MessageBox::AnsOk;
}
void StoreInform(void* ctx, int captionId, const std::string& text) {
  MessageBox::showText(static_cast<QWidget*>(ctx), QString::fromStdString(text), MessageBox::Ok, captionId,
                       MessageBox::Information);
}
void StoreWarning(void* ctx, const std::string& text) {
  MessageBox::showText(static_cast<QWidget*>(ctx), QString::fromStdString(text));
}

}  // namespace

void MainWindow::setWaveTarget(const plat::WaveTarget* target) { gTestTarget = target; }
const plat::WaveTarget* TestWaveTarget() { return gTestTarget; }

MainWindow::MainWindow(const StartRequest& start) : Start(start), Editor(PresetOptions) {
  setObjectName(QStringLiteral("mainWindow"));
  setWindowTitle(QString::fromUtf8(GetStr(strid::ProgramName)));
  setWindowIcon(QIcon(QStringLiteral(":/icons/sonavel.svg")));
  setMinimumSize(160, 80);
  VisualMode = Cfg.VisualOutput;

  QFontMetrics fm(font());
  LineHeight = fm.lineSpacing();

  CreateActions(Act, this);
  BuildMenus(Act, menuBar());
  InstallMenuHelp(menuBar());
  Tools = addToolBar(tr("Toolbar"));
  Tools->setObjectName(QStringLiteral("toolBar"));
  Tools->setMovable(false);
  Tools->setFloatable(false);
  Tools->setIconSize(QSize(16, 16));
  Tools->setContextMenuPolicy(Qt::PreventContextMenu);
  List = new PresetCombo(Tools);
  List->setFixedWidth(318);
  BuildToolBar(Act, Tools, List);

  Central = new QWidget(this);
  Central->setObjectName(QStringLiteral("centralArea"));
  setCentralWidget(Central);
  Status = new QLabel(QString::fromUtf8(GetStr(strid::NotPlaying)), Central);
  Status->setObjectName(QStringLiteral("statusText"));
  Status->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Status->setTextFormat(Qt::PlainText);
  Status->setAccessibleName(tr("Playback status"));
  Progress = new ProgressLine(this);
  Progress->setBusyWidgets({menuBar(), Tools, Central});
  // A close asked for during long work is carried out when the work ends,
  // whichever work it was; queued, so that the work's caller finishes first.
  connect(Progress, &ProgressLine::finished, this, &MainWindow::closeWhenIdle, Qt::QueuedConnection);
  layoutCentral();

  // clang-format off
  connect(Act.New, &QAction::triggered, this, &MainWindow::cmdNew);
  connect(Act.ToolNew, &QAction::triggered, this, &MainWindow::cmdNew);
  connect(Act.Save, &QAction::triggered, this, &MainWindow::cmdSave);
  connect(Act.ToolSave, &QAction::triggered, this, &MainWindow::cmdSave);
  connect(Act.SaveAs, &QAction::triggered, this, &MainWindow::cmdSaveAs);
  connect(Act.Delete, &QAction::triggered, this, &MainWindow::cmdDelete);
  connect(Act.ToolDelete, &QAction::triggered, this, &MainWindow::cmdDelete);
  connect(Act.Export, &QAction::triggered, this, &MainWindow::cmdExport);
  connect(Act.Import, &QAction::triggered, this, &MainWindow::cmdImport);
  connect(Act.Exit, &QAction::triggered, this, &QWidget::close);
  connect(Act.VisNone, &QAction::triggered, this, [this] { cmdVisual(VISUAL_NONE); });
  connect(Act.VisAudioStrobe, &QAction::triggered, this, [this] { cmdVisual(VISUAL_AUDIOSTROBE); });
  connect(Act.VisWindow, &QAction::triggered, this, [this] { cmdVisual(VISUAL_WINDOW); });
  connect(Act.VisWindowTop, &QAction::triggered, this, [this] { cmdVisual(VISUAL_WINDOW_TOP); });
  connect(Act.VisFullScreen, &QAction::triggered, this, [this] { cmdVisual(VISUAL_FULLSCREEN); });
  connect(Act.VisualColors, &QAction::triggered, this, [this] {
    VisualColorOptions(this, &Cfg.VisualOptions);
  });
  connect(Act.ShowParams, &QAction::triggered, this, &MainWindow::cmdShowParams);
  connect(Act.ConfigWizard, &QAction::triggered, this, [this] {
    ResolveSmoothFlashingDefault();  // the wizard edits the advanced options
    ConfigurationWizard(this);
  });
  connect(Act.Advanced, &QAction::triggered, this, [this] {
    // A notice, not a warning: the new options wait for the next start.
    ResolveSmoothFlashingDefault();
    if (AdvancedOptionsDialog::editOptions(this, SmoothFlashingAvailable()) && Playing)
      MessageBox::showText(this, QString::fromUtf8(GetStr(strid::AdvancedAfterRestart)), MessageBox::Ok, 0, MessageBox::Information);
  });
  connect(Act.Play, &QAction::triggered, this, &MainWindow::cmdPlay);
  connect(Act.ToolPlay, &QAction::triggered, this, &MainWindow::cmdPlay);
  connect(Act.PlayDelay, &QAction::triggered, this, &MainWindow::cmdPlayDelay);
  connect(Act.Stop, &QAction::triggered, this, &MainWindow::cmdStop);
  connect(Act.ToolStop, &QAction::triggered, this, &MainWindow::cmdStop);
  connect(Act.Freeze, &QAction::triggered, this, &MainWindow::cmdFreeze);
  connect(Act.ToolFreeze, &QAction::triggered, this, &MainWindow::cmdFreeze);
  connect(Act.PlayWav, &QAction::triggered, this, &MainWindow::cmdPlayWav);
  connect(Act.CheckLight, &QAction::triggered, this, &MainWindow::cmdCheckLight);
  connect(Act.SleepTimer, &QAction::triggered, this, &MainWindow::cmdSleepTimer);
  connect(Act.PresetOptions, &QAction::triggered, this, &MainWindow::cmdPresetOptions);
  connect(Act.ToolOptions, &QAction::triggered, this, &MainWindow::cmdPresetOptions);
  connect(Act.Help, &QAction::triggered, this, [this] { HelpWindow::showTopic(this, QStringLiteral("index")); });
  connect(Act.ToolHelp, &QAction::triggered, this, [this] { HelpWindow::showTopic(this, QStringLiteral("index")); });
  connect(Act.About, &QAction::triggered, this, [this] { AboutDialog::showAbout(this); });
  connect(List, &QComboBox::activated, this, &MainWindow::listActivated);
  // clang-format on

  updateUi(UI_ALL);
  applyShowParams();
  TestPlayback::Host host;
  host.Ctx = this;
  host.MainPlaying = [](void* ctx) { return static_cast<MainWindow*>(ctx)->Playing; };
  host.Target = [](void* ctx) { return static_cast<MainWindow*>(ctx)->waveTarget(); };
  host.AudioStrobe = [](void* ctx) {
    const MainWindow* w = static_cast<MainWindow*>(ctx);
    return w->Link && w->Link->playback().AudioStrobeOn.load() != 0;
  };
  TestPlayback::setHost(host);

  plat::ResetEvent(hWaveEvent);
  if (!CreateAudioThread(EngineWindowFor(this), Cfg.Advanced.ThreadTimeCritical != 0)) {
    MessageBox::show(this, strid::NoThread);
    QTimer::singleShot(0, this, [this] { closeAtOnce(1); });
    return;
  }
  Link = new EngineLink(this);
  // The presets are read once the window exists (and shows).
  QTimer::singleShot(0, this, &MainWindow::firstFill);
}

MainWindow::~MainWindow() {
  stopSynchServer();
  StopFlashing();  // its surfaces are this window's
  TestPlayback::instance()->stop();
  TestPlayback::setHost(TestPlayback::Host());
  if (StoreRefreshedCtx == this) {
    StoreRefreshed = nullptr;
    StoreRefreshedCtx = nullptr;
  }
  if (Playing && Device) {
    // Destroyed without the stop having been confirmed.
    plat::WaveReset(Device);
  }
  EndAudioThread();
  if (PacedSink) plat::DestroyFakeWave(PacedSink);
  HelpWindow::closeAll();
}

// --- Layout ---------------------------------------------------------------------

void MainWindow::layoutCentral() {
  int progressHeight = std::max(style()->pixelMetric(QStyle::PM_ScrollBarExtent), LineHeight + 6);
  Status->setGeometry(4, 6, 640, StatusLines * LineHeight);
  QRect c = Central->geometry();
  Progress->setGeometry(c.x(), c.bottom() + 1 - progressHeight, c.width(), progressHeight);
  QWidget* flash = FlashingSurface();
  if (flash && flash->parentWidget() == Central) flash->setGeometry(flashArea());
}

int MainWindow::freezeState() const { return Link ? Link->playback().FreezeState.load() : 0; }

QRect MainWindow::flashArea() const {
  int top = Status->isVisible() ? Status->geometry().bottom() + 1 : 0;
  return QRect(0, top, Central->width(), std::max(Central->height() - top, 0));
}

void MainWindow::resizeEvent(QResizeEvent* e) {
  QMainWindow::resizeEvent(e);
  layoutCentral();
}

void MainWindow::applyShowParams() {
  Status->setVisible(Cfg.ShowParams != 0);
  SetStatusDisplay(Cfg.ShowParams != 0);
  layoutCentral();
}

void MainWindow::updateUi(int flags) {
  if (flags & UI_SAVE) {
    bool modified = WaveOptChanged != 0;
    Act.Save->setEnabled(modified);
    Act.ToolSave->setEnabled(modified);
    Act.New->setEnabled(!modified);
    Act.ToolNew->setEnabled(!modified);
  }
  if (flags & UI_PLAYING) {
    Act.ToolPlay->setVisible(!Playing);
    Act.ToolFreeze->setVisible(Playing);
    Act.ToolStop->setEnabled(Playing);
    Act.Play->setEnabled(!Playing);
    Act.PlayDelay->setEnabled(!Playing);
    Act.PlayWav->setEnabled(!Playing);
    Act.Stop->setEnabled(Playing);
    Act.Freeze->setEnabled(Playing);
  }
  if (flags & UI_FROZEN) {
    // 2 asks to freeze, -1 to go on: the button shows what was asked.
    bool frozen = freezeState() > 0;
    Act.ToolFreeze->setIcon(frozen ? CommandIcon("media-playback-start", "restart.svg")
                                   : CommandIcon("media-playback-pause", "freeze.svg"));
    QString tip = QString::fromUtf8(GetStr(frozen ? 44 : 43));
    Act.ToolFreeze->setText(tip);
    Act.ToolFreeze->setToolTip(tip);
  }
  if (flags & UI_SHOWPARAMS) Act.ShowParams->setChecked(Cfg.ShowParams != 0);
  if (flags & UI_VISUAL) {
    Act.VisNone->setChecked(VisualMode == VISUAL_NONE);
    Act.VisAudioStrobe->setChecked(VisualMode == VISUAL_AUDIOSTROBE);
    Act.VisWindow->setChecked(VisualMode == VISUAL_WINDOW);
    Act.VisWindowTop->setChecked(VisualMode == VISUAL_WINDOW_TOP);
    Act.VisFullScreen->setChecked(VisualMode == VISUAL_FULLSCREEN);
  }
  List->presets()->setSelectionState(SelProgram, WaveOptChanged);
  List->update();
  if (Desktop) Desktop->stateChanged();
}

// --- The list -------------------------------------------------------------------

int MainWindow::currentPos() const { return List->presets() ? ListFindIndex(List->presets()->list(), SelProgram) : -1; }

std::string MainWindow::selectedName() const {
  return SelProgram >= 0 && SelProgram < NumPrograms ? std::string(Program[SelProgram].Name) : std::string();
}

void MainWindow::selectEntry(int pos) {
  if (pos < 0 || pos >= List->count()) pos = List->count() - 1;
  List->selectQuietly(pos);
  int index = List->presetAt(pos);
  if (TVK_CHECK_AS(index >= 0 && index < NumPrograms, "SelProgram>=0 && SelProgram<NumPrograms", index))
    SelProgram = index;
  updateUi(UI_SAVE);
}

void MainWindow::refillList(int selectIndex) {
  List->presets()->fill();
  int pos = ListFindIndex(List->presets()->list(), selectIndex);
  selectEntry(pos >= 0 ? pos : 0);
}

void MainWindow::firstFill() {
  StoreUi ui = storeUi();
  if (int rc = LoadAllPresets(&ui)) {
    showStoreError(rc);
    closeAtOnce(1);
    return;
  }
  StoreRefreshedCtx = this;
  StoreRefreshed = &MainWindow::storeRefreshed;
  List->presets()->fill();
  int pos = -1;
  if (Start.HasLoadName) {
    pos = ListFindPrefix(List->presets()->list(), Start.LoadName);
    if (pos < 0) {
      MessageBox::show(this, strid::PresetNotFound, {Start.LoadName});
      Start.HasLoadName = false;
    }
  }
  if (pos < 0) pos = ListFindPrefix(List->presets()->list(), Cfg.SelectedPreset);
  if (pos < 0) pos = 0;
  if (List->count() > 0) selectEntry(pos);
  Ready = true;
  plat::SetEvent(hWaveEvent);  // the audio thread starts its work only now
  // Other instances find this one once it can take their requests.
  startSynchServer();
  QTimer::singleShot(0, this, &MainWindow::firstRunActions);
  if (!Start.ImportFile.empty()) {
    QString file = QString::fromStdString(Start.ImportFile);
    QTimer::singleShot(0, this, [this, file] { importFile(file); });
  }
  // The desktop's bus once the window shows and its list is filled.
  QTimer::singleShot(0, this, [this] {
    if (!Desktop) Desktop = new DesktopLink(this);
  });
  if (Start.HasLoadName) {
    Start.HasLoadName = false;
    CloseAfterPlay = true;
    startPlaying(0);
    if (!Playing) CloseAfterPlay = false;
  }
}

void MainWindow::firstRunActions() {
  TVK_CHECK_AS(plat::WaitEvent(hWaveEvent2, 6000), "error==WAIT_OBJECT_0", 0);
  if (Cfg.Advanced.RunConfigWizard) {
    ResolveSmoothFlashingDefault();
    ConfigurationWizard(this);
  }
}

// --- Hand-over ---------------------------------------------------------------------

int MainWindow::handOver(const QString& cmdLine) {
  // A window that is closing takes nothing more: showing it again would
  // cancel the program's end.
  if (ModalDepth > 0 || Progress->active() || !Ready || Closing || SessionEnd) return 1;
  if (isMinimized()) showNormal();
  show();
  raise();
  activateWindow();
  if (cmdLine.isEmpty()) return 0;
  // The line is read by the rule of a start's own command line: "-p NAME"
  // asks to play a preset, anything else names a file to import.
  CmdLine cmd = ParseCommandLine(cmdLine.toStdString());
  // The sender is answered before the import asks anything.
  QTimer::singleShot(0, this, [this, cmdLine, cmd] {
    if (Closing || SessionEnd) return;
    if (!plat::WaitEvent(hWaveEvent2, 2000)) TVK_CHECK_AS(false, "error==WAIT_OBJECT_0", 0);
    if (cmd.HasLoadName) {
      playHandedOver(cmd.LoadName);
      return;
    }
    bool moved = false;
    if (WaveOptChanged != 0 && !askUnsaved(currentPos(), &moved)) return;
    importFile(cmdLine);
  });
  return 0;
}

void MainWindow::playHandedOver(const std::string& name) {
  int pos = ListFindPrefix(List->presets()->list(), name);
  if (pos < 0) {
    MessageBox::show(this, strid::PresetNotFound, {name});
    return;
  }
  bool moved = false;
  if (pos != currentPos()) {
    if (WaveOptChanged == 0)
      selectEntry(pos);
    else if (!askUnsaved(pos, &moved) || moved)
      return;
  }
  // What plays stops first; the stop's notice starts the new preset. Unlike
  // a start with "-p", the window stays when it ends: it was running before.
  if (Playing) {
    PlayAfterStop = true;
    cmdStop();
    return;
  }
  startPlaying(0);
}

// --- Closing -------------------------------------------------------------------------

void MainWindow::saveSettingsNow(bool writeSelected) {
  ResolveSmoothFlashingDefault();  // the machine's default is what is saved
  QRect g = normalGeometry().isValid() ? normalGeometry() : geometry();
  Cfg.Main = Placement{g.x(), g.y(), g.width(), g.height()};
  Cfg.VisualOutput = VisualMode;
  std::string name = selectedName();
  auto store = OpenSettingsStore();
  SaveSettings(Cfg, writeSelected ? &name : nullptr, *store);
}

void MainWindow::closeAtOnce(int code) {
  QuitCode = code;
  CloseNow = true;
  HelpWindow::closeAll();
  close();
}

void MainWindow::closeEvent(QCloseEvent* e) {
  if (CloseNow) {
    e->accept();
    return;
  }
  if (Closing) {
    // Waiting for the audio thread to confirm the stop, or confirmed.
    if (Playing) e->ignore();
    return;
  }
  // Long work, or a dialog over the window, ends first; the close follows
  // (closeWhenIdle). The session end's close has cancelled the dialogs.
  if (Progress->active() || (!SessionEnd && modalOpen())) {
    if (Progress->active()) Progress->requestAbort();
    CloseRequested = true;
    e->ignore();
    return;
  }
  CloseRequested = false;  // this is the close asked for
  bool moved = false;
  if (WaveOptChanged != 0) {
    if (SessionEnd) {
      // Nobody is there to answer: the changes are dropped as with No.
      int pos = currentPos();
      if (IsNeverSaved(WaveOptChanged)) {
        removeNewPreset();
        moved = true;
        selectEntry(pos);
      } else {
        revertCurrent();
      }
      WaveOptChanged = 0;
    } else if (!askUnsaved(currentPos(), &moved)) {
      CloseRequested = false;  // Cancel answers a close asked for during the question too
      e->ignore();
      return;
    }
  }
  if (Ready) saveSettingsNow(!moved);
  Closing = true;
  if (Playing) {
    cmdStop();
    e->ignore();  // destroyed when the audio thread confirms
    return;
  }
  finishClose();
  e->accept();
}

bool MainWindow::modalOpen() const { return ModalDepth > 0 || QApplication::activeModalWidget() != nullptr; }

void MainWindow::closeWhenIdle() {
  // Long work that goes on (a second step, a new line) calls again at its end.
  if (!CloseRequested || Progress->active()) return;
  if (SessionEnd) {
    // Nobody answers at the session end: what opened since is cancelled.
    CloseRequested = false;
    if (modalOpen())
      closeForSessionEnd();
    else
      close();
    return;
  }
  if (QApplication::activeModalWidget()) return;  // its end calls again (event())
  if (ModalDepth > 0) {
    // A dialog has just gone and its caller has not yet returned from it.
    QTimer::singleShot(0, this, &MainWindow::closeWhenIdle);
    return;
  }
  CloseRequested = false;
  close();
}

bool MainWindow::event(QEvent* e) {
  // A close that waited for a dialog goes once the dialog's caller is done.
  if (e->type() == QEvent::WindowUnblocked && CloseRequested) QTimer::singleShot(0, this, &MainWindow::closeWhenIdle);
  return QMainWindow::event(e);
}

void MainWindow::finishClose() {
  HelpWindow::closeAll();
  if (Playing) MessageBox::show(this, strid::DeviceNotClosed);
}

void MainWindow::closeForSessionEnd() {
  SessionEnd = true;
  // Dialogs and questions in the way are cancelled first.
  for (QWidget* w : QApplication::topLevelWidgets())
    if (w != this && w->isVisible() && w->isModal())
      if (auto* d = qobject_cast<QDialog*>(w)) d->done(QDialog::Rejected);  // done: a reject may ask
  QTimer::singleShot(0, this, [this] { close(); });
}

void MainWindow::changeEvent(QEvent* e) {
  QMainWindow::changeEvent(e);
  // The first activation gives the preset list the focus as a Tab would, so
  // that its focus frame shows where typing goes (styles draw the frame only
  // after the keyboard moved the focus).
  if (e->type() == QEvent::ActivationChange && isActiveWindow() && !FocusShown) {
    FocusShown = true;
    QWidget* f = QApplication::focusWidget();
    if (!f || f == List || f == this) {
      setAttribute(Qt::WA_KeyboardFocusChange);
      List->setFocus(Qt::TabFocusReason);
      List->update();
    }
  }
  // A command-line tool or another instance may have changed the store while
  // this window was in the background.
  if (e->type() == QEvent::ActivationChange && isActiveWindow() && Ready && ModalDepth == 0) {
    StoreUi ui = storeUi();
    RefreshStore(&ui, nullptr);
  }
}

void MainWindow::storeRefreshed(void* ctx, bool rebuilt) {
  auto* w = static_cast<MainWindow*>(ctx);
  // Indexes built anew name other presets: the list, not yet refilled,
  // still shows the selected one's name.
  if (rebuilt && !w->RefillByName) {
    w->RefillByName = true;
    w->RefillName = w->List->currentText().toStdString();
    if (!w->RefillName.empty() && w->RefillName[0] == ' ') w->RefillName.erase(0, 1);  // never saved
  }
  if (w->RefillQueued) return;
  w->RefillQueued = true;
  QTimer::singleShot(0, w, [w] {
    w->RefillQueued = false;
    int sel = SelProgram;
    if (w->RefillByName) {
      w->RefillByName = false;
      sel = -1;
      for (int i = 0; i < NumPrograms && sel < 0; ++i)
        if (!Program[i].Deleted && TextForLine(Program[i].Name) == w->RefillName) sel = i;
      if (IsNeverSaved(w->WaveOptChanged)) w->WaveOptChanged = WOC_NONE;  // a preset only in memory is gone
    }
    bool live = sel >= 0 && sel < NumPrograms && !Program[sel].Deleted;
    w->refillList(live ? sel : -1);
    // A preset not yet saved keeps the mark of its state.
    if (IsNeverSaved(w->WaveOptChanged) && live) {
      w->List->presets()->removeAt(w->currentPos());
      w->List->selectQuietly(w->List->presets()->insert(" " + TextForLine(Program[SelProgram].Name), SelProgram));
    }
  });
}

void MainWindow::endProgram(int code) {
  QuitCode = code;
  closeForSessionEnd();
}

// --- Notices of the audio thread ----------------------------------------------------

void MainWindow::playStatus(const PlayStatus& s) {
  if (!Playing) return;  // "Not playing" stays
  char text[1024];
  int lines = FormatPlayStatus(s, text, sizeof text);
  // A visual frequency the display cannot follow is noted once a playback,
  // on a line of its own below the others.
  int32_t refresh = FlashingRefreshMilliHz();
  bool noted = RefreshNotice.Phase == 1;
  bool note = FlashRefreshNoticeStep(RefreshNotice, FlashBeyondRefresh(s.VisualFrequency[0], refresh));
  QString shown = QString::fromUtf8(text);
  if (note) {
    char half[32];
    FormatStatusNumber(refresh / 2, 3, half, sizeof half);
    if (!shown.endsWith('\n')) shown += '\n';
    shown += QString::asprintf(GetStr(strid::FlashingRefreshNote), half);
  }
  // The sleep timer's time left, on a line of its own.
  char sleep[128];
  bool sleeping = FormatSleepLine(s, sleep, sizeof sleep);
  if (sleeping) {
    if (!shown.endsWith('\n')) shown += '\n';
    shown += QString::fromUtf8(sleep);
  }
  // The text is fitted at a start, a record change and a freeze change, and
  // when a note comes or goes; the statuses in between only tick the time
  // on.
  int want = (s.Lines > 0 ? s.Lines : lines) + (note ? 1 : 0) + (sleeping ? 1 : 0);
  if ((s.Forced && s.Lines > 0) || note != noted || sleeping != SleepLineShown) {
    SleepLineShown = sleeping;
    StatusLines = want;
    Status->resize(640, StatusLines * LineHeight);
    int need = Central->mapTo(this, QPoint(0, Status->geometry().bottom())).y() + 1;
    if (VisualMode == VISUAL_WINDOW || VisualMode == VISUAL_WINDOW_TOP) need += 4 * LineHeight;
    if (Cfg.ShowParams && need > height()) resize(width(), need);
    layoutCentral();
  }
  Status->setText(shown);
  if (Desktop) Desktop->stateChanged();
}

void MainWindow::playEnded() { cmdStop(); }

void MainWindow::playStopped(plat::WaveDevice* dev) {
  // A stop that found no device (the end of the preset and the user's Stop
  // crossing each other) has nothing to finish; by the time its notice
  // arrives a new playback may be running.
  if (!dev) return;
  int error = plat::WaveClose(dev);
  TVK_CHECK_AS(error == plat::WAVE_OK || error == plat::WAVE_INVALHANDLE,
               "error==MMSYSERR_NOERROR||error==MMSYSERR_INVALHANDLE", error);
  if (dev != Device) return;
  Device = nullptr;
  Playing = false;
  Link->playback().FreezeState.store(0);
  StopFlashing();
  Status->setText(QString::fromUtf8(GetStr(strid::NotPlaying)));
  updateUi(UI_PLAYING | UI_FROZEN);
  if (!QApplication::focusWidget()) List->setFocus();
  if (CloseAfterPlay) {
    // A playback started with "-p" closes the window directly, without
    // saving the settings.
    CloseAfterPlay = false;
    finishClose();
    closeAtOnce(0);
    return;
  }
  if (Closing) {
    finishClose();
    closeAtOnce(0);
    return;
  }
  if (PlayAfterStop) {
    PlayAfterStop = false;
    startPlaying(0);
  }
}

// --- Helpers ------------------------------------------------------------------------

bool MainWindow::refuseInSecondInstance() {
  if (!Start.AnotherInstance) return false;
  MessageBox::show(this, strid::StoreReadOnly);
  return true;
}

void MainWindow::showStoreError(int rc) {
  if (rc > 0) MessageBox::show(this, rc, {StoreMessagePath(), 1000});
}

StoreUi MainWindow::storeUi() {
  StoreUi ui;
  ui.Ctx = this;
  ui.Ask = StoreAsk;
  ui.Confirm = StoreConfirm;
  ui.Inform = StoreInform;
  ui.Warn = StoreWarning;
  ui.Progress = [](void* ctx, int captionId, int position, int max) {
    auto* w = static_cast<MainWindow*>(ctx);
    if (!w->Progress->active() || w->Progress->caption()->text() != QString::fromUtf8(GetStr(captionId)))
      w->Progress->start(captionId, max);
    w->Progress->setPosition(position);
    w->Progress->pump();
    if (position >= max) w->Progress->finish();
  };
  return ui;
}

PlaybackUi MainWindow::playbackUi() {
  PlaybackUi ui;
  ui.Ctx = this;
  ui.ShowProgress = [](void* ctx, int captionId, int max) {
    auto* w = static_cast<MainWindow*>(ctx);
    if (captionId != kDelayCaption) {
      w->Progress->start(captionId, max);
      return;
    }
    // The play delay: Stop stays at hand, and the line says how to cancel.
    w->Act.Stop->setEnabled(true);
    w->Act.ToolStop->setEnabled(true);
    w->Progress->start(captionId, max, kDelayHint, {w->Tools->widgetForAction(w->Act.ToolStop)});
  };
  ui.Progress = [](void* ctx, int position) {
    auto* w = static_cast<MainWindow*>(ctx);
    w->Progress->setPosition(position);
    return w->Progress->pump();
  };
  return ui;
}
