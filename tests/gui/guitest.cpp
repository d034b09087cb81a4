// Test support and the test program's main: runs the test classes named on
// the command line, one after another in one application, on the offscreen
// platform, with HOME and the XDG folders in a private temporary folder.
#include "gui/guitest.h"

#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "assert/check.h"
#include "chart/ChartAccessible.h"
#include "dialog/FileDialog.h"
#include "dialog/MessageBox.h"
#include "dlggen/Accessible.h"
#include "engine/startup.h"
#include "file/store.h"
#include "main/presetedit.h"
#include "platform/numfmt.h"
#include "reg/settings.h"

namespace gui {

namespace {

QTemporaryDir* gRoot = nullptr;
int gFolders = 0;
std::mutex gCheckLock;
QStringList gChecks;

std::map<std::string, QObject* (*)()>& Registry() {
  static std::map<std::string, QObject* (*)()> r;
  return r;
}

void RecordCheck(const CheckFailure& f) {
  char buf[512];
  FormatCheckSummary(f, buf, sizeof buf);
  std::lock_guard<std::mutex> lock(gCheckLock);
  gChecks << QString::fromUtf8(buf);
}

}  // namespace

QString TempRoot() { return gRoot->path(); }

QString NewFolder(const QString& name) {
  QString path = QStringLiteral("%1/%2_%3").arg(TempRoot(), name).arg(++gFolders);
  QDir().mkpath(path);
  return path;
}

QString FreshStore() {
  QString dir = NewFolder(QStringLiteral("store"));
  UnloadAllPresets();
  SetStoreDir(dir.toStdString());
  DefaultSettings(Cfg, false);
  Cfg.Advanced.RunConfigWizard = 0;
  // Tests that check the sound from its first sample, or a desktop's
  // screen saver, turn these on themselves.
  Cfg.Listening.SoftStartStop = 0;
  Cfg.Listening.KeepAwake = 0;
  MessageBox::clearShown();
  FileDialog::clearNextFileNames();
  return dir;
}

QString AlsaCaptureFile() {
  static const QString raw = [] {
    QString path = TempRoot() + "/alsa.raw";
    QFile rc(QDir::homePath() + "/.asoundrc");
    if (!rc.open(QIODevice::WriteOnly)) qFatal("cannot write %s", qPrintable(rc.fileName()));
    rc.write(QStringLiteral("pcm.sonavel_capture {\n  type file\n  slave { pcm { type null } }\n  file \"%1\"\n"
                            "  format raw\n}\n")
                 .arg(path)
                 .toUtf8());
    return path;
  }();
  return raw;
}

MainWindow* OpenMainWindow(const StartRequest& start) {
  auto* w = new MainWindow(start);
  w->resize(528, 150);
  w->show();
  if (!QTest::qWaitForWindowExposed(w)) qWarning("main window not exposed");
  if (!QTest::qWaitFor([w] { return w->listReady(); }, 5000)) qWarning("the preset list was not filled");
  return w;
}

void CloseMainWindow(MainWindow*& w) {
  if (!w) return;
  if (w->playing()) {
    w->close();
    if (!QTest::qWaitFor([w] { return !w->playing(); }, 10000)) qWarning("playback did not stop");
  }
  delete w;
  w = nullptr;
}

void OnModal(std::function<void(QWidget*)> action) {
  auto* timer = new QTimer;
  timer->setInterval(10);
  QObject::connect(timer, &QTimer::timeout, [timer, action] {
    QWidget* m = QApplication::activeModalWidget();
    if (!m || !m->isVisible()) return;
    timer->stop();
    timer->deleteLater();
    action(m);
    // A failed check inside the action must not leave the dialog waiting.
    if (QTest::currentTestFailed())
      while (QWidget* open = QApplication::activeModalWidget()) {
        open->close();
        if (auto* d = qobject_cast<QDialog*>(open)) d->reject();
        if (QApplication::activeModalWidget() == open) break;
      }
  });
  timer->start();
}

QStringList TakeCheckFailures() {
  std::lock_guard<std::mutex> lock(gCheckLock);
  QStringList c = gChecks;
  gChecks.clear();
  return c;
}

FakeDevice::FakeDevice(const plat::FakeWaveConfig& config) : Fake(plat::CreateFakeWave(config)) {
  Target.Fake = Fake;
  MainWindow::setWaveTarget(&Target);
}

FakeDevice::~FakeDevice() {
  MainWindow::setWaveTarget(nullptr);
  plat::DestroyFakeWave(Fake);
}

void RegisterTest(const char* name, QObject* (*make)()) { Registry()[name] = make; }

bool InPresetOptions(QAction* command, std::function<void(PresetOptionsDialog*)> f) {
  bool ran = false;
  OnDialog<PresetOptionsDialog>([&](PresetOptionsDialog* d) {
    ran = true;
    QVERIFY(QTest::qWaitForWindowActive(d));
    f(d);
    if (d->isVisible()) static_cast<QDialog*>(d)->done(EDITOR_CANCELLED);
  });
  command->trigger();
  return ran;
}

}  // namespace gui

