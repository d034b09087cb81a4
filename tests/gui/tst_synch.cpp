// Synchronised starts with real processes: the test's own window leads,
// other instances of the program (on the paced fake device) follow; the
// test itself plays a companion program where one is needed. Every
// process notes when its device restarted in one log (SONAVEL_SYNCH_LOG),
// from which the two-phase order is checked: no follower starts before the
// leader.
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>

#include <QDir>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QTimer>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "dialog/MessageBox.h"
#include "dialog/SynchronizeDialog.h"
#include "gui/guitest.h"
#include "platform/instance.h"
#include "synch/synch.h"

namespace {

struct LogLine {
  qint64 Pid;
  QString What;
  int Mode;
  qint64 Ns;
};

class SynchTest : public QObject {
  Q_OBJECT
  QString Install, Log;
  MainWindow* W = nullptr;
  std::unique_ptr<gui::FakeDevice> Dev;
  std::vector<QProcess*> Procs;

  // Another instance of the program: a home of its own, the runtime folder
  // of this test (so the instances find each other), the shared log.
  QProcess* Start(const QStringList& args, const QString& synchAnswer = QString()) {
    QString home = gui::NewFolder("home");
    QSettings s(home + "/config/Kelvadi/Sonavel.conf", QSettings::IniFormat);
    s.setValue("3/Advanced/RunConfigWizard", 0);
    s.setValue("3/Advanced/Device", "fake");
    s.sync();
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("HOME", home);
    e.insert("XDG_CONFIG_HOME", home + "/config");
    e.insert("XDG_DATA_HOME", home + "/data");
    e.insert("SONAVEL_AUTO_ANSWER", "1");
    e.insert("SONAVEL_SYNCH_LOG", Log);
    if (!synchAnswer.isEmpty()) e.insert("SONAVEL_SYNCH_ANSWER", synchAnswer);
    auto* p = new QProcess;
    p->setProcessEnvironment(e);
    p->start(Install + "/sonavel", args);
    p->waitForStarted();
    Procs.push_back(p);
    return p;
  }
  // Waits until the window sees `n` other participants.
  bool WaitParticipants(size_t n) {
    std::string folder = plat::InstanceFolder();
    std::string own = W->synchServer().Path;
    return QTest::qWaitFor([&] { return FindSynchParticipants(folder, own).size() == n; }, 30000);
  }
  QList<LogLine> Lines(const QString& what) const {
    QList<LogLine> out;
    QFile f(Log);
    if (!f.open(QIODevice::ReadOnly)) return out;
    for (const QByteArray& l : f.readAll().split('\n')) {
      QList<QByteArray> w = l.split(' ');
      if (w.size() == 4 && w[1] == what.toUtf8())
        out.append({w[0].toLongLong(), w[1], w[2].toInt(), w[3].toLongLong()});
    }
    return out;
  }
  // When process `pid` restarted its device: 0 not yet, -1 in another mode.
  qint64 RestartNs(qint64 pid, int mode) const {
    for (const LogLine& l : Lines("restart"))
      if (l.Pid == pid) return l.Mode == mode ? l.Ns : -1;
    return 0;
  }
  int Requests(qint64 pid) const {
    int n = 0;
    for (const LogLine& l : Lines("request")) n += l.Pid == pid;
    return n;
  }
  static void Choose(bool synchronised) {
    gui::OnDialog<SynchronizeDialog>([synchronised](SynchronizeDialog* d) {
      QVERIFY(d->justPlay()->isChecked());
      (synchronised ? d->synchPlay() : d->justPlay())->click();
      d->findChild<QPushButton*>("okButton")->click();
    });
  }
  void OpenWindow() {
    plat::FakeWaveConfig c;
    c.Paced = true;
    Dev = std::make_unique<gui::FakeDevice>(c);
    W = gui::OpenMainWindow();
  }

