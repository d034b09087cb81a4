// Single instance: lock file, local socket, and the hand-over protocol
// (4-byte little-endian length, the command line, one answer byte).
#include "platform/instance.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace plat {

namespace {

constexpr uint32_t MAX_REQUEST = 65536;

bool PrivateFolder(const std::string& dir) {
  if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return false;
  struct stat st;
  if (::lstat(dir.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0;
}

bool SocketAddress(const std::string& folder, sockaddr_un* addr) {
  std::string path = folder + "/instance.sock";
  std::memset(addr, 0, sizeof *addr);
  addr->sun_family = AF_UNIX;
  if (path.size() >= sizeof addr->sun_path) return false;
  std::memcpy(addr->sun_path, path.c_str(), path.size() + 1);
  return true;
}

using Clock = std::chrono::steady_clock;

int RemainingMs(Clock::time_point deadline) {
  auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return ms > 0 ? static_cast<int>(ms) : 0;
}

// Reads or writes exactly n bytes before the deadline.
bool Transfer(int fd, void* buf, size_t n, bool write, Clock::time_point deadline) {
  auto* p = static_cast<unsigned char*>(buf);
  size_t done = 0;
  while (done < n) {
    pollfd pf{fd, static_cast<short>(write ? POLLOUT : POLLIN), 0};
    int r = ::poll(&pf, 1, RemainingMs(deadline));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    ssize_t k = write ? ::send(fd, p + done, n - done, MSG_NOSIGNAL) : ::recv(fd, p + done, n - done, 0);
    if (k < 0 && (errno == EINTR || errno == EAGAIN)) continue;
    if (k <= 0) return false;
    done += static_cast<size_t>(k);
  }
  return true;
}

}  // namespace

std::string InstanceFolder() {
  const char* runtime = std::getenv("XDG_RUNTIME_DIR");
  if (runtime && *runtime) {
    std::string dir = std::string(runtime) + "/sonavel";
    return PrivateFolder(dir) ? dir : std::string();
  }
  // The session's runtime folder exists also where the variable was not
  // passed on (su, some remote logins).
  std::string session = "/run/user/" + std::to_string(::getuid());
  struct stat st;
  if (::lstat(session.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & 077) == 0 &&
      PrivateFolder(session + "/sonavel"))
    return session + "/sonavel";
  const char* tmp = std::getenv("TMPDIR");
  std::string dir = std::string(tmp && *tmp ? tmp : "/tmp") + "/sonavel-" + std::to_string(::getuid());
  if (PrivateFolder(dir)) return dir;
  // Another user's folder is never used: that user would see the requests,
  // or answer them.
  static bool told = false;
  if (!told)
    std::fprintf(stderr, "Sonavel: %s belongs to another user or is open to others; instances are not coordinated.\n",
                 dir.c_str());
  told = true;
  return std::string();
}

bool TakeInstanceLock(InstanceServer& s, const std::string& folder, bool* usable) {
  if (usable) *usable = false;
  if (folder.empty() || !PrivateFolder(folder)) return false;
  std::string lockPath = folder + "/instance.lock";
  int fd = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  if (usable) *usable = true;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return false;
  }
  s.LockFd = fd;
  s.Folder = folder;
  sockaddr_un addr;
  if (!SocketAddress(folder, &addr)) return true;
  // Only the lock holder binds, so a socket file left here belongs to a
  // process that has ended.
  ::unlink(addr.sun_path);
  int ls = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (ls < 0) return true;
  // A full queue refuses a second start outright while the window is busy;
  // silent connections in it are shed by their deadline, so keep it long.
  if (::bind(ls, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::chmod(addr.sun_path, 0600) != 0 ||
      ::listen(ls, SOMAXCONN) != 0) {
    ::close(ls);
    return true;
  }
  s.ListenFd = ls;
  return true;
}

void ReleaseInstance(InstanceServer& s) {
  if (s.ListenFd >= 0) {
    sockaddr_un addr;
    if (SocketAddress(s.Folder, &addr)) ::unlink(addr.sun_path);
    ::close(s.ListenFd);
  }
  if (s.LockFd >= 0) ::close(s.LockFd);  // closing releases the lock
  s = InstanceServer{};
}

HandOverResult HandOver(const std::string& folder, const std::string& cmdLine, int timeoutMs) {
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  sockaddr_un addr;
  if (folder.empty() || !SocketAddress(folder, &addr)) return HANDOVER_NONE;
  int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return HANDOVER_NONE;
  if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
    int err = errno;
    ::close(fd);
    // A full backlog means the first instance does not take its requests.
    return err == EAGAIN ? HANDOVER_BUSY : HANDOVER_NONE;
  }
  std::string text = cmdLine.substr(0, MAX_REQUEST);
  auto n = static_cast<uint32_t>(text.size());
  unsigned char len[4] = {static_cast<unsigned char>(n), static_cast<unsigned char>(n >> 8),
                          static_cast<unsigned char>(n >> 16), static_cast<unsigned char>(n >> 24)};
  unsigned char answer = 0;
  bool ok = Transfer(fd, len, 4, true, deadline) && Transfer(fd, text.data(), text.size(), true, deadline) &&
            Transfer(fd, &answer, 1, false, deadline);
  ::close(fd);
  if (!ok) return HANDOVER_BUSY;
  return answer == 0 ? HANDOVER_TAKEN : HANDOVER_REFUSED;
}

int AcceptSameUser(int listenFd) {
  if (listenFd < 0) return -1;
  for (;;) {
    int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
    if (fd < 0) {
      if (errno == EINTR || errno == ECONNABORTED) continue;
      return -1;
    }
    ucred cred{};
    socklen_t cl = sizeof cred;
    if (::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &cred, &cl) == 0 && cred.uid == ::getuid()) return fd;
    ::close(fd);
  }
}

