// Instance synchronisation: discovery, requests, the go event and the two
// synchronisation points.
#include "synch/synch.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sched.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "platform/instance.h"

namespace {

const char kInstancePrefix[] = "TAVIK.";
const char kCompanionSuffix[] = "_TAVIK_Synch";
const char kGoEventName[] = "TAVIK_SynchGoEvent";

bool Address(const std::string& path, sockaddr_un* addr) {
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  if (path.size() >= sizeof addr->sun_path) return false;
  std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return true;
}

void PutLE32(unsigned char* b, int32_t v) {
  auto u = static_cast<uint32_t>(v);
  for (int i = 0; i < 4; ++i) b[i] = static_cast<unsigned char>(u >> (8 * i));
}

int32_t GetLE32(const unsigned char* b) {
  return static_cast<int32_t>(b[0] | (uint32_t(b[1]) << 8) | (uint32_t(b[2]) << 16) | (uint32_t(b[3]) << 24));
}

// Reads or writes exactly n bytes, waiting at most timeoutMs for each part.
bool Transfer(int fd, unsigned char* p, size_t n, bool write, int timeoutMs) {
  size_t done = 0;
  while (done < n) {
    pollfd pf{fd, static_cast<short>(write ? POLLOUT : POLLIN), 0};
    int r = ::poll(&pf, 1, timeoutMs);
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    ssize_t k = write ? ::send(fd, p + done, n - done, MSG_NOSIGNAL) : ::recv(fd, p + done, n - done, 0);
    if (k < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (k <= 0) return false;
    done += static_cast<size_t>(k);
  }
  return true;
}

// A non-blocking connection to the socket at `path`; -1 with errno set when
// there is none: EAGAIN when the listener's backlog is full (it lives).
int Connect(const std::string& path) {
  sockaddr_un addr;
  if (!Address(path, &addr)) {
    errno = ENAMETOOLONG;
    return -1;
  }
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return -1;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    int err = errno;
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

std::string GoPath(const std::string& folder) { return folder + "/" + kGoEventName; }

bool SameFile(int fd, const std::string& path) {
  struct stat a, b;
  return ::fstat(fd, &a) == 0 && ::stat(path.c_str(), &b) == 0 && a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

int64_t MonotonicNs() {
  timespec t;
  ::clock_gettime(CLOCK_MONOTONIC, &t);
  return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec;
}

}  // namespace

std::string SynchSocketName(int pid) { return kInstancePrefix + std::to_string(pid); }

int SynchParticipantKind(const std::string& name) {
  const size_t pre = sizeof kInstancePrefix - 1;
  if (name.size() > pre && name.compare(0, pre, kInstancePrefix) == 0 &&
      name.find_first_not_of("0123456789", pre) == std::string::npos)
    return 1;
  const size_t suf = sizeof kCompanionSuffix - 1;
  if (name.size() >= suf && name.compare(name.size() - suf, suf, kCompanionSuffix) == 0) return 0;
  return -1;
}

std::vector<SynchParticipant> FindSynchParticipants(const std::string& folder, const std::string& ownPath) {
  std::vector<SynchParticipant> found;
  if (folder.empty()) return found;
  DIR* d = ::opendir(folder.c_str());
  if (!d) return found;
  std::vector<std::string> names;
  while (dirent* e = ::readdir(d))
    if (SynchParticipantKind(e->d_name) >= 0) names.emplace_back(e->d_name);
  ::closedir(d);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    if (found.size() >= MAXSYNCHPARTICIPANTS) break;
    std::string path = folder + "/" + name;
    if (path == ownPath) continue;
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0 || !S_ISSOCK(st.st_mode) || st.st_uid != ::getuid()) continue;
    int fd = Connect(path);
    if (fd < 0 && errno != EAGAIN) {
      // An instance that ended without removing its socket.
      int kind = SynchParticipantKind(name);
      if (kind == 1 && errno == ECONNREFUSED) {
        long pid = std::strtol(name.c_str() + sizeof kInstancePrefix - 1, nullptr, 10);
        if (pid > 0 && ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) ::unlink(path.c_str());
      }
      continue;
    }
    if (fd >= 0) ::close(fd);
    found.push_back({path, SynchParticipantKind(name) == 1});
  }
  return found;
}

bool StartSynchServer(SynchServer& s, const std::string& folder) {
  s = SynchServer{};
  if (folder.empty()) return false;
  std::string path = folder + "/" + SynchSocketName(static_cast<int>(::getpid()));
  sockaddr_un addr;
  if (!Address(path, &addr)) return false;
  // The name holds our pid: a socket there is an ended process's.
  ::unlink(path.c_str());
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return false;
  struct stat st;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::chmod(path.c_str(), 0600) != 0 ||
      ::listen(fd, 16) != 0 || ::stat(path.c_str(), &st) != 0) {
    ::close(fd);
    return false;
  }
  s.ListenFd = fd;
  s.Path = path;
  s.Inode = st.st_ino;
  return true;
}

