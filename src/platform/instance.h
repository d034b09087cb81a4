// The single running instance and the hand-over of a second start's command
// line: a lock file and a local socket in a folder only the user can enter.
//
// The first instance holds an exclusive lock on "instance.lock" for its whole
// life and listens on "instance.sock". A second start connects, sends its
// command line and waits for one answer byte: 0 the request was taken, 1 it
// was refused (a modal dialog is open). No answer within the time-out means
// the first instance is busy or hung. Connections from other users are
// refused (the folder is 0700, and the peer's user id is checked).
//
// Main thread of each process; the functions never wait longer than the
// time-outs they are given.
#pragma once
#include <string>

namespace plat {

// $XDG_RUNTIME_DIR/sonavel; when the variable is unset /run/user/<uid>/sonavel
// (the session's folder, when it is this user's), else <temporary
// folder>/sonavel-<uid>; created with mode 0700. "" when the folder exists
// but is not a private folder of this user: another user's is never used
// (then no single-instance rule applies, and stderr says so once).
std::string InstanceFolder();

struct InstanceServer {
  int LockFd = -1;
  int ListenFd = -1;  // non-blocking; readable when a second start connects
  std::string Folder;
};

// Takes the instance lock in `folder` and starts listening. true when this
// process is the first instance; false when another process holds the lock
// (or the folder cannot be used, *usable then false).
bool TakeInstanceLock(InstanceServer& s, const std::string& folder, bool* usable = nullptr);
// Stops listening and releases the lock.
void ReleaseInstance(InstanceServer& s);

enum HandOverResult {
  HANDOVER_TAKEN = 0,    // the first instance took the command line
  HANDOVER_REFUSED = 1,  // refused while a modal dialog is open (1312)
  HANDOVER_NONE = 2,     // nobody is listening (no window to hand over to)
  HANDOVER_BUSY = 3,     // no answer in time (1310)
};
// Second start: sends the command line ("" asks the first instance only to
// come to the front) and waits at most timeoutMs for the answer.
HandOverResult HandOver(const std::string& folder, const std::string& cmdLine, int timeoutMs);

// A request read without waiting for it: the window watches each connection
// on its own, so a second start that connects and sends nothing (or a
// neighbour doing so on purpose) holds up nothing.
struct PendingRequest {
  int Fd = -1;
  unsigned char Len[4] = {};
  size_t Got = 0;  // bytes of the length and the text read so far
  std::string Text;
};
// Accepts one waiting connection of this user on a listening socket
// without waiting (other users' are closed on the way): its descriptor,
// non-blocking and close-on-exec, or -1 when none is waiting.
int AcceptSameUser(int listenFd);
// AcceptSameUser on the instance socket.
bool AcceptConnection(InstanceServer& s, PendingRequest* p);
// Reads what has come: 1 the command line is complete (*cmdLine; p->Fd is
// then the caller's, for the answer), 0 more is to come, -1 the connection
// closed or the request is malformed (it is closed).
int ReadRequest(PendingRequest* p, std::string* cmdLine);
// First instance: takes one waiting connection and reads its command line
// (waiting at most timeoutMs for it). false when none was waiting, the peer
// is another user or the request is malformed (the connection is closed).
// For tests; the window reads without waiting.
bool AcceptRequest(InstanceServer& s, int* clientFd, std::string* cmdLine, int timeoutMs = 500);
// Sends the answer byte (waiting at most 500 ms for room) and closes the
// connection.
void AnswerRequest(int clientFd, int answer);

}  // namespace plat
