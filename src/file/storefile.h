// Writing files so that they are replaced whole or not at all.
//
// A regular file (or one not there yet) is written as a new file beside it
// under a unique name ("<name>.tmp-XXXXXX"), flushed, given the old file's
// mode (and owner where the system permits) and renamed over it; then the
// folder is flushed. So a crash, a kill or a full disk leaves the old or the
// new file, never a torn one, and two writers never share a temporary file.
//
// The path is what the user named, so what it is survives: a symbolic link is
// followed (its target is replaced, the link stays), and a target that is not
// a regular file (a device such as /dev/null, a FIFO) is written in place,
// since renaming over it would destroy it. A folder is refused (1450).
//
// A file that is a store in use ("<file>.lock" beside it: sonavel-cli's
// build, new or convert aimed at a store) is replaced under that store's lock
// and counts as its change (storelock), so that no store operation of another
// process works on the old file meanwhile, and a process holding the store
// reads it again. The store's own operations hold the lock already.
//
// Main thread only (one writer per SafeOutput).
#pragma once
#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "file/fileio.h"

struct SafeOutput {
  ByteDev Dev;           // write the new content here
  std::string Target;    // the file replaced, links followed
  std::string Temp;      // the temporary file; empty when writing in place
  bool Existed = false;  // the target was there: its mode and owner are kept
  mode_t Mode = 0;
  uid_t Uid = 0;
  gid_t Gid = 0;
  int LockFd = -1;  // the lock of the store being replaced, when held here
};

// Opens the output for `path`: 0, 1299 (a device or FIFO that cannot be
// opened, or a store's lock file), 1450 (the file cannot be made there; the
// reason is in FileOsError()) or 1480 (a store another process is changing,
// past StoreLockTimeoutMs).
int BeginSafeOutput(SafeOutput& out, const std::string& path);
// Flushes what was written and puts it in place: 0, 1297 or 1308. The
// temporary file is gone afterwards either way.
int FinishSafeOutput(SafeOutput& out);
// Gives up: the temporary file is removed, the target stays as it was.
void AbandonSafeOutput(SafeOutput& out);

// Writes `path` anew from `size` bytes at `data`. 0, 1297, 1299, 1308 or
// 1450.
int ReplaceFileWith(const std::string& path, const void* data, size_t size);
// Rewrites `path` as: its bytes [0, cutStart), then `insert`, then its bytes
// from cutEnd to the end. The tail is streamed, so a store of any size can be
// rewritten. 0 or 1297, 1298, 1299, 1308.
int RewriteFileRange(const std::string& path, int64_t cutStart, int64_t cutEnd, const void* insert, size_t insertLen);

// The file a path finally names: symbolic links followed (relative ones from
// the link's folder), up to 40 of them. The result may not exist yet.
std::string ResolveLinks(const std::string& path);
// Removes the temporary files a killed writer of `path` left behind (and the
// earlier fixed name "<name>.new"). Only safe while no other writer of the
// same file can be at work, that is under the store's lock.
void RemoveStaleTemps(const std::string& path);

// Flushes the folder holding `path`, so that a rename into it survives a
// crash.
void SyncFolderOf(const std::string& path);
// Whether two paths name the same file (the same inode, or when either does
// not exist, the same absolute path without regard to case).
bool SameFile(const std::string& a, const std::string& b);

// For a target that is a store in use: takes its lock (*fd; -1 when there
// is none to take, or this process holds it). 0, 1299 or 1480. The unlock
// bumps the store's change counter when the file was replaced.
int LockOutputTarget(const std::string& target, int* fd);
void UnlockOutputTarget(int fd, bool changed);

// Fault injection for tests: the number of outputs that may still be finished
// before one fails as a full disk (-1: no limit).
extern int SafeOutputBudget;