void StopSynchServer(SynchServer& s) {
  if (s.ListenFd < 0) return;
  struct stat st;
  if (::stat(s.Path.c_str(), &st) == 0 && st.st_ino == s.Inode) ::unlink(s.Path.c_str());
  ::close(s.ListenFd);
  s = SynchServer{};
}

bool AcceptSynchConnection(SynchServer& s, SynchPending* p) {
  *p = SynchPending{};
  p->Fd = plat::AcceptSameUser(s.ListenFd);
  return p->Fd >= 0;
}

int ReadSynchRequest(SynchPending* p) {
  while (p->Got < sizeof p->Msg) {
    ssize_t k = ::recv(p->Fd, p->Msg + p->Got, sizeof p->Msg - p->Got, MSG_DONTWAIT);
    if (k < 0 && errno == EINTR) continue;
    if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    if (k <= 0) break;  // a probe of the discovery closes at once
    p->Got += static_cast<size_t>(k);
  }
  if (p->Got == sizeof p->Msg && GetLE32(p->Msg) == WM_SYNCHPLAY) {
    SynchLog("request", SYNCH_NONE);
    return 1;
  }
  ::close(p->Fd);
  p->Fd = -1;
  return -1;
}

bool TakeSynchRequest(SynchServer& s, int* clientFd) {
  *clientFd = -1;
  SynchPending p;
  while (AcceptSynchConnection(s, &p)) {
    int r;
    // A leader sends at once.
    for (int waited = 0; (r = ReadSynchRequest(&p)) == 0 && waited < 500; waited += 10) ::poll(nullptr, 0, 10);
    if (r == 1) {
      // The answer is written with a time-out of its own.
      ::fcntl(p.Fd, F_SETFL, ::fcntl(p.Fd, F_GETFL) & ~O_NONBLOCK);
      *clientFd = p.Fd;
      return true;
    }
    if (r == 0) ::close(p.Fd);
  }
  return false;
}

void AnswerSynchRequest(int clientFd, int32_t answer) {
  if (clientFd < 0) return;
  unsigned char b[4];
  PutLE32(b, answer);
  Transfer(clientFd, b, 4, true, 500);
  ::close(clientFd);
}

int SendSynchRequest(const SynchParticipant& p, bool (*pump)(void* ctx), void* ctx) {
  int fd;
  // A full backlog empties as the participant takes its requests.
  while ((fd = Connect(p.Path)) < 0) {
    if (errno != EAGAIN || (pump && pump(ctx))) return -1;
    ::poll(nullptr, 0, 20);
  }
  unsigned char b[4];
  PutLE32(b, WM_SYNCHPLAY);
  if (!Transfer(fd, b, 4, true, 2000)) {
    ::close(fd);
    return -1;
  }
  size_t got = 0;
  for (;;) {
    pollfd pf{fd, POLLIN, 0};
    int r = ::poll(&pf, 1, 20);
    if (r > 0) {
      ssize_t k = ::recv(fd, b + got, 4 - got, 0);
      if (k > 0) {
        got += static_cast<size_t>(k);
        if (got == 4) break;
        continue;
      }
      if (k < 0 && (errno == EINTR || errno == EAGAIN)) continue;
      ::close(fd);
      return -1;  // the participant went away
    }
    if (r < 0 && errno != EINTR) {
      ::close(fd);
      return -1;
    }
    if (pump && pump(ctx)) {
      ::close(fd);
      return -1;
    }
  }
  ::close(fd);
  return GetLE32(b);
}

