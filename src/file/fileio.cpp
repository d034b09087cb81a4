// Byte devices over POSIX files and memory.
#include "file/fileio.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "file/stdinput.h"
#include "platform/regfile.h"

ByteDev DevFromFd(int fd) {
  ByteDev d;
  d.Kind = DEV_FD;
  d.Fd = fd;
  return d;
}

ByteDev DevFromMemory(const void* data, size_t size) {
  ByteDev d;
  d.Kind = DEV_MEMORY;
  d.Data = static_cast<const unsigned char*>(data);
  d.Size = data ? size : 0;
  return d;
}

ByteDev DevFromBuffer(std::vector<unsigned char>& buf) {
  ByteDev d;
  d.Kind = DEV_BUFFER;
  d.Buf = &buf;
  return d;
}

namespace {
int gOsError = 0;
}  // namespace

int FileOsError() { return gOsError; }
void SetFileOsError(int err) { gOsError = err; }

bool DevOpenFile(ByteDev& dev, const char* path, DevOpenMode mode) {
  if (mode == DEV_OPEN_READ) {
    if (std::strcmp(path, "-") == 0 && StandardInputAllowed()) {
      const std::vector<unsigned char>* image;
      if (!StandardInputImage(&image)) {
        gOsError = errno;
        return false;
      }
      dev = DevFromMemory(image->data(), image->size());
      return true;
    }
    // Only a regular file is read: a FIFO would block the open, a device
    // never end.
    int fd = plat::OpenRegularFile(path);
    if (fd < 0) {
      gOsError = errno;
      return false;
    }
    dev = DevFromFd(fd);
    return true;
  }
  int flags = O_CLOEXEC;
  switch (mode) {
    case DEV_OPEN_READ: break;
    case DEV_OPEN_ALWAYS: flags |= O_RDWR | O_CREAT; break;
    case DEV_CREATE_ALWAYS: flags |= O_RDWR | O_CREAT | O_TRUNC; break;
  }
  int fd = open(path, flags, 0666);
  if (fd < 0) {
    gOsError = errno;
    return false;
  }
  dev = DevFromFd(fd);
  return true;
}

void DevClose(ByteDev& dev) {
  if (dev.Kind == DEV_FD && dev.Fd >= 0) close(dev.Fd);
  dev = ByteDev{};
}