 private Q_SLOTS:
  void initTestCase() {
    // A program folder of its own: each instance keeps its store there.
    Install = gui::NewFolder("install");
    for (const char* f : {"sonavel", "Ambix.dll"})
      QVERIFY(QFile::copy(QStringLiteral(SONAVEL_BIN_DIR "/%1").arg(f), Install + "/" + f));
    Log = gui::TempRoot() + "/synch.log";
    qputenv("SONAVEL_SYNCH_LOG", Log.toUtf8());
  }
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
    QFile::remove(Log);
  }
  void cleanup() {
    gui::CloseMainWindow(W);
    Dev.reset();
    for (QProcess* p : Procs) {
      ::kill(static_cast<pid_t>(p->processId()), SIGCONT);
      p->terminate();
      if (!p->waitForFinished(10000)) p->kill();
      p->waitForFinished(2000);
      delete p;
    }
    Procs.clear();
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void followersStartAfterTheLeader_data() {
    QTest::addColumn<int>("followers");
    QTest::newRow("two processes") << 1;
    QTest::newRow("three processes") << 2;
  }
  void followersStartAfterTheLeader() {
    QFETCH(int, followers);
    std::vector<QProcess*> f;
    for (int i = 0; i < followers; ++i) f.push_back(Start({"-anotherinstance"}));
    OpenWindow();
    QVERIFY(WaitParticipants(static_cast<size_t>(followers)));
    Choose(true);
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    qint64 leader = RestartNs(QCoreApplication::applicationPid(), SYNCH_LEADER);
    QVERIFY(leader > 0);
    for (QProcess* p : f) {
      // Prepared and waiting before the leader went on: each has restarted
      // by now or is just being released.
      QTRY_VERIFY_WITH_TIMEOUT(RestartNs(p->processId(), SYNCH_FOLLOWER) != 0, 5000);
      qint64 t = RestartNs(p->processId(), SYNCH_FOLLOWER);
      QVERIFY2(t >= leader && t - leader < 1000000000LL, qPrintable(QString::number(t - leader)));
      QCOMPARE(Requests(p->processId()), 1);
    }
    QVERIFY(!QFile::exists(QString::fromStdString(plat::InstanceFolder()) + "/TAVIK_SynchGoEvent"));
  }

  void aPlayingParticipantRefuses() {
    // The first instance, playing its preset from the start.
    QProcess* busy = Start({"-p", "BUILTIN: Relaxation 1"});
    QTRY_VERIFY_WITH_TIMEOUT(RestartNs(busy->processId(), SYNCH_NONE) > 0, 30000);
    QProcess* idle = Start({"-anotherinstance"});
    OpenWindow();
    QVERIFY(WaitParticipants(2));
    Choose(true);
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    QTRY_VERIFY_WITH_TIMEOUT(RestartNs(idle->processId(), SYNCH_FOLLOWER) > 0, 5000);
    QString err;
    QTRY_VERIFY_WITH_TIMEOUT((err += QString::fromUtf8(busy->readAllStandardError()))
                                 .contains("This instance of Sonavel is already playing a preset. It will not be "
                                           "synchronized with the current playback."),
                             5000);
    QCOMPARE(Requests(busy->processId()), 1);
    int restarts = 0;
    for (const LogLine& l : Lines("restart")) restarts += l.Pid == busy->processId();
    QCOMPARE(restarts, 1);
  }

  void aSecondLeaderWhileOneIsPendingPlaysAlone() {
    // A companion program of the test's own, which takes the first leader's
    // request but does not answer yet: that leader stays between its two
    // points.
    std::string folder = plat::InstanceFolder();
    SynchServer companion;
    companion.Path = folder + "/a_TAVIK_Synch";
    companion.ListenFd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::snprintf(addr.sun_path, sizeof addr.sun_path, "%s", companion.Path.c_str());
    QCOMPARE(::bind(companion.ListenFd, reinterpret_cast<sockaddr*>(&addr), sizeof addr), 0);
    QCOMPARE(::listen(companion.ListenFd, 8), 0);
    QProcess* first = Start({"-p", "BUILTIN: Relaxation 1"}, "2");
    int request = -1;
    QVERIFY(QTest::qWaitFor([&] { return TakeSynchRequest(companion, &request); }, 30000));

    OpenWindow();
    QVERIFY(WaitParticipants(2));
    Choose(true);
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    QVERIFY(
        MessageBox::shownTexts().contains("Another instance of Sonavel is trying to synchronize at the same time, "
                                          "or previous synchronization failed. Synchronization cannot be "
                                          "completed."));
    QVERIFY(RestartNs(QCoreApplication::applicationPid(), SYNCH_LEADER) > 0);
    // It asked nobody: neither the pending leader nor the companion.
    QCOMPARE(Requests(first->processId()), 0);
    int more = -1;
    QVERIFY(!TakeSynchRequest(companion, &more));

    // The companion answers as the protocol asks, and the first leader
    // starts and releases it.
    std::atomic<qint64> released{0};
    GoEvent go;
    QVERIFY(OpenGoEvent(folder, &go));
    AnswerSynchRequest(request, 0);
    std::thread wait([&] {
      WaitGoEvent(&go);
      timespec t;
      ::clock_gettime(CLOCK_MONOTONIC, &t);
      released = qint64(t.tv_sec) * 1000000000 + t.tv_nsec;
    });
    bool done = QTest::qWaitFor([&] { return released.load() != 0; }, 30000);
    if (!done) first->kill();
    wait.join();
    QVERIFY(done);
    qint64 firstRestart = RestartNs(first->processId(), SYNCH_LEADER);
    QVERIFY(firstRestart > 0 && firstRestart <= released);
    ::close(companion.ListenFd);
    ::unlink(companion.Path.c_str());
  }

  void justStartPlayingSendsNothing() {
    QProcess* other = Start({"-anotherinstance"});
    OpenWindow();
    QVERIFY(WaitParticipants(1));
    // Cancel does not play.
    gui::OnDialog<SynchronizeDialog>([](SynchronizeDialog* d) { d->reject(); });
    W->actions().Play->trigger();
    QVERIFY(!W->playing());
    Choose(false);
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    QCOMPARE(RestartNs(QCoreApplication::applicationPid(), SYNCH_NONE) > 0, true);
    QTest::qWait(300);
    QCOMPARE(Requests(other->processId()), 0);
    QCOMPARE(RestartNs(other->processId(), SYNCH_NONE), 0);
  }

  void noQuestionWithoutParticipants() {
    OpenWindow();
    // What an ended instance and an unrelated program leave behind.
    QString folder = QString::fromStdString(plat::InstanceFolder());
    QFile(folder + "/TAVIK.999999999").open(QIODevice::WriteOnly);
    QFile(folder + "/x_TAVIK_Synch").open(QIODevice::WriteOnly);
    auto asked = std::make_shared<bool>(false);
    QTimer::singleShot(3000, W, [asked] {
      if (QWidget* m = QApplication::activeModalWidget()) {
        *asked = true;
        m->close();
      }
    });
    W->actions().Play->trigger();
    QVERIFY(!*asked);
    QVERIFY(W->playing());
    QFile::remove(folder + "/TAVIK.999999999");
    QFile::remove(folder + "/x_TAVIK_Synch");
  }
};

}  // namespace

GUI_TEST(SynchTest);
#include "tst_synch.moc"
