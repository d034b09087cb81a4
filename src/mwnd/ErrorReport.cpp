// The internal error report: reporter, state of the debug records, dialog.
#include "mwnd/ErrorReport.h"

#include <QApplication>
#include <QPointer>
#include <QThread>
#include <atomic>
#include <csignal>
#include <cstring>

#include "assert/check.h"
#include "assert/debugrec.h"
#include "dialog/InternalErrorDialog.h"
#include "dialog/strids.h"
#include "file/filewrite.h"
#include "main/model.h"
#include "main/strtab.h"
#include "mwnd/Startup.h"
#include "prgdlg/PresetOptionsDialog.h"
#include "reg/settings.h"

namespace {

std::atomic<bool> gGuard{false};
QPointer<QWidget> gOwner;
void (*gExit)(QWidget*, int) = nullptr;
CheckReporter gPrevious = nullptr;

// Copied without locks: the values are words the GUI thread writes, and a
// torn read only blurs a debug record.
void FillState(DebugRecordHead* h) {
  h->SelProgram = SelProgram;
  h->NumPrograms = NumPrograms;
  // The probe's answer once it was made: making it here would load the GL
  // driver on the error path (on any thread), and at start-up, where the
  // crash record is prepared, before the window has painted.
  h->DirectDraw = SmoothFlashingKnown() ? 1 : 0;
  static_assert(sizeof Cfg.Advanced <= sizeof h->Options);
  std::memcpy(h->Options, &Cfg.Advanced, sizeof Cfg.Advanced);
  h->VisualMode[0] = Cfg.VisualOutput;
  h->VisualMode[1] = Cfg.VisualOptions.NumColors;
  static_assert(sizeof Cfg.VisualOptions == sizeof h->VisOpt);
  std::memcpy(h->VisOpt, &Cfg.VisualOptions, sizeof h->VisOpt);
}

// The selected preset and the editor's copy as the preset file holds them.
// The serialiser's buffer is the GUI thread's: called there only.
void FillImages(std::string* selected, std::string* edited) {
  const unsigned char* image = nullptr;
  if (SelProgram >= 0 && SelProgram < NumPrograms && Program[SelProgram].Loaded &&
      SerialisePreset(Program[SelProgram], &image) == 0 && image)
    selected->assign(reinterpret_cast<const char*>(image), static_cast<size_t>(Program[SelProgram].RecordSize));
  Preset* copy = PresetOptionsDialog::openCopy();
  if (copy && copy->data.NumSegments != 0 && SerialisePreset(*copy, &image) == 0 && image)
    edited->assign(reinterpret_cast<const char*>(image), static_cast<size_t>(copy->RecordSize));
}

// The plain sentence of a crash of the last run.
QString CrashCause(int signal) {
  if (signal == 0) return QString::fromUtf8(GetStr(strid::CrashedUnknown));
  const int kind = signal == SIGSEGV || signal == SIGBUS ? strid::SignalMemoryFault
                   : signal == SIGFPE                    ? strid::SignalArithmetic
                   : signal == SIGILL                    ? strid::SignalBadInstruction
                   : signal == SIGABRT                   ? strid::SignalAbort
                                                         : strid::SignalOther;
  return QString::fromStdString(FormatPrintf(GetStr(strid::CrashedBySignal), GetStr(kind), signal));
}

void ShowNow(const QString& summary, const QString& cause) {
  int r;
  {
    InternalErrorDialog d(gOwner, summary, cause);
    r = d.run();
  }
  gGuard = false;
  if (r == InternalErrorDialog::ExitProgram) {
    if (gExit)
      gExit(gOwner, 2);
    else
      QCoreApplication::exit(2);
  }
}

void Reporter(const CheckFailure& f) {
  bool idle = false;
  if (!gGuard.compare_exchange_strong(idle, true)) return;
  QCoreApplication* app = QCoreApplication::instance();
  bool gui = app && QThread::currentThread() == app->thread();
  AddDebugRecord(gui, f.Module, f.Line, f.Expr, f.Err, {{f.VarName, f.Value}});
  char buf[512];
  FormatCheckSummary(f, buf, sizeof buf);
  QString summary = QString::fromUtf8(buf);
  const QString cause = QString::fromUtf8(GetStr(strid::InternalErrorGoesOn));
  if (gui)
    ShowNow(summary, cause);
  else if (app)
    QMetaObject::invokeMethod(
        app, [summary, cause] { ShowNow(summary, cause); }, Qt::QueuedConnection);
  else
    gGuard = false;
}

}  // namespace

void InstallErrorReport(QWidget* owner, void (*exitProgram)(QWidget*, int)) {
  gOwner = owner;
  gExit = exitProgram;
  InternalErrorDialog::setServer(Cfg.ReportServer, Cfg.ReportPort);
  SetDebugSources({FillState, FillImages});
  CheckReporter prev = SetCheckReporter(Reporter);
  if (prev != Reporter) gPrevious = prev;
}

void UninstallErrorReport() {
  SetCheckReporter(gPrevious);
  gPrevious = nullptr;
  SetDebugSources({});
  gOwner = nullptr;
}

void ShowErrorReport(const QString& summary, int signal) {
  bool idle = false;
  if (!gGuard.compare_exchange_strong(idle, true)) return;
  ShowNow(summary, CrashCause(signal));
}

bool ErrorReportActive() { return gGuard.load(); }
