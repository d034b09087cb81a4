// Start-up, instances, the event loop and the end of the session.
#include "mwnd/Startup.h"

#include <sys/socket.h>
#include <unistd.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QScreen>
#include <QSocketNotifier>
#include <QTimer>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <functional>
#include <memory>

#include "assert/check.h"
#include "assert/crash.h"
#include "chart/ChartAccessible.h"
#include "dialog/AdvancedDialog.h"
#include "dialog/MessageBox.h"
#include "dialog/strids.h"
#include "dlggen/Accessible.h"
#include "dlggen/DynDialog.h"
#include "engine/startup.h"
#include "file/store.h"
#include "main/startup.h"
#include "mwnd/Connection.h"
#include "mwnd/ErrorReport.h"
#include "mwnd/Flashing.h"
#include "mwnd/HelpWindow.h"
#include "mwnd/MainWindow.h"
#include "platform/instance.h"
#include "platform/rand.h"
#include "reg/filetype.h"
#include "reg/regstore.h"
#include "reg/settings.h"

namespace {

int gSignalPipe[2] = {-1, -1};
volatile std::sig_atomic_t gSessionEnd = 0;

void OnSignal(int) {
  gSessionEnd = 1;
  char c = 1;
  // Nothing but the write is safe here; the event loop does the rest.
  ssize_t r = ::write(gSignalPipe[1], &c, 1);
  (void)r;
}

// SIGTERM, SIGINT and SIGHUP close the window as its close box does.
void WatchSessionEnd(MainWindow* window) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, gSignalPipe) != 0) return;
  auto* n = new QSocketNotifier(gSignalPipe[0], QSocketNotifier::Read, window);
  QObject::connect(n, &QSocketNotifier::activated, window, [window] {
    char buf[16];
    while (::read(gSignalPipe[0], buf, sizeof buf) > 0) {
    }
    window->closeForSessionEnd();
  });
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  for (int s : {SIGTERM, SIGINT, SIGHUP}) ::sigaction(s, &sa, nullptr);
}

// A second start's request, taken while the event loop runs: the window
// answers 0 (taken) or 1 (a dialog is open). Each connection is read from a
// notifier of its own with a deadline, at most kAcceptsPerTurn taken per turn
// of the event loop and kMaxWatched watched at once (the rest wait in the
// socket's backlog), so a flood of silent connections never stops the
// window.
constexpr int kAcceptsPerTurn = 8;
constexpr int kMaxWatched = 32;
constexpr int kRequestDeadlineMs = 500;

void ServeHandOver(plat::InstanceServer& server, MainWindow* window) {
  if (server.ListenFd < 0) return;
  auto* n = new QSocketNotifier(server.ListenFd, QSocketNotifier::Read, window);
  auto watched = std::make_shared<int>(0);
  QObject::connect(n, &QSocketNotifier::activated, window, [&server, window, n, watched] {
    for (int i = 0; i < kAcceptsPerTurn && *watched < kMaxWatched; ++i) {
      auto p = std::make_shared<plat::PendingRequest>();
      if (!plat::AcceptConnection(server, p.get())) break;
      ++*watched;
      auto line = std::make_shared<std::string>();
      WatchConnection(
          window, p->Fd, kRequestDeadlineMs, [p, line] { return plat::ReadRequest(p.get(), line.get()); },
          [p, line, window, n, watched](bool complete) {
            if (--*watched < kMaxWatched) n->setEnabled(true);
            if (!complete) {
              if (p->Fd >= 0) ::close(p->Fd);
              return;
            }
            plat::AnswerRequest(p->Fd, window->handOver(QString::fromUtf8(line->c_str())));
          });
    }
    // Full: the listener waits until a watched connection ends.
    if (*watched >= kMaxWatched) n->setEnabled(false);
  });
}

// What a second start hands over: a file by its full path (the first
// instance runs elsewhere), or "-p NAME" as given, for the first instance to
// play; nothing asks only to come to the front.
std::string HandOverText(const CmdLine& cmd) {
  if (cmd.HasLoadName) return cmd.Text;
  if (cmd.ImportFile.empty()) return "";
  QFileInfo f(QString::fromUtf8(cmd.ImportFile.c_str()));
  return f.exists() ? f.absoluteFilePath().toUtf8().toStdString() : cmd.ImportFile;
}

