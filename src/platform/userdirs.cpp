#include "platform/userdirs.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace plat {

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/') return home;
  long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buf(size > 0 ? static_cast<size_t>(size) : 16384);
  passwd pw{}, *found = nullptr;
  if (::getpwuid_r(::getuid(), &pw, buf.data(), buf.size(), &found) == 0 && found && pw.pw_dir && pw.pw_dir[0] == '/')
    return pw.pw_dir;
  return "";
}

bool OwnFolder(const std::string& path, unsigned mode, bool privateOnly) {
  if (path.empty() || path[0] != '/') return false;
  for (size_t i = 1; i <= path.size(); ++i)
    if (i == path.size() || path[i] == '/') {
      if (::mkdir(path.substr(0, i).c_str(), static_cast<mode_t>(mode)) != 0 && errno != EEXIST) return false;
    }
  struct stat st;
  if (::lstat(path.c_str(), &st) != 0) return false;
  return S_ISDIR(st.st_mode) && st.st_uid == ::getuid() && (st.st_mode & (privateOnly ? 077 : 022)) == 0;
}

std::string UserFolderFrom(const char* varValue, const std::string& home, const std::string& tmp, const char* homePath,
                           const std::string& sub, bool privateOnly) {
  // The user's own places, as the user set them up: made by the caller.
  if (varValue && varValue[0] == '/') return std::string(varValue) + "/" + sub;
  if (!home.empty()) return home + "/" + homePath + "/" + sub;
  const unsigned mode = privateOnly ? 0700 : 0755;
  std::string dir = tmp + "/" + sub + "-" + std::to_string(::getuid());
  if (OwnFolder(dir, mode, privateOnly)) return dir;
  std::string own = dir + "-XXXXXX";
  if (!::mkdtemp(own.data())) return "";
  std::fprintf(stderr, "Sonavel: %s belongs to another user or is open to others; using %s for now.\n", dir.c_str(),
               own.c_str());
  return own;
}

std::string UserFolder(const char* var, const char* homePath, const std::string& sub, bool privateOnly) {
  const char* tmp = std::getenv("TMPDIR");
  return UserFolderFrom(var ? std::getenv(var) : nullptr, HomeFolder(), tmp && tmp[0] == '/' ? tmp : "/tmp", homePath,
                        sub, privateOnly);
}

}  // namespace plat
