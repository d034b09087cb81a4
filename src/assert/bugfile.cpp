#include "assert/bugfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <vector>

#include "assert/debugrec.h"
#include "platform/filesync.h"

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
  const char* t = std::getenv("TMPDIR");
  std::string dir = t && *t ? t : "/tmp";
  if (dir.back() != '/') dir += '/';
  return dir + "Bug.tvd";
}

BugFileResult SaveDebugRecords(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd < 0) {
    int err = errno;
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
  if (!err) {
    for (const KeptDebugRecord& r : kept) ReleaseDebugRecord(r);
    return {0, 0};
  }
  AddDebugRecord(false, TVK_MODULE, 142, "", err, {{"error", err}, {"i", stopped}, {"TopData", DebugRingTop()}});
  return {1451, err};
}
