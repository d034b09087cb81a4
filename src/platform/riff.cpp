#include "platform/riff.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace plat {

namespace {

RiffResult WriteAll(RiffWriter& w, const void* data, size_t bytes) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  while (bytes > 0) {
    ssize_t n = ::write(w.Fd, p, bytes);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      w.LastErrno = n < 0 ? errno : ENOSPC;  // a zero-byte write means no room
      return w.LastErrno == ENOSPC || w.LastErrno == EDQUOT ? RIFF_DISKFULL : RIFF_FAILED;
    }
    p += n;
    bytes -= static_cast<size_t>(n);
    w.Pos += n;
  }
  return RIFF_OK;
}

}  // namespace

bool RiffCreate(RiffWriter& w, const char* path) {
  w = RiffWriter{};
  w.Fd = ::open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  w.LastErrno = w.Fd < 0 ? errno : 0;
  return w.Fd >= 0;
}

void RiffAttach(RiffWriter& w, int fd) {
  w = RiffWriter{};
  w.Fd = fd;
}

RiffResult RiffCreateChunk(RiffWriter& w, const char id[4], const char* formType, uint32_t declaredSize) {
  if (w.Fd < 0 || w.Depth >= 4) return RIFF_FAILED;
  unsigned char head[12];
  std::memcpy(head, id, 4);
  PutLE32(head + 4, declaredSize);
  size_t n = 8;
  if (formType) {
    std::memcpy(head + 8, formType, 4);
    n = 12;
  }
  w.Start[w.Depth++] = w.Pos + 4;
  return WriteAll(w, head, n);
}

RiffResult RiffWrite(RiffWriter& w, const void* data, size_t bytes) {
  if (w.Fd < 0) return RIFF_FAILED;
  return WriteAll(w, data, bytes);
}

RiffResult RiffAscend(RiffWriter& w) {
  if (w.Fd < 0 || w.Depth == 0) return RIFF_FAILED;
  int64_t sizeAt = w.Start[--w.Depth];
  int64_t length = w.Pos - (sizeAt + 4);
  if (length & 1) {
    unsigned char pad = 0;
    if (RiffResult r = WriteAll(w, &pad, 1)) return r;
  }
  if (length > 0xFFFFFFFFll) return RIFF_FAILED;
  unsigned char size[4];
  PutLE32(size, static_cast<uint32_t>(length));
  // A pipe cannot be patched; its reader sees the sizes as 0, which
  // streaming readers take as "to the end".
  if (::lseek(w.Fd, 0, SEEK_CUR) < 0) return RIFF_OK;
  if (::pwrite(w.Fd, size, 4, sizeAt) != 4) {
    w.LastErrno = errno;
    return RIFF_FAILED;
  }
  return RIFF_OK;
}

RiffResult RiffClose(RiffWriter& w) {
  if (w.Fd < 0) return RIFF_OK;
  int fd = w.Fd;
  w.Fd = -1;
  if (fd <= 2) return RIFF_OK;  // attached standard streams stay open
  if (::close(fd) != 0) {
    w.LastErrno = errno;
    return w.LastErrno == ENOSPC ? RIFF_DISKFULL : RIFF_FAILED;
  }
  return RIFF_OK;
}

bool RiffFind(const unsigned char* begin, size_t size, const char id[4], RiffChunk* out) {
  size_t pos = 0;
  while (size - pos >= 8) {
    uint32_t declared = GetLE32(begin + pos + 4);
    size_t avail = size - pos - 8;
    if (std::memcmp(begin + pos, id, 4) == 0) {
      std::memcpy(out->Id, id, 4);
      out->Id[4] = 0;
      out->DeclaredSize = declared;
      out->Data = begin + pos + 8;
      out->Truncated = declared > avail;
      out->Size = out->Truncated ? avail : declared;
      return true;
    }
    uint64_t next = static_cast<uint64_t>(declared) + (declared & 1u);
    if (next > avail) return false;
    pos += 8 + static_cast<size_t>(next);
  }
  return false;
}

}  // namespace plat
