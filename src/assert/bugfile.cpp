#include "assert/bugfile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "assert/crash.h"
#include "assert/debugrec.h"
#include "platform/filesync.h"
#include "platform/instance.h"
#include "platform/userdirs.h"

namespace {

// 0, or the errno of the failing write (ENOSPC when nothing more went).
int WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n < 0 ? errno : ENOSPC;
    done += static_cast<size_t>(n);
  }
  return 0;
}

}  // namespace

std::string BugFilePath() {
  std::string dir = CrashFolder();
  if (dir.empty() || !plat::OwnFolder(dir, 0700, true)) dir = plat::InstanceFolder();
  return dir.empty() ? std::string() : dir + "/Bug.tvd";
}

BugFileResult SaveDebugRecords(const std::string& path) {
  // Written under a name of its own, readable by the user only, and renamed
  // over the old file once complete: nothing is written through a link or
  // into a file someone else made. A device or a FIFO there is written in
  // place (and never replaced).
  std::string temp;
  struct stat st;
  int fd = -1;
  if (!path.empty() && ::lstat(path.c_str(), &st) == 0 &&
      (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode) || S_ISFIFO(st.st_mode))) {
    fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
  } else if (!path.empty()) {
    temp = path + ".tmp-XXXXXX";
    fd = ::mkostemp(temp.data(), O_CLOEXEC);
  }
  if (fd < 0) {
    int err = path.empty() ? ENOENT : errno;
    AddDebugRecord(false, TVK_MODULE, 95, "", err);
    return {1450, err};
  }
  std::vector<KeptDebugRecord> kept = KeptDebugRecords();
  int err = 0;
  int stopped = -1;
  for (const KeptDebugRecord& r : kept) {
    if ((err = WriteAll(fd, r.Bytes)) != 0) {
      stopped = r.Slot;
      break;
    }
  }
  // A full device may only say so when the data reaches it: the records
  // stay kept until the file is known written, so the user can try again
  // or send them instead. (Devices that cannot sync, /dev/null, are fine.)
  if (!err) {
    err = plat::SyncFile(fd);
    if (err == EINVAL || err == EROFS) err = 0;
  }
  if (::close(fd) != 0 && !err) err = errno;
  if (!temp.empty()) {
    if (!err && ::rename(temp.c_str(), path.c_str()) != 0) err = errno;
    if (err) ::unlink(temp.c_str());
  }
  if (!err) {
    for (const KeptDebugRecord& r : kept) ReleaseDebugRecord(r);
    return {0, 0};
  }
  AddDebugRecord(false, TVK_MODULE, 142, "", err, {{"error", err}, {"i", stopped}, {"TopData", DebugRingTop()}});
  return {1451, err};
}
