// The program on a desktop's session bus, here a private one
// (dbus-run-session), which also stands in for the system bus: the media
// player interface called as a desktop calls it, with the device following
// and the changes signalled; and keeping the computer awake against fake
// services that record what they are asked, including the release when the
// program is killed.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCall>
#include <QDBusServiceWatcher>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QSettings>
#include <memory>

#include "data/synthesis/state.h"
#include "gui/guitest.h"
#include "main/model.h"
#include "main/preset.h"
#include "mwnd/DesktopLink.h"
#include "mwnd/PresetCombo.h"
#include "reg/settings.h"
#include "sessionbus/KeepAwake.h"
#include "sessionbus/MediaPlayer.h"
#include "sessionbus/note.h"

namespace {

const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

bool HaveBus() { return QDBusConnection::sessionBus().isConnected(); }

// --- Fake services, on a connection of their own -------------------------------------

// What the fakes were asked, in order: "inhibit <flags|who>", "release <id>",
// "gone <id>" (the caller's connection closed while holding it).
QStringList gLog;

class FakeRequest : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Request")
 public:
  explicit FakeRequest(QObject* parent) : QObject(parent) {}
 public Q_SLOTS:
  void Close() { gLog << "release " + objectName(); }
};

class FakePortal : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.portal.Inhibit")
 public:
  QDBusConnection Bus;
  int Next = 0;
  explicit FakePortal(const QDBusConnection& bus) : Bus(bus) {}
 public Q_SLOTS:
  QDBusObjectPath Inhibit(const QString&, uint flags, const QVariantMap& options) {
    QString path = QStringLiteral("/org/freedesktop/portal/desktop/request/%1").arg(++Next);
    auto* r = new FakeRequest(this);
    r->setObjectName(path);
    Bus.registerObject(path, r, QDBusConnection::ExportAllSlots);
    gLog << QStringLiteral("inhibit %1 %2").arg(flags).arg(options.value("reason").toString());
    return QDBusObjectPath(path);
  }
};

class FakeScreenSaver : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.ScreenSaver")
 public:
  uint Next = 40;
  QDBusConnection Bus;
  QDBusServiceWatcher Watcher;
  explicit FakeScreenSaver(const QDBusConnection& bus)
      : Bus(bus), Watcher(QString(), bus, QDBusServiceWatcher::WatchForUnregistration) {
    connect(&Watcher, &QDBusServiceWatcher::serviceUnregistered, this,
            [](const QString& name) { gLog << "gone " + name; });
  }
 public Q_SLOTS:
  uint Inhibit(const QString& who, const QString&, const QDBusMessage& m) {
    Watcher.addWatchedService(m.service());  // as the real ones do
    gLog << "inhibit " + who;
    return ++Next;
  }
  void UnInhibit(uint cookie) { gLog << QStringLiteral("release %1").arg(cookie); }
};

// logind: the inhibition is the write end of a pipe; its read end sees the
// hang-up once every copy is closed.
class FakeLogind : public QObject {
  Q_OBJECT
  Q_CLASSINFO("D-Bus Interface", "org.freedesktop.login1.Manager")
 public:
  int ReadEnd = -1;
  ~FakeLogind() override {
    if (ReadEnd >= 0) ::close(ReadEnd);
  }
  bool HungUp() const {
    pollfd p{ReadEnd, POLLIN, 0};
    return ReadEnd >= 0 && ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP);
  }
 public Q_SLOTS:
  QDBusUnixFileDescriptor Inhibit(const QString& what, const QString& who, const QString&, const QString& mode) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return {};
    if (ReadEnd >= 0) ::close(ReadEnd);
    ReadEnd = fds[0];
    QDBusUnixFileDescriptor d(fds[1]);  // a copy goes out
    ::close(fds[1]);
    gLog << QStringLiteral("inhibit %1 %2 %3").arg(what, who, mode);
    return d;
  }
};

// The fakes that are there for a test, on their own connection.
struct Fakes {
  QDBusConnection Bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "fakes");
  std::unique_ptr<FakePortal> Portal;
  std::unique_ptr<FakeScreenSaver> Saver;
  std::unique_ptr<FakeLogind> Logind;
  explicit Fakes(bool portal, bool fallback) {
    gLog.clear();
    if (portal) {
      Portal = std::make_unique<FakePortal>(Bus);
      Bus.registerObject("/org/freedesktop/portal/desktop", Portal.get(), QDBusConnection::ExportAllSlots);
      Bus.registerService("org.freedesktop.portal.Desktop");
    }
    if (fallback) {
      Saver = std::make_unique<FakeScreenSaver>(Bus);
      Bus.registerObject("/org/freedesktop/ScreenSaver", Saver.get(), QDBusConnection::ExportAllSlots);
      Bus.registerService("org.freedesktop.ScreenSaver");
      Logind = std::make_unique<FakeLogind>();
      Bus.registerObject("/org/freedesktop/login1", Logind.get(), QDBusConnection::ExportAllSlots);
      Bus.registerService("org.freedesktop.login1");
    }
  }
  ~Fakes() { QDBusConnection::disconnectFromBus("fakes"); }
};

