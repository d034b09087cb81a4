#include "file/storefile.h"

#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "file/fileformat.h"
#include "file/fileio.h"

namespace {

std::string TempPathFor(const std::string& path) { return path + ".new"; }

// Makes the finished temporary file the new `path`.
int Commit(ByteDev& dev, const std::string& temp, const std::string& path) {
  int rc = 0;
  if (::fsync(dev.Fd) != 0) rc = errno == ENOSPC || errno == EDQUOT ? FMSG_DISK_FULL : FMSG_WRITE_FAILED;
  DevClose(dev);
  if (rc == 0 && std::rename(temp.c_str(), path.c_str()) != 0) rc = FMSG_WRITE_FAILED;
  if (rc) {
    std::remove(temp.c_str());
    return rc;
  }
  SyncFolderOf(path);
  return 0;
}

}  // namespace

int ReplaceFileWith(const std::string& path, const void* data, size_t size) {
  std::string temp = TempPathFor(path);
  ByteDev dev;
  if (!DevOpenFile(dev, temp.c_str(), DEV_CREATE_ALWAYS)) return FMSG_OPEN_FAILED;
  if (int rc = WriteMessage(DevWrite(dev, data, size))) {
    DevClose(dev);
    std::remove(temp.c_str());
    return rc;
  }
  return Commit(dev, temp, path);
}

int RewriteFileRange(const std::string& path, int64_t cutStart, int64_t cutEnd, const void* insert, size_t insertLen) {
  ByteDev in;
  if (!DevOpenFile(in, path.c_str(), DEV_OPEN_READ)) return FMSG_OPEN_FAILED;
  int64_t size = DevSize(in);
  if (size < 0 || cutStart < 0 || cutEnd < cutStart || cutEnd > size) {
    DevClose(in);
    return FMSG_READ_FAILED;
  }
  std::string temp = TempPathFor(path);
  ByteDev out;
  if (!DevOpenFile(out, temp.c_str(), DEV_CREATE_ALWAYS)) {
    DevClose(in);
    return FMSG_OPEN_FAILED;
  }
  std::vector<unsigned char> buf(1 << 20);
  auto copy = [&](int64_t from, int64_t to) -> int {
    if (DevSeek(in, from, SEEK_SET) != from) return FMSG_READ_FAILED;
    while (from < to) {
      size_t want = static_cast<size_t>(std::min<int64_t>(to - from, static_cast<int64_t>(buf.size())));
      int64_t got = DevRead(in, buf.data(), want);
      if (got != static_cast<int64_t>(want)) return FMSG_READ_FAILED;
      if (int rc = WriteMessage(DevWrite(out, buf.data(), want))) return rc;
      from += got;
    }
    return 0;
  };
  int rc = copy(0, cutStart);
  if (!rc && insertLen) rc = WriteMessage(DevWrite(out, insert, insertLen));
  if (!rc) rc = copy(cutEnd, size);
  DevClose(in);
  if (rc) {
    DevClose(out);
    std::remove(temp.c_str());
    return rc;
  }
  return Commit(out, temp, path);
}

void SyncFolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  std::string dir = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
  int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
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