namespace {

// The classes named first, then the Qt Test options for each of them: after
// a "--", or from the first argument that names no class.
bool ParseClasses(int argc, char** argv, std::vector<std::string>& classes, std::vector<char*>& options) {
  int sep = 1;
  while (sep < argc && std::strcmp(argv[sep], "--") != 0) ++sep;
  int i = 1;
  for (; i < argc && i != sep; ++i) {
    if (!gui::Registry().count(argv[i])) {
      if (sep < argc) return false;  // before a "--", every name must be a class
      break;
    }
    classes.push_back(argv[i]);
  }
  if (i == sep && sep < argc) ++i;
  options.assign(argv + i, argv + argc);
  return !classes.empty();
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<std::string> classes;
  std::vector<char*> options;
  if (!ParseClasses(argc, argv, classes, options)) {
    std::fprintf(stderr, "usage: test_gui CLASS... [--] [Qt Test options]; classes:");
    for (auto& [name, make] : gui::Registry()) std::fprintf(stderr, " %s", name.c_str());
    std::fprintf(stderr, "\n");
    return 2;
  }
  // Everything the program writes for a user goes into a private home.
  gui::gRoot = new QTemporaryDir;
  QByteArray root = gui::gRoot->path().toUtf8();
  for (const char* v : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_RUNTIME_DIR"}) {
    QByteArray dir = root + "/" + v;
    QDir().mkpath(QString::fromUtf8(dir));
    ::setenv(v, dir.constData(), 1);
  }
  ::chmod((root + "/XDG_RUNTIME_DIR").constData(), 0700);
  ::setenv("HOME", root.constData(), 1);
  // No test reaches the desktop's own buses: the one that tests the program
  // on a bus runs on a private one (dbus-run-session), which also stands in
  // for the system bus; the others find none.
  bool bus = std::find(classes.begin(), classes.end(), "SessionBusTest") != classes.end();
  if (bus && std::getenv("DBUS_SESSION_BUS_ADDRESS")) {
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", std::getenv("DBUS_SESSION_BUS_ADDRESS"), 1);
  } else {
    QByteArray none = "unix:path=" + root + "/no-bus";
    ::setenv("DBUS_SESSION_BUS_ADDRESS", none.constData(), 1);
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", none.constData(), 1);
  }
  if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  QApplication app(argc, argv);
  // Without the application's own options (-platform, -style, ...), which it
  // took out of argv.
  classes.clear();
  options.clear();
  ParseClasses(argc, argv, classes, options);
  InstallComboAccessible();
  InstallChartAccessible();
  SetCheckReporter(gui::RecordCheck);
  // The background libraries next to the test program (the build's bin
  // folder), as the program finds its own.
  if (EngineStartup() != 0) return 1;
  // Numbers as an English-speaking user sees them, whatever the machine's
  // locale.
  plat::NumberSettings en;
  plat::GetNumberSettings(&en);
  std::strcpy(en.DecimalSep, ".");
  std::strcpy(en.ThousandSep, ",");
  en.Grouping = 3;
  plat::SetNumberSettings(en);
  // The classes run one after another in this application; each prints its
  // own results, and the run fails when any of them failed.
  int failed = 0;
  std::string failedNames;
  for (const std::string& name : classes) {
    // Each class starts as it would alone, whatever the one before left.
    MessageBox::setAutoAnswer(true);
    QObject* test = gui::Registry()[name]();
    std::vector<char*> args{argv[0]};
    args.insert(args.end(), options.begin(), options.end());
    int rc = QTest::qExec(test, static_cast<int>(args.size()), args.data());
    delete test;
    // Internal errors that no check of the class took fail it here, rather
    // than the next class that looks.
    const QStringList left = gui::TakeCheckFailures();
    for (const QString& c : left)
      std::fprintf(stderr, "test_gui: %s left an internal error: %s\n", name.c_str(), qPrintable(c));
    if (!left.isEmpty() && rc == 0) rc = 1;
    if (rc != 0) failedNames += " " + name;
    failed = std::min(failed + rc, 127);
  }
  if (classes.size() > 1 && failed) std::fprintf(stderr, "test_gui: classes that failed:%s\n", failedNames.c_str());
  EngineShutdown();
  delete gui::gRoot;
  return failed;
}
