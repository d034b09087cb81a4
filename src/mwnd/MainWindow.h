// The main window: toolbar with the preset list, the status text that shows
// what plays, the progress line, and every command of the menus. It owns
// the user's view of the presets (select, new, save, save as, delete,
// import, export), starts, freezes and stops playback, and receives the
// audio thread's notices.
//
// The window's commands are split over three files: MainWindow.cpp (set-up,
// state, closing, notices), PresetCommands.cpp and PlayCommands.cpp.
// Main thread only.
#pragma once
#include <QMainWindow>
#include <QPointer>
#include <QString>
#include <string>

#include "data/playback/playback.h"
#include "data/playback/playstatus.h"
#include "file/store.h"
#include "mwnd/Actions.h"
#include "platform/wavedev.h"
#include "synch/synch.h"
#include "visual/flash.h"

class DesktopLink;
class EngineLink;
class QLabel;
class QSocketNotifier;
class QToolBar;
class PresetCombo;
class ProgressLine;

// What start-up hands the window.
struct StartRequest {
  bool AnotherInstance = false;
  bool HasLoadName = false;  // "-p": select, play, close at the end
  std::string LoadName;
  std::string ImportFile;  // imported once the list is shown
};

class MainWindow : public QMainWindow {
  Q_OBJECT
 public:
  explicit MainWindow(const StartRequest& start);
  ~MainWindow() override;

  // Preset options (1015): edits Program[index] in place; returns an
  // EditorResult (main/presetedit.h) and sets *renamed when the name changed.
  using PresetEditorFn = int (*)(QWidget* owner, int index, bool* renamed);
  // The editor the preset commands run (PresetOptions unless replaced).
  // A setter rather than a constructor argument: tests swap the editor
  // between commands on one open window.
  void setPresetEditor(PresetEditorFn editor) { Editor = editor; }

  // --- Observed by tests -----------------------------------------------------
  PresetCombo* presetList() const { return List; }
  QLabel* statusText() const { return Status; }
  ProgressLine* progressLine() const { return Progress; }
  const MainActions& actions() const { return Act; }
  int waveOptChanged() const { return WaveOptChanged; }
  bool playing() const { return Playing; }
  bool listReady() const { return Ready; }
  // The device playback goes to (ALSA's PCM from the settings unless a test
  // sets another target).
  static void setWaveTarget(const plat::WaveTarget* target);

  // A second start's command line: 0 taken, 1 refused (a dialog is open).
  // A file is imported; "-p NAME" selects that preset and plays it.
  int handOver(const QString& cmdLine);
  // Closes as at the end of the session (no questions: unsaved changes are
  // dropped).
  void closeForSessionEnd();
  // Ends the program with `code` (Exit Program of the internal error report):
  // playback stops and the window closes as at the end of the session.
  void endProgram(int code);
  // The program's exit code once the window has closed: 1 after a failed
  // start (the store could not be read, no audio thread).
  int quitCode() const { return QuitCode; }

  // Notices of the audio thread, taken from the engine's ring (EngineLink):
  // a status to show, the end of the preset (acts as Stop), and the device
  // the audio thread has reset after a stop (closed here).
  void playStatus(const PlayStatus& s);
  void playEnded();
  void playStopped(plat::WaveDevice* dev);

  // The screen flashing's view of the window: the mode, the toolbar it
  // hides over the full screen, the area it fills in a window mode (the
  // central area below the status text) and the Stop command.
  int visualMode() const { return VisualMode; }
  QToolBar* toolBar() const { return Tools; }
  QWidget* centralArea() const { return Central; }
  QRect flashArea() const;
  void stopPlaying() { cmdStop(); }
  // The freeze state of the window's playback (PlaybackState::FreezeState;
  // 0 when there is no audio thread).
  int freezeState() const;

  // Synchronised starts (Synchronize.cpp): the two points around the
  // device's restart (the engine calls them inside StartPlayback), and the
  // socket other instances ask this one through.
  void synchPoint(int which);
  const SynchServer& synchServer() const { return SynchSrv; }

  // The desktop's media controls and keeping the computer awake (made once
  // the window shows; null before).
  DesktopLink* desktopLink() const { return Desktop; }

 protected:
  void closeEvent(QCloseEvent* e) override;
  void resizeEvent(QResizeEvent* e) override;
  void changeEvent(QEvent* e) override;
  bool event(QEvent* e) override;