int gSmoothFlashing = -1;
// UseDirectDraw was not in the settings: its default waits for the probe.
bool gDirectDrawDefaultPending = false;

// Runs `work` once `window` has painted for the first time, after the paint
// has reached the screen: what the first paint does not need waits for it.
class AfterFirstPaint : public QObject {
 public:
  AfterFirstPaint(QWidget* window, std::function<void()> work)
      : QObject(window), Window(window), Work(std::move(work)) {
    window->installEventFilter(this);
  }
  bool eventFilter(QObject* o, QEvent* e) override {
    if (o == Window && e->type() == QEvent::Paint) {
      Window->removeEventFilter(this);
      // The paint is flushed before the event loop runs the timer.
      QTimer::singleShot(0, Window, Work);
      deleteLater();
    }
    return false;
  }

 private:
  QWidget* Window;
  std::function<void()> Work;
};

// Nothing thrown inside an event's handling ends the program: a failed
// allocation is told as such, anything else opens the internal error report
// with the exception's text, and the program goes on.
class GuardedApplication : public QApplication {
 public:
  using QApplication::QApplication;
  bool notify(QObject* receiver, QEvent* event) override {
    try {
      return QApplication::notify(receiver, event);
    } catch (const std::bad_alloc&) {
      MessageBox::show(nullptr, strid::OutOfMemory);
    } catch (const std::exception& e) {
      CheckFail(TVK_MODULE, __LINE__, e.what(), "exception", 0);
    } catch (...) {
      CheckFail(TVK_MODULE, __LINE__, "unknown exception", "exception", 0);
    }
    return false;
  }
};

}  // namespace

bool SessionEndRequested() { return gSessionEnd != 0; }

void ResolveSmoothFlashingDefault() {
  if (!gDirectDrawDefaultPending) return;
  gDirectDrawDefaultPending = false;
  Cfg.Advanced.UseDirectDraw = SmoothFlashingAvailable() ? 1 : 0;
}

bool SmoothFlashingAvailable() {
  // Asked once a run: the machine's OpenGL does not come and go.
  if (gSmoothFlashing < 0) gSmoothFlashing = ProbeSmoothFlashing() ? 1 : 0;
  return gSmoothFlashing == 1;
}

bool SmoothFlashingKnown() { return gSmoothFlashing == 1; }

void SetSmoothFlashingAvailable(int available) { gSmoothFlashing = available; }

void RestartProgram() {
  char path[4096];
  ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
  if (n <= 0) return;
  path[n] = '\0';
  ::execl(path, path, static_cast<char*>(nullptr));
}