GoCreate CreateGoEvent(const std::string& folder, GoEvent* ev) {
  ev->Fd = -1;
  if (folder.empty()) return GO_FAILED;
  std::string path = GoPath(folder);
  // Locked before it is named, so a name that exists is held by a live
  // leader, or was left by one that died.
  std::string tmp = folder + "/." + kGoEventName + "." + std::to_string(::getpid());
  int fd = ::open(tmp.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return GO_FAILED;
  if (::flock(fd, LOCK_EX) != 0) {
    ::close(fd);
    ::unlink(tmp.c_str());
    return GO_FAILED;
  }
  GoCreate result = GO_FAILED;
  for (int attempt = 0; attempt < 4; ++attempt) {
    if (::link(tmp.c_str(), path.c_str()) == 0) {
      ev->Fd = fd;
      fd = -1;
      result = GO_CREATED;
      break;
    }
    if (errno != EEXIST) break;
    int old = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (old < 0) {
      if (errno == ENOENT) continue;  // signalled meanwhile
      break;
    }
    if (::flock(old, LOCK_EX | LOCK_NB) != 0) {
      ::close(old);
      result = GO_EXISTS;
      break;
    }
    // Nobody holds it: its leader died. Taken over, if the name is still it.
    if (SameFile(old, path)) {
      ev->Fd = old;
      result = GO_CREATED;
      break;
    }
    ::close(old);
  }
  if (fd >= 0) ::close(fd);
  ::unlink(tmp.c_str());
  return result;
}

void SignalGoEvent(const std::string& folder, GoEvent* ev) {
  if (ev->Fd < 0) return;
  // The name goes first: a new leader may then name its own at once, and
  // never finds ours unlocked.
  std::string path = GoPath(folder);
  if (SameFile(ev->Fd, path)) ::unlink(path.c_str());
  ::flock(ev->Fd, LOCK_UN);
  CloseGoEvent(ev);
}

bool OpenGoEvent(const std::string& folder, GoEvent* ev) {
  ev->Fd = folder.empty() ? -1 : ::open(GoPath(folder).c_str(), O_RDONLY | O_CLOEXEC);
  return ev->Fd >= 0;
}

namespace {

void NoAction(int) {}

// The signal that cuts a wait on the go event short: flock has no time-out,
// so a timer interrupts it every 50 ms and the wait looks at the clock.
int WakeSignal() {
  static const int sig = [] {
    int s = SIGRTMIN + 3;
    struct sigaction sa {};
    sa.sa_handler = NoAction;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = 0;  // no SA_RESTART: the wait must see it
    ::sigaction(s, &sa, nullptr);
    return s;
  }();
  return sig;
}

}  // namespace

bool WaitGoEvent(GoEvent* ev, int timeoutMs, bool (*stop)(void* ctx), void* ctx) {
  if (ev->Fd < 0) return false;
  if (::flock(ev->Fd, LOCK_SH | LOCK_NB) == 0) {
    CloseGoEvent(ev);
    return true;
  }
  const int64_t deadline = MonotonicNs() + int64_t(timeoutMs) * 1000000;
  sigevent sev{};
  sev.sigev_notify = SIGEV_THREAD_ID;
  sev.sigev_signo = WakeSignal();
  sev._sigev_un._tid = static_cast<pid_t>(::gettid());
  timer_t timer{};
  bool timed = ::timer_create(CLOCK_MONOTONIC, &sev, &timer) == 0;
  if (timed) {
    itimerspec every{{0, 50000000}, {0, 50000000}};
    ::timer_settime(timer, 0, &every, nullptr);
  }
  bool got = false;
  for (;;) {
    if (::flock(ev->Fd, timed ? LOCK_SH : LOCK_SH | LOCK_NB) == 0) {
      got = true;
      break;
    }
    if (errno != EINTR && errno != EWOULDBLOCK) break;
    if (MonotonicNs() >= deadline || (stop && stop(ctx))) break;
    if (!timed) ::poll(nullptr, 0, 5);
  }
  if (timed) {
    ::timer_delete(timer);
    // A tick that came after the last wait must not cut some later call
    // short.
    sigset_t wake;
    sigemptyset(&wake);
    sigaddset(&wake, WakeSignal());
    timespec none{0, 0};
    while (::sigtimedwait(&wake, nullptr, &none) > 0) {
    }
  }
  CloseGoEvent(ev);
  return got;
}

void CloseGoEvent(GoEvent* ev) {
  if (ev->Fd >= 0) ::close(ev->Fd);
  ev->Fd = -1;
}

void SynchHookA(SynchState& s, const SynchUi& ui) {
  if (s.Mode == SYNCH_NONE) return;
  if (s.Mode == SYNCH_LEADER) {
    int n = static_cast<int>(s.Participants.size());
    if (ui.ShowProgress) ui.ShowProgress(ui.Ctx, 88, n + 2);
    bool abort = ui.Progress && ui.Progress(ui.Ctx, 1);
    if (CreateGoEvent(s.Folder, &s.Go) != GO_CREATED) {
      // Another leader is waiting for its followers: ours start alone.
      if (ui.Message) ui.Message(ui.Ctx, 1337);
      return;
    }
    struct Pump {
      const SynchUi* Ui;
      int Position;
      bool Aborted;
      static bool Call(void* c) {
        auto* p = static_cast<Pump*>(c);
        if (p->Ui->Progress && p->Ui->Progress(p->Ui->Ctx, p->Position)) p->Aborted = true;
        return p->Aborted;
      }
    };
    for (int i = 0; i < n && !abort; ++i) {
      // The user may give up waiting for a participant that never answers;
      // the ones prepared so far still start with us.
      Pump pump{&ui, i + 1, false};
      SendSynchRequest(s.Participants[static_cast<size_t>(i)], &Pump::Call, &pump);
      abort = pump.Aborted;
      if (ui.Progress && ui.Progress(ui.Ctx, i + 2)) abort = true;
    }
    if (ui.Foreground) ui.Foreground(ui.Ctx);
    return;
  }
  if (ui.ShowProgress) ui.ShowProgress(ui.Ctx, 88, 2);
  if (ui.Progress) ui.Progress(ui.Ctx, 1);
  // The request may come from no leader at all, or from one that gave up
  // meanwhile: a missing event is no internal error, the follower starts
  // alone.
  bool opened = OpenGoEvent(s.Folder, &s.Go);
  AnswerSynchRequest(s.ReplyFd, SYNCH_PREPARED);
  s.ReplyFd = -1;
  if (!opened || !WaitGoEvent(&s.Go, s.GoWaitMs, ui.StopWaiting, ui.Ctx)) {
    if (ui.Message) ui.Message(ui.Ctx, 1337);
  }
}

void SynchHookB(SynchState& s, const SynchUi& ui) {
  SynchLog("restart", s.Mode);
  if (s.Mode == SYNCH_LEADER) {
    // The followers are released before anything else, so they start as
    // close to us as the scheduler allows; the window is brought up to date
    // afterwards.
    if (ui.SetPosition) ui.SetPosition(ui.Ctx, static_cast<int>(s.Participants.size()) + 2);
    SignalGoEvent(s.Folder, &s.Go);
    if (ui.Progress) ui.Progress(ui.Ctx, static_cast<int>(s.Participants.size()) + 2);
  }
  ::sched_yield();
}

void SynchLog(const char* what, int mode) {
  const char* file = std::getenv("SONAVEL_SYNCH_LOG");
  if (!file || !*file) return;
  int64_t now = MonotonicNs();
  int fd = ::open(file, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return;
  char line[96];
  int n = std::snprintf(line, sizeof line, "%d %s %d %lld\n", static_cast<int>(::getpid()), what, mode,
                        static_cast<long long>(now));
  if (n > 0) {
    ssize_t w = ::write(fd, line, static_cast<size_t>(n));
    (void)w;
  }
  ::close(fd);
}
