// What another process of the same user can do to the window through its
// synchronisation socket: connect and say nothing, ask it to follow without
// a leader, ask again and again while it plays. The window never stops for
// it, shows no internal error and never more than one box at a time.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <QMessageBox>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "dialog/MessageBox.h"
#include "gui/guitest.h"
#include "main/strtab.h"
#include "synch/synch.h"

namespace {

// A connection to the window's socket that sends nothing (-1 when its
// backlog is full).
int Silent(const std::string& path) {
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  sockaddr_un a{};
  a.sun_family = AF_UNIX;
  std::snprintf(a.sun_path, sizeof a.sun_path, "%s", path.c_str());
  if (::connect(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Sends request 1124 from a thread of its own; the answer, once it came.
struct Asker {
  std::atomic<int> Answer{-99};
  std::thread Thread;
  explicit Asker(const std::string& path) {
    Thread = std::thread([this, path] { Answer = SendSynchRequest({path, true}, nullptr, nullptr); });
  }
  ~Asker() { Thread.join(); }
};

int Count(const QStringList& texts, int id) {
  int n = 0;
  for (const QString& t : texts) n += t == QString::fromUtf8(GetStr(id));
  return n;
}

}  // namespace

class Neighbours : public QObject {
  Q_OBJECT
  MainWindow* W = nullptr;
  std::unique_ptr<gui::FakeDevice> Dev;

 private Q_SLOTS:
  void init() {
    gui::FreshStore();
    gui::TakeCheckFailures();
    MessageBox::clearShown();
    plat::FakeWaveConfig c;
    c.Paced = true;
    Dev = std::make_unique<gui::FakeDevice>(c);
    W = gui::OpenMainWindow();
  }
  void cleanup() {
    MessageBox::setAutoAnswer(true);
    gui::CloseMainWindow(W);
    Dev.reset();
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  // Each silent connection once held the window 500 ms, one after another.
  void silentConnectionsHoldNothing() {
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    std::vector<int> silent;
    for (int i = 0; i < 40; ++i) {
      int fd = Silent(W->synchServer().Path);
      if (fd >= 0) silent.push_back(fd);
      QCoreApplication::processEvents();
    }
    QVERIFY(silent.size() >= 30);
    Asker a(W->synchServer().Path);
    // Answered "already playing" long before 40 x 500 ms.
    QTRY_COMPARE_WITH_TIMEOUT(a.Answer.load(), 1, 4000);
    for (int fd : silent) ::close(fd);
  }

  // A request from no leader: the window plays alone and says why once.
  void aRequestWithoutALeaderStartsAlone() {
    Asker a(W->synchServer().Path);
    QTRY_COMPARE_WITH_TIMEOUT(a.Answer.load(), 0, 10000);
    QTRY_VERIFY(W->playing());
    QTRY_COMPARE(Count(MessageBox::shownTexts(), 1337), 1);
    QCOMPARE(gui::TakeCheckFailures(), QStringList());
  }

  // Requests while it plays: each answered at once, one box for all of them.
  void requestsWhilePlayingShowOneBox() {
    W->actions().Play->trigger();
    QVERIFY(W->playing());
    MessageBox::setAutoAnswer(false);
    bool sawBox = false;
    gui::OnModal([&](QWidget* box) {
      sawBox = true;
      QVERIFY(qobject_cast<QMessageBox*>(box));
      for (int i = 0; i < 10; ++i) {
        Asker more(W->synchServer().Path);
        QTRY_COMPARE_WITH_TIMEOUT(more.Answer.load(), 1, 4000);
      }
      QTest::qWait(100);
      QCOMPARE(Count(MessageBox::shownTexts(), 1336), 1);
      box->close();
    });
    Asker first(W->synchServer().Path);
    QTRY_VERIFY_WITH_TIMEOUT(sawBox, 10000);
    QCOMPARE(first.Answer.load(), 1);
    QTest::qWait(100);
    QCOMPARE(Count(MessageBox::shownTexts(), 1336), 1);
  }
};

GUI_TEST(Neighbours);
#include "tst_neighbours.moc"