// --- A desktop's side: calls and signals --------------------------------------------

class SignalLog : public QObject {
  Q_OBJECT
 public:
  QList<QVariantMap> Changes;
 public Q_SLOTS:
  void changed(const QString& iface, const QVariantMap& props, const QStringList&) {
    if (iface == kPlayer) Changes << props;
  }
};

struct Desktop {
  QDBusConnection Bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "desktop");
  QString Service = QStringLiteral("org.mpris.MediaPlayer2.sonavel");
  SignalLog Log;
  Desktop() {
    Bus.connect(Service, kPath, "org.freedesktop.DBus.Properties", "PropertiesChanged", &Log,
                SLOT(changed(QString, QVariantMap, QStringList)));
  }
  ~Desktop() { QDBusConnection::disconnectFromBus("desktop"); }
  // Asynchronous, as the program answers from this thread's loop.
  QDBusMessage Call(const QString& iface, const QString& method, const QVariantList& args = {}) {
    QDBusMessage m = QDBusMessage::createMethodCall(Service, kPath, iface, method);
    m.setArguments(args);
    QDBusPendingCall p = Bus.asyncCall(m, 5000);
    if (!QTest::qWaitFor([&] { return p.isFinished(); }, 6000)) qWarning("no answer");
    return p.reply();
  }
  QVariant Get(const QString& iface, const QString& prop) {
    QDBusMessage r = Call("org.freedesktop.DBus.Properties", "Get", {iface, prop});
    if (r.type() != QDBusMessage::ReplyMessage || r.arguments().isEmpty()) return {};
    return r.arguments()[0].value<QDBusVariant>().variant();
  }
  QString Status() { return Get(kPlayer, "PlaybackStatus").toString(); }
  QVariantMap Metadata() { return qdbus_cast<QVariantMap>(Get(kPlayer, "Metadata").value<QDBusArgument>()); }
  // Whether a changed-properties signal has said `prop` = `value`.
  bool Said(const QString& prop, const QVariant& value) const {
    for (const QVariantMap& m : Log.Changes)
      if (m.contains(prop) && m.value(prop) == value) return true;
    return false;
  }
};

template <class F>
bool AdvanceUntil(plat::FakeWave* fake, F done, gui::FakeClock* clock = nullptr, int maxSteps = 400) {
  for (int i = 0; i < maxSteps; ++i) {
    if (done()) return true;
    if (clock) clock->Now += 50;
    plat::FakeAdvance(fake, 2205);
    QTest::qWait(5);
  }
  return done();
}

// A control for a service without a window.
struct StubControl : PlayerControl {
  PlayerState playerState() const override { return {}; }
  qint64 playerPositionUs() const override { return 0; }
  void playerCommand(Command) override {}
};

QString NameAt(MainWindow* w, int pos) { return w->presetList()->itemText(pos).trimmed(); }

}  // namespace

