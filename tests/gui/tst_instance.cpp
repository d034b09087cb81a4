// Two real processes of the program: a second start hands its file to the
// first and exits 0 without a window; it is refused (1312) while the first
// shows a dialog, and gives up (1310) on a first instance that does not
// answer. The end of the session closes the program as its close box does.
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QSettings>
#include <vector>

#include "gui/guitest.h"

namespace {

// A program folder of its own, so the processes keep their store there.
struct Install {
  QString Dir, Home;
  Install() {
    Dir = gui::NewFolder("install");
    Home = gui::NewFolder("home");
    for (const char* f : {"sonavel", "sonavel-cli", "Ambix.dll"})
      QFile::copy(QStringLiteral(SONAVEL_BIN_DIR "/%1").arg(f), Dir + "/" + f);
    QDir().mkpath(Home + "/run");
    QFile::setPermissions(Home + "/run", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    // A first start would open the configuration wizard, and a hand-over
    // is refused while a dialog is open.
    QSettings s(Home + "/config/Kelvadi/Sonavel.conf", QSettings::IniFormat);
    s.setValue("3/Advanced/RunConfigWizard", 0);
  }
  QProcessEnvironment Env(bool autoAnswer) const {
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("QT_QPA_PLATFORM", "offscreen");
    e.insert("HOME", Home);
    e.insert("XDG_CONFIG_HOME", Home + "/config");
    e.insert("XDG_DATA_HOME", Home + "/data");
    e.insert("XDG_RUNTIME_DIR", Home + "/run");
    if (autoAnswer)
      e.insert("SONAVEL_AUTO_ANSWER", "1");
    else
      e.remove("SONAVEL_AUTO_ANSWER");
    return e;
  }
  QProcess* Start(const QStringList& args, bool autoAnswer = true) const {
    auto* p = new QProcess;
    p->setProcessEnvironment(Env(autoAnswer));
    p->start(Dir + "/sonavel", args);
    p->waitForStarted();
    return p;
  }
  // Runs a second start to its end; its standard error.
  QString RunSecond(const QStringList& args, int* exitCode, qint64* ms) const {
    QElapsedTimer t;
    t.start();
    QProcess* p = Start(args);
    p->waitForFinished(20000);
    *ms = t.elapsed();
    *exitCode = p->exitStatus() == QProcess::NormalExit ? p->exitCode() : -1;
    QString err = QString::fromUtf8(p->readAllStandardError());
    delete p;
    return err;
  }
  // Waits until the first instance has filled its list (its store exists
  // and a request is taken).
  void WaitReady(QProcess* first, const QString& file) const {
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(Dir + "/Presets.tvk"), 20000);
    (void)first;
    (void)file;
  }
};

// Whether the process catches SIGTERM yet (its window is up): before that a
// SIGTERM ends it as the default action does, which a slow start on a busy
// machine can outlast a fixed wait.
bool CatchesTerm(const QProcess* p) {
  QFile f(QStringLiteral("/proc/%1/status").arg(p->processId()));
  if (!f.open(QIODevice::ReadOnly)) return false;
  for (const QByteArray& line : f.readAll().split('\n'))
    if (line.startsWith("SigCgt:")) return (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGTERM - 1)) & 1;
  return false;
}

// Ends an instance as a session end does; true when it exited by itself.
bool End(QProcess* p) {
  if (!p) return true;
  ::kill(static_cast<pid_t>(p->processId()), SIGCONT);
  p->terminate();
  bool ended = p->waitForFinished(10000);
  delete p;
  return ended;
}

// A preset file to hand over.
QString MakePresetFile(const Install& in) {
  QString file = in.Home + "/gift.tvk";
  QProcess cli;
  cli.start(in.Dir + "/sonavel-cli", {"new", "-o", file});
  cli.waitForFinished(20000);
  return file;
}

}  // namespace

class Instance : public QObject {
  Q_OBJECT
 private Q_SLOTS:
  void secondStartHandsItsFileOver() {
    Install in;
    QString file = MakePresetFile(in);
    QVERIFY(QFile::exists(file));
    QProcess* first = in.Start({});
    in.WaitReady(first, file);
    QString firstErr;
    int code = -1;
    qint64 ms = 0;
    // The first instance may still be filling its list: it refuses until
    // then, and the second start would say so.
    QString err;
    for (int i = 0; i < 50; ++i) {
      err = in.RunSecond({file}, &code, &ms);
      if (!err.contains("Please close any dialogs")) break;
      QTest::qWait(100);
    }
    QCOMPARE(code, 0);
    QCOMPARE(err, QString());  // no message, no window: it just hands over
    QTRY_VERIFY_WITH_TIMEOUT(
        (firstErr += QString::fromUtf8(first->readAllStandardError())).contains("1 preset was successfully imported."),
        10000);
    // The first instance closes on SIGTERM as through its close box, with
    // its settings written.
    first->terminate();
    QVERIFY(first->waitForFinished(10000));
    QCOMPARE(first->exitCode(), 0);
    QVERIFY(QFile::exists(in.Home + "/config/Kelvadi/Sonavel.conf"));
    delete first;
  }

