#include "platform/filesync.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>

namespace plat {

namespace {
std::atomic<int> gFailure{0};
}  // namespace

int SyncFile(int fd) {
  if (int err = gFailure.load()) return err;
  return ::fsync(fd) == 0 ? 0 : errno;
}

void SetSyncFileFailure(int err) { gFailure = err; }

}  // namespace plat