 private:
  // --- Set-up and state (MainWindow.cpp) -------------------------------------
  void firstFill();
  void firstRunActions();
  void updateUi(int flags);
  void applyShowParams();
  void layoutCentral();
  void selectEntry(int pos);
  void refillList(int selectIndex);
  // Another process changed the store: the list follows once the command
  // that found it out has finished.
  static void storeRefreshed(void* ctx, bool rebuilt);
  bool RefillQueued = false;
  bool RefillByName = false;
  std::string RefillName;
  int currentPos() const;
  std::string selectedName() const;
  bool refuseInSecondInstance();
  void showStoreError(int rc);
  StoreUi storeUi();
  PlaybackUi playbackUi();
  void saveSettingsNow(bool writeSelected);
  void finishClose();
  void closeAtOnce(int code);
  // Carries out a close that arrived during long work (CloseRequested), once
  // the work has ended: at the session end the session's close; otherwise
  // close() once no modal dialog is open any more. Called when the progress
  // line ends, when a modal dialog leaves the window, and by the play paths.
  void closeWhenIdle();
  bool modalOpen() const;

  // --- Presets (PresetCommands.cpp) -----------------------------------------
  void cmdNew();
  void cmdSave();
  void cmdSaveAs();
  void cmdDelete();
  void cmdExport();
  void cmdImport();
  void cmdPresetOptions();
  void listActivated(int pos);
  // The unsaved-changes question before switching to entry `wantPos`
  // (current entry for imports and closing). false when cancelled;
  // *moved when the selection could not stay on the wanted preset.
  bool askUnsaved(int wantPos, bool* moved);
  void importFile(const QString& path);
  void importSession(const QString& path);
  // A second start's "-p NAME": select the preset and play it (after what
  // plays has stopped).
  void playHandedOver(const std::string& name);
  void removeNewPreset();
  void revertCurrent();

  // --- Playback (PlayCommands.cpp) --------------------------------------------
  void cmdPlay();
  void cmdPlayDelay();
  void cmdStop();
  void cmdFreeze();
  void cmdPlayWav();
  void cmdCheckLight();
  void cmdVisual(int mode);
  void cmdShowParams();
  void cmdSleepTimer();
  friend class DesktopLink;
  DesktopLink* Desktop = nullptr;
  EngineLink* Link = nullptr;   // the audio thread's notices and the playback record
  bool SleepLineShown = false;  // the status's sleep timer line
  // PLAY_STARTED, PLAY_NOT_STARTED (cancelled, aborted or already playing),
  // or the id of the message already shown. `follower`: asked by a leader
  // (1124).
  enum PlayStart { PLAY_STARTED = 0, PLAY_NOT_STARTED = -1 };
  int startPlaying(uint32_t delayTick, bool follower = false);
  // --- Synchronised starts (Synchronize.cpp) ---------------------------------
  void startSynchServer();
  void stopSynchServer();
  void synchRequests();
  // One complete request 1124 on connection fd: answered here.
  void synchRequest(int fd);
  // A message asked for from outside (1336, a follower's 1337): shown after
  // the request, and never a second while one is up or queued.
  void showOutsideNotice(int id);
  // Before Play: SynchMode, and the question when others take part. false
  // when the user cancelled.
  bool askSynchronize();
  SynchUi synchUi();
  // The device the settings name (a test's target, the paced "fake"
  // device, or an ALSA PCM); the preset editor's test plays there too.
  plat::WaveTarget waveTarget();
  std::string backgroundName(const Preset& p) const;

  // --- Controls ---------------------------------------------------------------
  MainActions Act{};
  QToolBar* Tools = nullptr;
  PresetCombo* List = nullptr;
  QWidget* Central = nullptr;
  QLabel* Status = nullptr;
  ProgressLine* Progress = nullptr;
  int LineHeight = 0;
  int StatusLines = 4;
  FlashRefreshNotice RefreshNotice;  // once a playback

  // --- State ------------------------------------------------------------------
  StartRequest Start;
  PresetEditorFn Editor;
  bool Ready = false;            // the list has been filled
  int WaveOptChanged = 0;        // wavestate.h
  std::string NameBeforeRename;  // state 2: the saved name
  bool Playing = false;
  bool Closing = false;
  bool CloseAfterPlay = false;  // playback started with "-p"
  bool PlayAfterStop = false;   // a handed-over "-p" waits for the stop
  bool FocusShown = false;      // the list got its focus frame once
  bool CloseRequested = false;  // a close arrived while busy
  bool SessionEnd = false;
  bool CloseNow = false;  // the close is decided: accept it
  int QuitCode = 0;
  plat::WaveDevice* Device = nullptr;
  plat::FakeWave* PacedSink = nullptr;  // the "fake" device of the settings
  int VisualMode = 0;
  SynchState Synch;
  SynchServer SynchSrv;
  QSocketNotifier* SynchNotifier = nullptr;
  int SynchWatched = 0;         // connections being read
  bool InSynchRequest = false;  // a leader's request is being served
  bool OutsideNoticeShown = false;
};