bool AcceptConnection(InstanceServer& s, PendingRequest* p) {
  *p = PendingRequest{};
  p->Fd = AcceptSameUser(s.ListenFd);
  return p->Fd >= 0;
}

int ReadRequest(PendingRequest* p, std::string* cmdLine) {
  for (;;) {
    uint32_t n = p->Len[0] | (uint32_t(p->Len[1]) << 8) | (uint32_t(p->Len[2]) << 16) | (uint32_t(p->Len[3]) << 24);
    if (p->Got >= 4 && n > MAX_REQUEST) break;
    if (p->Got >= 4 && p->Got - 4 == n) {
      *cmdLine = std::move(p->Text);
      return 1;
    }
    if (p->Got >= 4 && p->Text.size() != n) p->Text.resize(n);
    unsigned char* to = p->Got < 4 ? p->Len + p->Got : reinterpret_cast<unsigned char*>(&p->Text[p->Got - 4]);
    size_t want = p->Got < 4 ? 4 - p->Got : n - (p->Got - 4);
    ssize_t k = ::recv(p->Fd, to, want, MSG_DONTWAIT);
    if (k < 0 && errno == EINTR) continue;
    if (k < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) return 0;
    if (k <= 0) break;
    p->Got += static_cast<size_t>(k);
  }
  ::close(p->Fd);
  p->Fd = -1;
  return -1;
}

bool AcceptRequest(InstanceServer& s, int* clientFd, std::string* cmdLine, int timeoutMs) {
  *clientFd = -1;
  PendingRequest p;
  if (!AcceptConnection(s, &p)) return false;
  auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  int r;
  while ((r = ReadRequest(&p, cmdLine)) == 0) {
    pollfd pf{p.Fd, POLLIN, 0};
    if (::poll(&pf, 1, RemainingMs(deadline)) <= 0 && RemainingMs(deadline) == 0) {
      ::close(p.Fd);
      return false;
    }
  }
  if (r < 0) return false;
  *clientFd = p.Fd;
  return true;
}

void AnswerRequest(int clientFd, int answer) {
  if (clientFd < 0) return;
  unsigned char b = static_cast<unsigned char>(answer);
  Transfer(clientFd, &b, 1, true, Clock::now() + std::chrono::milliseconds(500));
  ::close(clientFd);
}

}  // namespace plat
