// Converting an old file into a current export file on disk, through a
// temporary file beside the destination that only a complete conversion
// renames into place.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "convold/convold.h"
#include "file/fileformat.h"
#include "file/storefile.h"

namespace {

constexpr int kInUse = 1300;  // "File '%1' is currently being used by Sonavel. You can not export over it."

// A new file gets the permissions any created file gets (0666 less the
// umask), not mkstemp's 0600.
void GivePermissions(int fd) {
  mode_t mask = ::umask(0);
  ::umask(mask);
  ::fchmod(fd, 0666 & ~mask);
}

int FlushMessage() { return errno == ENOSPC || errno == EDQUOT ? FMSG_DISK_FULL : FMSG_WRITE_FAILED; }

}  // namespace

int ConvertOldFile(const char* inPath, const char* outPath, const ConvertProgress* progress, ConvertOutcome* outcome) {
  ConvertOutcome local;
  if (!outcome) outcome = &local;
  *outcome = ConvertOutcome{};
  outcome->MessagePath = inPath;

  // The old file is only ever read.
  if (SameFile(inPath, outPath)) {
    outcome->MessagePath = outPath;
    return kInUse;
  }
  ByteDev in;
  if (!DevOpenFile(in, inPath, DEV_OPEN_READ)) return FMSG_OPEN_FAILED;

  std::string temp = std::string(outPath) + ".XXXXXX";
  std::vector<char> name(temp.begin(), temp.end());
  name.push_back(0);
  int fd = ::mkstemp(name.data());
  if (fd < 0) {
    DevClose(in);
    outcome->MessagePath = outPath;
    return FMSG_OPEN_FAILED;
  }
  ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  GivePermissions(fd);
  ByteDev out = DevFromFd(fd);

  bool outputFault = false;
  int rc = ConvertOldToDevice(in, out, progress, &outcome->Count, &outputFault);
  DevClose(in);
  if (rc == 0 && ::fsync(fd) != 0) {
    rc = FlushMessage();
    outputFault = true;
  }
  DevClose(out);
  if (rc == 0 && std::rename(name.data(), outPath) != 0) {
    rc = FMSG_WRITE_FAILED;
    outputFault = true;
  }
  if (rc) {
    std::remove(name.data());
    outcome->Count = 0;
    if (outputFault) outcome->MessagePath = outPath;
    return rc;
  }
  SyncFolderOf(outPath);
  return 0;
}
