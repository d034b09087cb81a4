#include "file/storefile.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <vector>

#include "file/fileformat.h"

int SafeOutputBudget = -1;

namespace {

constexpr const char* kTempMark = ".tmp-";

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}

int OpenFailed(int err) {
  SetFileOsError(err);
  return FMSG_OPEN_FAILED;
}

int CreateFailed(int err) {
  SetFileOsError(err);
  return FMSG_CREATE_FAILED;
}

int WriteFailed(int err) {
  SetFileOsError(err);
  return err == ENOSPC || err == EDQUOT ? FMSG_DISK_FULL : FMSG_WRITE_FAILED;
}

// Creates "<target>.tmp-XXXXXX" with O_EXCL and mode 0666, so that the
// umask gives a new file the mode any created file gets.
int CreateTemp(const std::string& target, std::string* name) {
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    static const char digits[] = "0123456789abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ";
    uint64_t seed = static_cast<uint64_t>(::getpid()) * 2654435761u ^ (++counter * 0x9E3779B97F4A7C15ull);
    timespec ts;
    ::clock_gettime(CLOCK_REALTIME, &ts);
    seed ^= static_cast<uint64_t>(ts.tv_nsec) << 16 ^ static_cast<uint64_t>(ts.tv_sec);
    std::string n = target + kTempMark;
    for (int i = 0; i < 6; ++i) {
      n += digits[seed % 62];
      seed /= 62;
    }
    int fd = ::open(n.c_str(), O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) {
      *name = n;
      return fd;
    }
    if (errno != EEXIST) return -1;
  }
  errno = EEXIST;
  return -1;
}

}  // namespace

std::string ResolveLinks(const std::string& path) {
  std::string p = path;
  for (int hops = 0; hops < 40; ++hops) {
    struct stat st;
    if (::lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    std::vector<char> buf(static_cast<size_t>(st.st_size > 0 ? st.st_size : PATH_MAX) + 1);
    ssize_t n = ::readlink(p.c_str(), buf.data(), buf.size() - 1);
    if (n < 0) return p;
    std::string link(buf.data(), static_cast<size_t>(n));
    p = link[0] == '/' ? link : FolderOf(p) + "/" + link;
  }
  return p;
}

int BeginSafeOutput(SafeOutput& out, const std::string& path) {
  out = SafeOutput{};
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) {
    // Not there yet, or a link to a file not there yet: created where the
    // link points.
    out.Target = ResolveLinks(path);
  } else if (S_ISDIR(st.st_mode)) {
    return CreateFailed(EISDIR);
  } else if (!S_ISREG(st.st_mode)) {
    // Devices, FIFOs and terminals take the data as it comes; they are never
    // renamed over or emptied first.
    int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) return OpenFailed(errno);
    out.Target = path;
    out.Dev = DevFromFd(fd);
    return 0;
  } else {
    char real[PATH_MAX];
    out.Target = ::realpath(path.c_str(), real) ? std::string(real) : ResolveLinks(path);
    out.Existed = true;
    out.Mode = st.st_mode & 07777;
    out.Uid = st.st_uid;
    out.Gid = st.st_gid;
  }
  if (int rc = LockOutputTarget(out.Target, &out.LockFd)) return rc;
  int fd = CreateTemp(out.Target, &out.Temp);
  if (fd < 0) {
    int err = errno;
    UnlockOutputTarget(out.LockFd, false);
    out.LockFd = -1;
    return CreateFailed(err);
  }
  out.Dev = DevFromFd(fd);
  return 0;
}

void AbandonSafeOutput(SafeOutput& out) {
  DevClose(out.Dev);
  if (!out.Temp.empty()) ::unlink(out.Temp.c_str());
  out.Temp.clear();
  UnlockOutputTarget(out.LockFd, false);
  out.LockFd = -1;
}

