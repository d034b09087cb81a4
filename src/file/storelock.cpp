// Sharing the store with other processes: the lock file with its change
// counter, the identity of a version of the store file, and the refresh of
// the index when another process changed it.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>

#include "assert/check.h"
#include "file/fileformat.h"
#include "file/storefile.h"
#include "file/storeint.h"

int StoreLockTimeoutMs = 10000;
void (*StoreRefreshed)(void* ctx, bool rebuilt) = nullptr;
void* StoreRefreshedCtx = nullptr;
StoreStamp KnownStamp;

namespace {

int gLockFd = -1;
int gLockDepth = 0;

// "Presets.tvk.lock" beside the file the store path finally names.
std::string LockPath() { return ResolveLinks(StorePath()) + ".lock"; }

uint64_t ReadCounter(int fd) {
  unsigned char raw[8] = {};
  if (::pread(fd, raw, sizeof raw, 0) != static_cast<ssize_t>(sizeof raw)) return 0;
  uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = v << 8 | raw[i];
  return v;
}

int64_t Nanos(const timespec& t) { return static_cast<int64_t>(t.tv_sec) * 1000000000 + t.tv_nsec; }

void SleepMs(int ms) {
  timespec t{ms / 1000, static_cast<long>(ms % 1000) * 1000000};
  ::nanosleep(&t, nullptr);
}

// Opens (creating) the lock file at `path` and waits for the exclusive lock:
// 0, FMSG_OPEN_FAILED (FileOsError says why) or STORE_BUSY.
int TakeLock(const std::string& path, int* fdOut) {
  for (int waited = 0, pause = 1;;) {
    int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
      SetFileOsError(errno);
      return FMSG_OPEN_FAILED;
    }
    while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
      if (errno != EWOULDBLOCK && errno != EINTR) {
        // A file system without locks: working unlocked would be worse than
        // refusing, because two writers would lose each other's changes.
        SetFileOsError(errno);
        ::close(fd);
        return FMSG_OPEN_FAILED;
      }
      if (waited >= StoreLockTimeoutMs) {
        ::close(fd);
        return STORE_BUSY;
      }
      SleepMs(pause);
      waited += pause;
      pause = pause < 32 ? pause * 2 : 32;
    }
    // Someone may have removed the lock file while we waited: a lock on a
    // file no longer at the path excludes nobody.
    struct stat held, now;
    if (::fstat(fd, &held) == 0 && ::stat(path.c_str(), &now) == 0 && held.st_ino == now.st_ino &&
        held.st_dev == now.st_dev) {
      *fdOut = fd;
      return 0;
    }
    ::close(fd);
  }
}

uint64_t BumpCounter(int fd) {
  uint64_t v = ReadCounter(fd) + 1;
  unsigned char raw[8];
  for (int i = 0; i < 8; ++i) raw[i] = static_cast<unsigned char>(v >> (8 * i));
  // Only a hint of change: the file's own identity still tells a reader if
  // this write is lost in a crash.
  if (::pwrite(fd, raw, sizeof raw, 0) != static_cast<ssize_t>(sizeof raw)) return 0;
  return v;
}

}  // namespace

StoreStamp ReadStoreStamp(int fd) {
  StoreStamp s;
  if (gLockFd >= 0) {
    s.Counter = ReadCounter(gLockFd);
  } else {
    int lfd = ::open(LockPath().c_str(), O_RDONLY | O_CLOEXEC);
    if (lfd >= 0) {
      s.Counter = ReadCounter(lfd);
      ::close(lfd);
    }
  }
  struct stat st;
  int r = fd >= 0 ? ::fstat(fd, &st) : ::stat(StorePath().c_str(), &st);
  if (r != 0) return s;
  s.Valid = true;
  s.Dev = static_cast<uint64_t>(st.st_dev);
  s.Ino = static_cast<uint64_t>(st.st_ino);
  s.Size = static_cast<int64_t>(st.st_size);
  s.MtimeNs = Nanos(st.st_mtim);
  s.CtimeNs = Nanos(st.st_ctim);
  return s;
}

uint64_t BumpStoreCounter() {
  if (gLockFd < 0) return 0;  // a store that could not be locked is not written either
  return BumpCounter(gLockFd);
}

int LockOutputTarget(const std::string& target, int* fd) {
  *fd = -1;
  std::string path = target + ".lock";
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return 0;  // no store in use there
  // This process's own store operation holds that lock already.
  if (gLockFd >= 0 && SameFile(path, LockPath())) return 0;
  return TakeLock(path, fd);
}

void UnlockOutputTarget(int fd, bool changed) {
  if (fd < 0) return;
  if (changed) BumpCounter(fd);
  ::close(fd);
}

int AcquireStoreLock(StoreUi* ui) {
  if (gLockDepth > 0) {
    ++gLockDepth;
    return 0;
  }
  int fd = -1;
  if (int rc = TakeLock(LockPath(), &fd)) {
    SetStoreMessagePath(rc == STORE_BUSY ? StorePath() : LockPath());
    return rc;
  }
  gLockFd = fd;
  gLockDepth = 1;
  // Under the lock no writer is at work: a temporary file of the store is
  // what a killed writer left.
  RemoveStaleTemps(StorePath());
  if (NumPrograms > 0 || KnownStamp.Valid) {
    bool changed = false;
    if (int rc = RefreshStore(ui, &changed)) {
      ReleaseStoreLock();
      return rc;
    }
  }
  return 0;
}

void ReleaseStoreLock() {
  if (!TVK_CHECK(gLockDepth > 0, gLockDepth)) return;
  if (--gLockDepth > 0) return;
  ::close(gLockFd);  // closing gives the lock back
  gLockFd = -1;
}

int LockStore(StoreUi* ui) { return AcquireStoreLock(ui); }
void UnlockStore() { ReleaseStoreLock(); }
