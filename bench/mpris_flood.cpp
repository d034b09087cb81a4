// Clients flooding the desktop program's media player interface, and one
// that measures: while `flooders` connections each keep bursts of BURST calls
// in flight (property reads, Pause and Play, calls with wrong arguments,
// methods the player has no use for), a probe reads PlaybackStatus every
// 20 ms and times the round trip. Prints the probe's figures before and
// during the flood.
//
//   sonavel_mpris_flood SECONDS FLOODERS BURST     (the program playing,
//                                                  on the session bus)
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

const QString kService = QStringLiteral("org.mpris.MediaPlayer2.sonavel");
const QString kPath = QStringLiteral("/org/mpris/MediaPlayer2");
const QString kPlayer = QStringLiteral("org.mpris.MediaPlayer2.Player");

QDBusMessage Call(const QString& iface, const QString& method, const QVariantList& args = {}) {
  QDBusMessage m = QDBusMessage::createMethodCall(kService, kPath, iface, method);
  m.setArguments(args);
  return m;
}

QDBusMessage Get(const QString& prop) {
  return Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"), {kPlayer, prop});
}

std::atomic<bool> gStop{false};
int gBurst = 100;
std::atomic<long> gCalls{0}, gErrors{0};

void Flood(int n) {
  QDBusConnection c = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("flood%1").arg(n));
  const QList<QDBusMessage> kinds = {
      Get(QStringLiteral("PlaybackStatus")),
      Get(QStringLiteral("Metadata")),
      Call(QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("GetAll"), {kPlayer}),
      Call(kPlayer, QStringLiteral("Seek"), {QStringLiteral("not a number")}),
      Call(kPlayer, QStringLiteral("OpenUri"), {QStringLiteral("file:///nothing.wav")}),
      Call(kPlayer, QStringLiteral("NoSuchMethod")),
      Call(kPlayer, QStringLiteral("Pause")),
      Call(kPlayer, QStringLiteral("Play")),
  };
  while (!gStop.load()) {
    std::vector<QDBusPendingCall> burst;
    for (int i = 0; i < gBurst; ++i) burst.push_back(c.asyncCall(kinds[(i + gCalls) % kinds.size()], 10000));
    for (QDBusPendingCall& p : burst) {
      p.waitForFinished();
      gCalls++;
      if (p.isError()) gErrors++;
    }
  }
  QDBusConnection::disconnectFromBus(QStringLiteral("flood%1").arg(n));
}

// Round trips of a PlaybackStatus read every 20 ms for `ms`; *failed
// counts the reads not answered with a value.
std::vector<double> Probe(QDBusConnection& c, int ms, int* failed) {
  std::vector<double> t;
  QElapsedTimer all;
  all.start();
  while (all.elapsed() < ms) {
    QElapsedTimer one;
    one.start();
    QDBusMessage r = c.call(Get(QStringLiteral("PlaybackStatus")), QDBus::Block, 10000);
    t.push_back(static_cast<double>(one.nsecsElapsed()) / 1e6);
    if (r.type() != QDBusMessage::ReplyMessage) ++*failed;
    QThread::msleep(20);
  }
  return t;
}

void Report(const char* what, std::vector<double> t, int failed) {
  std::sort(t.begin(), t.end());
  auto at = [&](double q) {
    return t.empty() ? 0.0 : t[std::min(t.size() - 1, static_cast<size_t>(q * static_cast<double>(t.size())))];
  };
  long over = std::count_if(t.begin(), t.end(), [](double v) { return v > 50.0; });
  std::printf(
      "%-22s %5zu reads: median %.2f ms, 99th percentile %.2f ms, worst %.2f ms, over 50 ms: %ld, "
      "unanswered: %d\n",
      what, t.size(), at(0.5), at(0.99), t.empty() ? 0.0 : t.back(), over, failed);
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  int flooders = argc > 2 ? std::atoi(argv[2]) : 4;
  gBurst = argc > 3 ? std::max(std::atoi(argv[3]), 1) : 100;
  QDBusConnection probe = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("probe"));
  if (!probe.isConnected()) {
    std::fprintf(stderr, "no session bus\n");
    return 1;
  }
  QElapsedTimer wait;
  wait.start();
  while (!probe.interface()->isServiceRegistered(kService) && wait.elapsed() < 60000) QThread::msleep(50);
  // Until it plays.
  while (wait.elapsed() < 60000) {
    QDBusMessage r = probe.call(Get(QStringLiteral("PlaybackStatus")));
    if (r.arguments().value(0).value<QDBusVariant>().variant() == "Playing") break;
    QThread::msleep(50);
  }
  int failedQuiet = 0, failedFlood = 0;
  std::vector<double> quiet = Probe(probe, 2000, &failedQuiet);
  std::vector<std::thread> threads;
  for (int i = 0; i < flooders; ++i) threads.emplace_back(Flood, i);
  QElapsedTimer flood;
  flood.start();
  std::vector<double> loaded = Probe(probe, seconds * 1000, &failedFlood);
  double floodSeconds = static_cast<double>(flood.elapsed()) / 1000.0;
  gStop = true;
  for (std::thread& t : threads) t.join();
  Report("quiet (2 s)", quiet, failedQuiet);
  Report("flooded", loaded, failedFlood);
  std::printf(
      "flood: %d clients with %d calls in flight each, %ld calls answered in %.1f s (%.0f per second), %ld "
      "of them errors\n",
      flooders, gBurst, gCalls.load(), floodSeconds, static_cast<double>(gCalls.load()) / floodSeconds, gErrors.load());
  return 0;
}