namespace {

int64_t MemLength(const ByteDev& dev) {
  return dev.Kind == DEV_MEMORY ? static_cast<int64_t>(dev.Size) : static_cast<int64_t>(dev.Buf->size());
}

const unsigned char* MemBytes(const ByteDev& dev) { return dev.Kind == DEV_MEMORY ? dev.Data : dev.Buf->data(); }

int64_t FdRead(int fd, unsigned char* p, size_t n) {
  size_t done = 0;
  while (done < n) {
    ssize_t r = read(fd, p + done, n - done);
    if (r < 0) {
      if (errno == EINTR) continue;
      return -1;
    }
    if (r == 0) break;
    done += static_cast<size_t>(r);
  }
  return static_cast<int64_t>(done);
}

// true when all n bytes were written; errno tells why not.
bool FdWrite(int fd, const unsigned char* p, size_t n) {
  size_t done = 0;
  while (done < n) {
    ssize_t r = write(fd, p + done, n - done);
    if (r < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (r == 0) {
      errno = EIO;
      return false;
    }
    done += static_cast<size_t>(r);
  }
  return true;
}

bool RawWrite(ByteDev& dev, const unsigned char* p, size_t n) {
  switch (dev.Kind) {
    case DEV_FD: return FdWrite(dev.Fd, p, n);
    case DEV_BUFFER: {
      size_t end = static_cast<size_t>(dev.Pos) + n;
      if (dev.Buf->size() < end) dev.Buf->resize(end);
      if (n) std::memcpy(dev.Buf->data() + dev.Pos, p, n);
      dev.Pos = static_cast<int64_t>(end);
      return true;
    }
    default: errno = EBADF; return false;
  }
}

DevWriteResult Classify(int err) {
  gOsError = err;
  // A quota is a full disk as far as the user is concerned.
  return (err == ENOSPC || err == EDQUOT) ? DEV_WRITE_DISKFULL : DEV_WRITE_FAILED;
}

}  // namespace

int64_t DevRead(ByteDev& dev, void* buf, size_t n) {
  if (dev.ReadBudget >= 0 && static_cast<int64_t>(n) > dev.ReadBudget) {
    errno = EIO;
    return -1;
  }
  int64_t got;
  if (dev.Kind == DEV_FD) {
    got = FdRead(dev.Fd, static_cast<unsigned char*>(buf), n);
  } else if (dev.Kind == DEV_MEMORY || dev.Kind == DEV_BUFFER) {
    int64_t len = MemLength(dev);
    int64_t avail = dev.Pos < len ? len - dev.Pos : 0;
    got = static_cast<int64_t>(n) < avail ? static_cast<int64_t>(n) : avail;
    if (got > 0) std::memcpy(buf, MemBytes(dev) + dev.Pos, static_cast<size_t>(got));
    dev.Pos += got;
  } else {
    errno = EBADF;
    return -1;
  }
  if (got > 0 && dev.ReadBudget >= 0) dev.ReadBudget -= got;
  return got;
}

DevWriteResult DevWrite(ByteDev& dev, const void* buf, size_t n) {
  const unsigned char* p = static_cast<const unsigned char*>(buf);
  if (dev.WriteBudget >= 0 && static_cast<int64_t>(n) > dev.WriteBudget) {
    size_t part = static_cast<size_t>(dev.WriteBudget);
    if (!RawWrite(dev, p, part)) return Classify(errno);
    dev.WriteBudget = 0;
    errno = dev.WriteErr;
    return Classify(dev.WriteErr);
  }
  if (!RawWrite(dev, p, n)) return Classify(errno);
  if (dev.WriteBudget >= 0) dev.WriteBudget -= static_cast<int64_t>(n);
  return DEV_WRITE_OK;
}

int64_t DevSeek(ByteDev& dev, int64_t offset, int whence) {
  if (dev.Kind == DEV_FD) {
    off_t r = lseek(dev.Fd, static_cast<off_t>(offset), whence);
    return r < 0 ? -1 : static_cast<int64_t>(r);
  }
  if (dev.Kind != DEV_MEMORY && dev.Kind != DEV_BUFFER) return -1;
  int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? dev.Pos : whence == SEEK_END ? MemLength(dev) : -1;
  if (base < 0) return -1;
  // Keep memory positions within what a file offset could be.
  if ((offset > 0 && base > INT64_MAX / 2 - offset) || base + offset < 0) {
    errno = EINVAL;
    return -1;
  }
  dev.Pos = base + offset;
  return dev.Pos;
}

int64_t DevTell(ByteDev& dev) { return DevSeek(dev, 0, SEEK_CUR); }

int64_t DevSize(ByteDev& dev) {
  if (dev.Kind == DEV_FD) {
    struct stat st;
    if (fstat(dev.Fd, &st) != 0) return -1;
    return static_cast<int64_t>(st.st_size);
  }
  if (dev.Kind != DEV_MEMORY && dev.Kind != DEV_BUFFER) return -1;
  return MemLength(dev);
}

bool DevTruncate(ByteDev& dev) {
  if (dev.Kind == DEV_FD) {
    off_t pos = lseek(dev.Fd, 0, SEEK_CUR);
    return pos >= 0 && ftruncate(dev.Fd, pos) == 0;
  }
  if (dev.Kind != DEV_BUFFER) {
    errno = EBADF;
    return false;
  }
  dev.Buf->resize(static_cast<size_t>(dev.Pos));
  return true;
}
