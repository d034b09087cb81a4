#include "mwnd/Connection.h"

#include <QSocketNotifier>
#include <QTimer>

namespace {

class ConnectionWatch : public QObject {
 public:
  ConnectionWatch(QObject* parent, int fd, int deadlineMs, std::function<int()> read, std::function<void(bool)> done)
      : QObject(parent), Read(std::move(read)), Done(std::move(done)) {
    Notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(Notifier, &QSocketNotifier::activated, this, [this] {
      int r = Read();
      if (r != 0) finish(r > 0);
    });
    Deadline = new QTimer(this);
    Deadline->setSingleShot(true);
    connect(Deadline, &QTimer::timeout, this, [this] { finish(false); });
    Deadline->start(deadlineMs);
  }

 private:
  void finish(bool complete) {
    if (Finished) return;
    Finished = true;
    Notifier->setEnabled(false);
    Deadline->stop();
    // Deleted once the event loop has it back; the caller's work may run a
    // dialog of its own meanwhile.
    deleteLater();
    Done(complete);
  }

  std::function<int()> Read;
  std::function<void(bool)> Done;
  QSocketNotifier* Notifier = nullptr;
  QTimer* Deadline = nullptr;
  bool Finished = false;
};

}  // namespace

void WatchConnection(QObject* parent, int fd, int deadlineMs, std::function<int()> read,
                     std::function<void(bool complete)> done) {
  new ConnectionWatch(parent, fd, deadlineMs, std::move(read), std::move(done));
}