  void refusedWhileTheFirstShowsADialog() {
    Install in;
    QString file = MakePresetFile(in);
    // Its message box (1447) stays open: nobody answers it.
    QProcess* first = in.Start({"-p", "No such preset"}, false);
    in.WaitReady(first, file);
    QTest::qWait(300);
    int code = -1;
    qint64 ms = 0;
    QString err = in.RunSecond({file}, &code, &ms);
    QCOMPARE(code, 0);
    QVERIFY2(
        err.contains("Unable to import file '" + file + "'.\n\nPlease close any dialogs in Sonavel and try again."),
        qPrintable(err));
    End(first);
  }

  void hungFirstInstanceIsGivenUpAfterTwoSeconds() {
    Install in;
    QString file = MakePresetFile(in);
    QProcess* first = in.Start({});
    in.WaitReady(first, file);
    QTest::qWait(300);
    ::kill(static_cast<pid_t>(first->processId()), SIGSTOP);
    int code = -1;
    qint64 ms = 0;
    QString err = in.RunSecond({file}, &code, &ms);
    QCOMPARE(code, 0);
    QVERIFY2(err.contains("Sonavel is currently busy."), qPrintable(err));
    QVERIFY(ms >= 2000);
    // Woken, it takes the late file and then the session end: an import
    // under way when the end came once left the window open for good.
    QVERIFY(End(first));
  }

