#include "assert/bugfile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "assert/debugrec.h"

namespace {

struct Writer {
  int Fd;
  int Err;
};

bool WriteRecord(const std::string& rec, void* ctx) {
  auto* w = static_cast<Writer*>(ctx);
  size_t done = 0;
  while (done < rec.size()) {
    ssize_t n = ::write(w->Fd, rec.data() + done, rec.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      w->Err = n < 0 ? errno : ENOSPC;
      return false;
    }
    done += static_cast<size_t>(n);
  }
  return true;
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
  Writer w{fd, 0};
  int stopped = DeliverDebugRecords(WriteRecord, &w);
  // A full device may only say so when the data reaches it.
  if (stopped < 0 && ::fsync(fd) != 0 && errno != EINVAL && errno != EROFS) w.Err = errno;
  if (::close(fd) != 0 && stopped < 0 && !w.Err) w.Err = errno;
  if (stopped < 0 && !w.Err) return {0, 0};
  AddDebugRecord(false, TVK_MODULE, 142, "", w.Err, {{"error", w.Err}, {"i", stopped}, {"TopData", DebugRingTop()}});
  return {1451, w.Err};
}