class SessionBusTest : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;
  std::unique_ptr<gui::FakeDevice> Dev;

  void OpenPlaying(bool keepAwake) {
    Dev = std::make_unique<gui::FakeDevice>();
    Cfg.Listening.KeepAwake = keepAwake;
    W = gui::OpenMainWindow();
    QTRY_VERIFY(W->desktopLink() && W->desktopLink()->mediaPlayer()->registered());
  }

 private Q_SLOTS:
  void initTestCase() {
    if (!HaveBus()) QSKIP("needs a session bus of its own: the test command runs it under dbus-run-session");
  }
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
  }
  void cleanup() {
    gui::CloseMainWindow(W);
    Dev.reset();
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  void desktopControlsThePlaybackAndHearsOfEachChange() {
    OpenPlaying(false);
    Desktop d;
    QCOMPARE(d.Get("org.mpris.MediaPlayer2", "Identity").toString(), QString("Sonavel"));
    QCOMPARE(d.Get("org.mpris.MediaPlayer2", "DesktopEntry").toString(), QString("sonavel"));
    QCOMPARE(d.Status(), QString("Stopped"));
    int pos = W->presetList()->currentIndex();
    QVariantMap m = d.Metadata();
    QCOMPARE(m.value("xesam:title").toString(), NameAt(W, pos));
    QCOMPARE(m.value("mpris:length").toLongLong(), qlonglong(PresetLength(Program[SelProgram])) * 600000);

    d.Call(kPlayer, "Play");
    QVERIFY(AdvanceUntil(Dev->Fake, [&] { return W->statusText()->text().startsWith("Time"); }));
    QCOMPARE(d.Status(), QString("Playing"));
    QTRY_VERIFY(d.Said("PlaybackStatus", "Playing"));
    // Pause holds the parameters (a freeze); Play goes on.
    d.Call(kPlayer, "Pause");
    QVERIFY(AdvanceUntil(Dev->Fake, [&] { return W->statusText()->text().startsWith("(Parameters frozen)"); }));
    QCOMPARE(d.Status(), QString("Paused"));
    QTRY_VERIFY(d.Said("PlaybackStatus", "Paused"));
    d.Call(kPlayer, "PlayPause");
    QVERIFY(AdvanceUntil(Dev->Fake, [&] { return W->statusText()->text().startsWith("Time"); }));
    QCOMPARE(W->freezeState(), 0);

    // Next plays the next preset of the list.
    d.Call(kPlayer, "Next");
    QVERIFY(AdvanceUntil(Dev->Fake, [&] { return W->playing() && W->presetList()->currentIndex() == pos + 1; }));
    QTRY_COMPARE(d.Metadata().value("xesam:title").toString(), NameAt(W, pos + 1));
    QVERIFY(AdvanceUntil(Dev->Fake, [&] { return W->statusText()->text().startsWith("Time"); }));

    // Wrong arguments and calls the player has no use for are answered with
    // errors, and change nothing.
    QCOMPARE(d.Call(kPlayer, "Seek", {QString("far")}).type(), QDBusMessage::ErrorMessage);
    QCOMPARE(d.Call(kPlayer, "OpenUri", {QString("file:///x.wav")}).errorName(),
             QString("org.freedesktop.DBus.Error.NotSupported"));
    QCOMPARE(d.Call("org.freedesktop.DBus.Properties", "Set",
                    {kPlayer, QString("Volume"), QVariant::fromValue(QDBusVariant(0.5))})
                 .type(),
             QDBusMessage::ErrorMessage);
    QCOMPARE(d.Status(), QString("Playing"));

    d.Call(kPlayer, "Stop");
    QVERIFY(AdvanceUntil(Dev->Fake, [&] { return !W->playing(); }));
    QCOMPARE(d.Status(), QString("Stopped"));
    QTRY_VERIFY(d.Said("PlaybackStatus", "Stopped"));
    int64_t heard = plat::FakePlayedBytes(Dev->Fake);
    AdvanceUntil(
        Dev->Fake, [] { return false; }, nullptr, 10);
    QCOMPARE(plat::FakePlayedBytes(Dev->Fake), heard);
  }

  void aSecondInstanceTakesANameOfItsOwn() {
    StubControl stub;
    MediaPlayer first(&stub, QDBusConnection::connectToBus(QDBusConnection::SessionBus, "first"));
    MediaPlayer second(&stub, QDBusConnection::connectToBus(QDBusConnection::SessionBus, "second"));
    QCOMPARE(first.serviceName(), QString("org.mpris.MediaPlayer2.sonavel"));
    QCOMPARE(second.serviceName(), QString("org.mpris.MediaPlayer2.sonavel.instance%1").arg(::getpid()));
  }

  void thePortalKeepsTheComputerAwakeUntilStopOrALongFreeze() {
    Fakes fakes(true, false);
    gui::FakeClock clock;
    OpenPlaying(true);
    W->actions().Play->trigger();
    QTRY_COMPARE(gLog, QStringList{"inhibit 12 Sonavel is playing"});
    QTRY_COMPARE(W->desktopLink()->keepAwake()->held(), int(KeepAwake::PORTAL));
    // A freeze of more than a minute lets the computer sleep again.
    W->actions().Freeze->trigger();
    QVERIFY(AdvanceUntil(
        Dev->Fake, [&] { return W->statusText()->text().startsWith("(Parameters frozen)"); }, &clock));
    QCOMPARE(gLog.size(), 1);
    clock.Now += DesktopLink::FREEZE_RELEASE_MS;
    QVERIFY(AdvanceUntil(
        Dev->Fake, [&] { return gLog.size() == 2; }, &clock));
    QCOMPARE(gLog[1], QString("release /org/freedesktop/portal/desktop/request/1"));
    W->actions().Freeze->trigger();
    QTRY_COMPARE(gLog.size(), 3);
    W->actions().Stop->trigger();
    QVERIFY(AdvanceUntil(Dev->Fake, [&] { return !W->playing(); }));
    QTRY_COMPARE(gLog,
                 (QStringList{"inhibit 12 Sonavel is playing", "release /org/freedesktop/portal/desktop/request/1",
                              "inhibit 12 Sonavel is playing", "release /org/freedesktop/portal/desktop/request/2"}));
    QCOMPARE(W->desktopLink()->keepAwake()->held(), int(KeepAwake::NONE));
  }

  void withoutAPortalTheScreenSaverAndLogindHoldAndLetGo() {
    Fakes fakes(false, true);
    OpenPlaying(true);
    W->actions().Play->trigger();
    QTRY_COMPARE(W->desktopLink()->keepAwake()->held(), KeepAwake::SCREENSAVER | KeepAwake::LOGIND);
    gLog.sort();
    QCOMPARE(gLog, (QStringList{"inhibit Sonavel", "inhibit idle:sleep Sonavel block"}));
    QVERIFY(!fakes.Logind->HungUp());
    W->actions().Stop->trigger();
    QVERIFY(AdvanceUntil(Dev->Fake, [&] { return !W->playing(); }));
    QTRY_VERIFY(gLog.contains("release 41"));
    QTRY_VERIFY(fakes.Logind->HungUp());
    // The setting turns it off.
    gLog.clear();
    Cfg.Listening.KeepAwake = 0;
    W->actions().Play->trigger();
    QVERIFY(AdvanceUntil(Dev->Fake, [&] { return W->statusText()->text().startsWith("Time 0:0"); }));
    QTest::qWait(50);
    QCOMPARE(gLog, QStringList());
  }

  void withNothingToAskOneLineIsWrittenAndPlaybackGoesOn() {
    ResetNote();
    OpenPlaying(true);
    W->actions().Play->trigger();
    QVERIFY(AdvanceUntil(Dev->Fake, [&] { return W->statusText()->text().startsWith("Time 0:0"); }));
    QTRY_VERIFY(NoteWritten());
    QVERIFY(!W->desktopLink()->keepAwake()->busy());
    QCOMPARE(W->desktopLink()->keepAwake()->held(), int(KeepAwake::NONE));
  }

  // A program killed while it keeps the computer awake lets go: logind's
  // descriptor dies with it, and its bus connection, which holds the
  // screen saver's inhibition, closes.
  void aKilledProgramLetsGo() {
    Fakes fakes(false, true);
    QString dir = gui::NewFolder("killed");
    for (const char* f : {"sonavel", "Ambix.dll"})
      QFile::copy(QStringLiteral(SONAVEL_BIN_DIR "/%1").arg(f), dir + "/" + f);
    QSettings s(dir + "/config/Kelvadi/Sonavel.conf", QSettings::IniFormat);
    s.setValue("3/Advanced/RunConfigWizard", 0);
    s.setValue("3/Advanced/Device", "fake");
    s.sync();
    QProcess p;
    QProcessEnvironment e = QProcessEnvironment::systemEnvironment();
    e.insert("QT_QPA_PLATFORM", "offscreen");
    e.insert("HOME", dir);
    e.insert("XDG_CONFIG_HOME", dir + "/config");
    e.insert("XDG_DATA_HOME", dir + "/data");
    e.insert("XDG_RUNTIME_DIR", dir + "/run");
    e.insert("SONAVEL_AUTO_ANSWER", "1");
    QDir().mkpath(dir + "/run");
    QFile::setPermissions(dir + "/run", QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    p.setProcessEnvironment(e);
    p.start(dir + "/sonavel", {"-p", "BUILTIN"});
    QVERIFY(p.waitForStarted());
    QTRY_VERIFY_WITH_TIMEOUT(gLog.size() == 2, 30000);
    QVERIFY(!fakes.Logind->HungUp());
    ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
    QVERIFY(p.waitForFinished(10000));
    QTRY_VERIFY_WITH_TIMEOUT(fakes.Logind->HungUp(), 10000);
    QTRY_VERIFY_WITH_TIMEOUT(gLog.filter("gone ").size() == 1, 10000);
    QVERIFY(gLog.filter("release").isEmpty());
  }
};

GUI_TEST(SessionBusTest);
#include "tst_sessionbus.moc"