int RunProgram(int argc, char** argv) {
  // Help, the version and unknown options are answered before Qt needs a
  // display, and without a window.
  ArgsCheck asked = CheckArguments(argc, argv);
  if (asked.Verdict == ARGS_HELP) {
    std::fputs(DesktopUsage().c_str(), stdout);
    return 0;
  }
  if (asked.Verdict == ARGS_VERSION) {
    std::printf("sonavel %s\n", PROGRAM_VERSION_TEXT);
    return 0;
  }
  if (asked.Verdict == ARGS_UNKNOWN) {
    std::fprintf(stderr, "sonavel: unknown option '%s'\n%s", asked.Option.c_str(), DesktopUsage().c_str());
    return 2;
  }
  GuardedApplication app(argc, argv);
  // Before any window: what screen readers hear of combo boxes and charts.
  InstallComboAccessible();
  InstallChartAccessible();
  QApplication::setOrganizationName(QStringLiteral("Kelvadi"));
  QApplication::setApplicationName(QStringLiteral("Sonavel"));
  QApplication::setWindowIcon(QIcon(QStringLiteral(":/icons/sonavel.svg")));

  // The command line as one string, after Qt has taken its own options.
  QStringList args = QApplication::arguments();
  std::vector<std::string> keep;
  for (const QString& a : args) keep.push_back(a.toLocal8Bit().toStdString());
  std::vector<const char*> argvKept;
  for (const std::string& a : keep) argvKept.push_back(a.c_str());
  CmdLine cmd = ParseCommandLine(JoinArguments(static_cast<int>(argvKept.size()), argvKept.data()));

  plat::InstanceServer server;
  std::string folder = plat::InstanceFolder();
  bool usable = false;
  bool first = plat::TakeInstanceLock(server, folder, &usable);
  bool another = !first && usable;
  if (another && !cmd.AnotherInstance) {
    plat::HandOverResult r = plat::HandOver(folder, HandOverText(cmd), 2000);
    if (r == plat::HANDOVER_BUSY) MessageBox::show(nullptr, strid::ImportBusy, {cmd.Text});
    if (r == plat::HANDOVER_REFUSED) MessageBox::show(nullptr, strid::ImportDialogOpen, {cmd.Text});
    return 0;
  }

  // Noise and the background timing draw from this generator.
  plat::SeedRandom(static_cast<uint32_t>(std::time(nullptr)));
  // The tables, the reserved ranges, the background libraries next to the
  // program and the store's hooks; the window then starts the audio thread
  // and reads the store in its own order.
  if (int rc = EngineStartup()) {
    MessageBox::show(nullptr, rc);
    EngineShutdown();
    return 1;
  }
  DefaultSettings(Cfg, false);
  {
    // Whether OpenGL can flash the full screen smoothly is asked once the
    // window shows, or when first needed: the probe loads the GL driver and
    // its compiler, most of a start.
    auto store = OpenSettingsStore();
    LoadSettings(Cfg, *store, [] {
      gDirectDrawDefaultPending = true;
      return false;
    });
  }
  SetBuiltIns = Cfg.SetBuiltIns != 0;
  if (Cfg.Advanced.DecommitThreshold >= 1) DecommitThreshold = Cfg.Advanced.DecommitThreshold;
  DynDialog::setHelpHandler([](QWidget* owner, const QString& topic) { HelpWindow::showTopic(owner, topic); });

  StartRequest start;
  start.AnotherInstance = another;
  start.HasLoadName = cmd.HasLoadName;
  start.LoadName = cmd.LoadName;
  if (!another) start.ImportFile = cmd.ImportFile;

  QRect screen =
      QGuiApplication::primaryScreen() ? QGuiApplication::primaryScreen()->availableGeometry() : QRect(0, 0, 1024, 768);
  Placement place = CheckMainPlacement(Cfg.Main, screen.width(), screen.height(), another);
  int rc = 0;
  {
    // The window goes before the engine shuts down.
    MainWindow window(start);
    if (place.X == CW_USEDEFAULT)
      window.resize(place.Width, place.Height);
    else
      window.setGeometry(place.X, place.Y, place.Width, place.Height);
    window.show();

    // Failed checks open the report from now on; a crash of the last run
    // is reported once the window shows.
    InstallErrorReport(&window, [](QWidget* w, int code) { static_cast<MainWindow*>(w)->endProgram(code); });
    std::string crashFolder = CrashFolder();
    std::string crashSummary;
    int crashSignal = 0;
    if (TakeCrashRecord(crashFolder, &crashSummary, &crashSignal))
      QTimer::singleShot(0, &window, [crashSummary, crashSignal] {
        ShowErrorReport(QString::fromUtf8(crashSummary.c_str()), crashSignal);
      });
    InstallCrashHandlers(crashFolder);

    WatchSessionEnd(&window);
    if (first) ServeHandOver(server, &window);

    // The file type is registered for the user, and the OpenGL probe made,
    // once the window has painted, so the start is not held up by them.
    new AfterFirstPaint(&window, [] {
      ResolveSmoothFlashingDefault();
      QFile icon(QStringLiteral(":/icons/sonavel.svg"));
      std::string svg = icon.open(QIODevice::ReadOnly) ? icon.readAll().toStdString() : std::string();
      RegisterFileType(QCoreApplication::applicationFilePath().toStdString(), svg, UserDataHome(), SystemDataDirs());
    });

    rc = app.exec();
    if (window.quitCode()) rc = window.quitCode();
    UninstallErrorReport();
  }
  plat::ReleaseInstance(server);
  EngineShutdown();
  return rc;
}
