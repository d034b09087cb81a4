// Making a written file durable. The write of a full or failing device may
// only be refused here, so a caller that frees what it wrote must wait for
// this. Tests inject a failure, as no ordinary folder refuses an fsync.
// Any thread.
#pragma once

namespace plat {

// fsync(fd): 0, or the errno of the failure.
int SyncFile(int fd);
// Makes every SyncFile fail with `err` (0: the real fsync again). Tests.
void SetSyncFileFailure(int err);

}  // namespace plat