int FinishSafeOutput(SafeOutput& out) {
  if (SafeOutputBudget == 0) {
    AbandonSafeOutput(out);
    return WriteFailed(ENOSPC);
  }
  if (SafeOutputBudget > 0) --SafeOutputBudget;
  int fd = out.Dev.Fd;
  if (out.Temp.empty()) {
    // In place: a device may not flush (EINVAL), which is no failure.
    int rc = ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS ? WriteFailed(errno) : 0;
    DevClose(out.Dev);
    return rc;
  }
  if (out.Existed) {
    // The replacement is the same file to its users: its owner where
    // permitted (else at least its group), then its mode.
    if (::fchown(fd, out.Uid, out.Gid) != 0 && ::fchown(fd, static_cast<uid_t>(-1), out.Gid) != 0) {
    }
    ::fchmod(fd, out.Mode);
  }
  if (::fsync(fd) != 0) {
    int err = errno;
    AbandonSafeOutput(out);
    return WriteFailed(err);
  }
  DevClose(out.Dev);
  if (std::rename(out.Temp.c_str(), out.Target.c_str()) != 0) {
    int err = errno;
    AbandonSafeOutput(out);
    return WriteFailed(err);
  }
  out.Temp.clear();
  SyncFolderOf(out.Target);
  UnlockOutputTarget(out.LockFd, true);
  out.LockFd = -1;
  return 0;
}

int ReplaceFileWith(const std::string& path, const void* data, size_t size) {
  SafeOutput out;
  if (int rc = BeginSafeOutput(out, path)) return rc;
  if (int rc = WriteMessage(DevWrite(out.Dev, data, size))) {
    AbandonSafeOutput(out);
    return rc;
  }
  return FinishSafeOutput(out);
}

int RewriteFileRange(const std::string& path, int64_t cutStart, int64_t cutEnd, const void* insert, size_t insertLen) {
  ByteDev in;
  if (!DevOpenFile(in, path.c_str(), DEV_OPEN_READ)) return OpenFailed(errno);
  int64_t size = DevSize(in);
  if (size < 0 || cutStart < 0 || cutEnd < cutStart || cutEnd > size) {
    DevClose(in);
    return FMSG_READ_FAILED;
  }
  SafeOutput out;
  if (int rc = BeginSafeOutput(out, path)) {
    DevClose(in);
    return rc;
  }
  std::vector<unsigned char> buf(1 << 20);
  auto copy = [&](int64_t from, int64_t to) -> int {
    if (DevSeek(in, from, SEEK_SET) != from) return FMSG_READ_FAILED;
    while (from < to) {
      size_t want = static_cast<size_t>(std::min<int64_t>(to - from, static_cast<int64_t>(buf.size())));
      int64_t got = DevRead(in, buf.data(), want);
      if (got != static_cast<int64_t>(want)) return FMSG_READ_FAILED;
      if (int rc = WriteMessage(DevWrite(out.Dev, buf.data(), want))) return rc;
      from += got;
    }
    return 0;
  };
  int rc = copy(0, cutStart);
  if (!rc && insertLen) rc = WriteMessage(DevWrite(out.Dev, insert, insertLen));
  if (!rc) rc = copy(cutEnd, size);
  DevClose(in);
  if (rc) {
    AbandonSafeOutput(out);
    return rc;
  }
  return FinishSafeOutput(out);
}

void RemoveStaleTemps(const std::string& path) {
  std::string target = ResolveLinks(path);
  std::string dir = FolderOf(target);
  std::string base = target.substr(target.find_last_of('/') + 1);
  std::string prefix = base + kTempMark;
  ::unlink((target + ".new").c_str());
  DIR* d = ::opendir(dir.c_str());
  if (!d) return;
  while (dirent* e = ::readdir(d)) {
    if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) == 0 && std::strlen(e->d_name) == prefix.size() + 6)
      ::unlinkat(::dirfd(d), e->d_name, 0);
  }
  ::closedir(d);
}

void SyncFolderOf(const std::string& path) {
  int fd = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd >= 0) {
    ::fsync(fd);
    ::close(fd);
  }
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa, sb;
  if (::stat(a.c_str(), &sa) == 0 && ::stat(b.c_str(), &sb) == 0)
    return sa.st_dev == sb.st_dev && sa.st_ino == sb.st_ino;
  char ra[PATH_MAX], rb[PATH_MAX];
  const char* pa = ::realpath(a.c_str(), ra) ? ra : a.c_str();
  const char* pb = ::realpath(b.c_str(), rb) ? rb : b.c_str();
  return ::strcasecmp(pa, pb) == 0;
}
