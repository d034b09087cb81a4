#include "platform/regfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace plat {

int OpenRegularFile(const char* path) {
  int fd = ::open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st;
  int err = 0;
  if (::fstat(fd, &st) != 0)
    err = errno;
  else if (!S_ISREG(st.st_mode))
    err = ENOTREGULAR;
  else if (::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK) != 0)
    err = errno;
  if (err) {
    ::close(fd);
    errno = err;
    return -1;
  }
  return fd;
}

const char* ErrorText(int err) { return err == ENOTREGULAR ? "It is not a regular file" : std::strerror(err); }

bool ReadAllLimited(int fd, size_t limit, std::string* out) {
  out->clear();
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) return true;
    if (static_cast<size_t>(n) > limit - out->size()) {
      errno = E2BIG;
      return false;
    }
    out->append(buf, static_cast<size_t>(n));
  }
}

}  // namespace plat
