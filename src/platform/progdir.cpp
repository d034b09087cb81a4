#include "platform/progdir.h"

#include <unistd.h>

#include <climits>
#include <cstring>

namespace plat {

std::string ProgramFolder() {
  char buf[PATH_MAX];
  ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return ".";
  buf[n] = 0;
  char* slash = std::strrchr(buf, '/');
  if (!slash) return ".";
  if (slash == buf) return "/";
  *slash = 0;
  return buf;
}

}  // namespace plat