  // Each silent connection to the hand-over socket once held the first
  // instance 500 ms, one after another, and the second start gave up.
  void silentConnectionsDoNotKeepASecondStartWaiting() {
    Install in;
    QString file = MakePresetFile(in);
    QProcess* first = in.Start({});
    in.WaitReady(first, file);
    std::string sock = (in.Home + "/run/sonavel/instance.sock").toStdString();
    sockaddr_un a{};
    a.sun_family = AF_UNIX;
    std::snprintf(a.sun_path, sizeof a.sun_path, "%s", sock.c_str());
    std::vector<int> silent;
    for (int i = 0; i < 20; ++i) {
      int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
      if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0)
        silent.push_back(fd);
      else
        ::close(fd);
      QTest::qWait(5);
    }
    QVERIFY(silent.size() >= 15);
    int code = -1;
    qint64 ms = 0;
    QString err;
    for (int i = 0; i < 50; ++i) {
      err = in.RunSecond({file}, &code, &ms);
      if (!err.contains("Please close any dialogs")) break;
      QTest::qWait(100);
    }
    QCOMPARE(code, 0);
    QCOMPARE(err, QString());
    for (int fd : silent) ::close(fd);
    End(first);
  }

  // Started to play a preset whose background it cannot play (a FIFO, a
  // file at 1 Hz), it tells why and runs on; one it once died on (a FLAC
  // written through a pipe) plays.
  void startsWithABackgroundItCannotPlay_data() {
    QTest::addColumn<QString>("background");
    QTest::addColumn<QString>("says");
    QTest::newRow("FIFO") << "fifo"
                          << "Unable to open the background file";
    QTest::newRow("1 Hz") << "onehz.wav"
                          << "has too few samples per second to be played";
    QTest::newRow("streamed FLAC") << "streamed.flac"
                                   << "";
  }
  void startsWithABackgroundItCannotPlay() {
    QFETCH(QString, background);
    QFETCH(QString, says);
    Install in;
    QSettings(in.Home + "/config/Kelvadi/Sonavel.conf", QSettings::IniFormat).setValue("3/Advanced/Device", "fake");
    const QString bg = in.Home + "/" + background;
    QCOMPARE(::mkfifo((in.Home + "/fifo").toUtf8().constData(), 0600), 0);
    QCOMPARE(QProcess::execute("sh", {"-c",
                                      "sox -D -n -r 44100 -c 2 -b 16 -t flac - synth 1 sine 440 2>/dev/null | "
                                      "cat > '" +
                                          in.Home + "/streamed.flac'"}),
             0);
    // 20000 frames at 1 Hz, mono 16-bit.
    QFile onehz(in.Home + "/onehz.wav");
    QVERIFY(onehz.open(QIODevice::WriteOnly));
    QByteArray wav(
        "RIFF\x64\x9c\x00\x00WAVEfmt \x10\x00\x00\x00\x01\x00\x01\x00\x01\x00\x00\x00\x02\x00\x00\x00"
        "\x02\x00\x10\x00"
        "data"
        "\x40\x9c\x00\x00",
        44);
    wav.append(QByteArray(40000, '\x11'));
    onehz.write(wav);
    onehz.close();
    QFile json(in.Home + "/bg.json");
    QVERIFY(json.open(QIODevice::WriteOnly));
    json.write(
        QStringLiteral(R"({"Name": "With background", "Background": 1026, "BackgroundFile": "%1"})").arg(bg).toUtf8());
    json.close();
    QCOMPARE(QProcess::execute(in.Dir + "/sonavel-cli", {"store", "--dir", in.Dir, "add", json.fileName()}), 0);
    QString log = in.Home + "/synch.log";
    qputenv("SONAVEL_SYNCH_LOG", log.toUtf8());
    QProcess* first = in.Start({"-p", "With background"});
    qunsetenv("SONAVEL_SYNCH_LOG");
    QString err;
    if (says.isEmpty()) {
      // Its device restarted: it plays.
      QTRY_VERIFY_WITH_TIMEOUT(QFile(log).exists() && QFile(log).size() > 0, 30000);
    } else {
      QTRY_VERIFY_WITH_TIMEOUT((err += QString::fromUtf8(first->readAllStandardError())).contains(says), 30000);
    }
    QVERIFY2(!first->waitForFinished(1000), qPrintable(err));  // it runs on
    first->terminate();
    QVERIFY(first->waitForFinished(10000));
    QCOMPARE(first->exitStatus(), QProcess::NormalExit);
    QCOMPARE(first->exitCode(), 0);
    delete first;
  }

  // "-p NAME" handed to the first instance: it selects the preset and plays
  // it (its device restarts, as the log says), and stays open.
  void secondStartHandsAPresetToPlay() {
    Install in;
    {
      QSettings s(in.Home + "/config/Kelvadi/Sonavel.conf", QSettings::IniFormat);
      s.setValue("3/Advanced/Device", "fake");
    }
    const QString log = in.Home + "/synch.log";
    QProcessEnvironment e = in.Env(true);
    e.insert("SONAVEL_SYNCH_LOG", log);
    auto* first = new QProcess;
    first->setProcessEnvironment(e);
    first->start(in.Dir + "/sonavel", {});
    QVERIFY(first->waitForStarted());
    in.WaitReady(first, QString());
    QString err;
    int code = -1;
    qint64 ms = 0;
    for (int i = 0; i < 50; ++i) {
      err = in.RunSecond({"-p", "BUILTIN: Relaxation 2"}, &code, &ms);
      if (!err.contains("Please close any dialogs")) break;
      QTest::qWait(100);
    }
    QCOMPARE(code, 0);
    QCOMPARE(err, QString());
    const QByteArray restart = QByteArray::number(first->processId()) + " restart";
    auto played = [&] {
      QFile f(log);
      return f.open(QIODevice::ReadOnly) && f.readAll().contains(restart);
    };
    QTRY_VERIFY_WITH_TIMEOUT(played(), 20000);
    QVERIFY(!first->waitForFinished(500));  // it keeps its window
    End(first);
  }

  // Help, the version and unknown options are answered without a display
  // and without a window.
  void helpAndVersionNeedNoDisplay() {
    Install in;
    const struct {
      const char* Arg;
      int Code;
      const char* Out;
      const char* Err;
    } cases[] = {
        {"--help", 0, "Usage: sonavel [-p NAME | FILE.tvk | -anotherinstance]\n", ""},
        {"--version", 0, "sonavel 3.1.12\n", ""},
        {"--bogus", 2, "", "sonavel: unknown option '--bogus'\nUsage: sonavel"},
    };
    for (const auto& c : cases) {
      QProcess p;
      QProcessEnvironment e = in.Env(false);
      for (const char* v : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"}) e.remove(v);
      p.setProcessEnvironment(e);
      p.start(in.Dir + "/sonavel", {c.Arg});
      QVERIFY(p.waitForFinished(20000));
      QCOMPARE(p.exitStatus(), QProcess::NormalExit);
      QCOMPARE(p.exitCode(), c.Code);
      const QString out = QString::fromUtf8(p.readAllStandardOutput());
      const QString err = QString::fromUtf8(p.readAllStandardError());
      QVERIFY2(QString(c.Out).isEmpty() ? out.isEmpty() : out.startsWith(c.Out), qPrintable(out));
      QVERIFY2(QString(c.Err).isEmpty() ? err.isEmpty() : err.startsWith(c.Err), qPrintable(err));
    }
  }

  void anotherInstanceRunsBesideTheFirst() {
    Install in;
    QProcess* first = in.Start({});
    in.WaitReady(first, QString());
    QProcess* second = in.Start({"-anotherinstance"});
    QTRY_VERIFY_WITH_TIMEOUT(CatchesTerm(second) || second->state() != QProcess::Running, 20000);
    QVERIFY(!second->waitForFinished(1500));  // it stays, with its window
    second->terminate();
    QVERIFY(second->waitForFinished(10000));
    QCOMPARE(second->exitCode(), 0);
    delete second;
    End(first);
  }
};

GUI_TEST(Instance);
#include "tst_instance.moc"
