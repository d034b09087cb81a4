// Reading a request from a local connection without blocking the GUI
// thread: a notifier per connection and a deadline, so that a neighbour that
// connects and sends nothing holds up nothing (the hand-over socket, the
// synchronisation socket). GUI thread.
#pragma once
#include <QObject>
#include <functional>

// Calls read() whenever the connection `fd` has data (or was closed): it
// returns 1 when the request is complete, 0 when more is to come, -1 when
// the connection is of no use. done(true) follows a complete request,
// done(false) a failed one or the end of `deadlineMs`; either exactly once,
// after which nothing of the watch is left. The descriptor stays the
// caller's.
void WatchConnection(QObject* parent, int fd, int deadlineMs, std::function<int()> read,
                     std::function<void(bool complete)> done);
