// Byte devices: the one seam through which preset files are read and written.
//
// A device is a POSIX file descriptor, a read-only view of memory, or a
// growable memory buffer. The readers and writers of the preset file format
// see only these calls, so a whole file image can be parsed from memory
// (fuzzing, the built-in presets) and a test can make writes fail after a
// given number of bytes.
//
// Results: reads return the number of bytes delivered (fewer than asked only
// at the end of the data) or -1 on failure; writes tell a full disk apart from
// other failures, because the user is told to free disk space in that case.
// Main thread only (a device is not shared between threads).
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

enum DevKind : uint8_t { DEV_NONE, DEV_FD, DEV_MEMORY, DEV_BUFFER };

// How a file is opened: read only and must exist; read-write, created when
// missing ("open always"); read-write, created or emptied ("create always").
enum DevOpenMode : uint8_t { DEV_OPEN_READ, DEV_OPEN_ALWAYS, DEV_CREATE_ALWAYS };

// Outcome of a write.
enum DevWriteResult : int { DEV_WRITE_OK = 0, DEV_WRITE_FAILED = 1, DEV_WRITE_DISKFULL = 2 };

struct ByteDev {
  DevKind Kind = DEV_NONE;
  int Fd = -1;                                // DEV_FD
  const unsigned char* Data = nullptr;        // DEV_MEMORY
  size_t Size = 0;                            // DEV_MEMORY
  std::vector<unsigned char>* Buf = nullptr;  // DEV_BUFFER
  int64_t Pos = 0;                            // memory devices
  // Fault injection: bytes that may still be written or read (-1 = no
  // limit). A write that passes the budget writes what the budget allows and
  // then fails with WriteErr as errno; a read that passes it fails with EIO.
  int64_t WriteBudget = -1;
  int WriteErr = 5;  // EIO
  int64_t ReadBudget = -1;
};

ByteDev DevFromFd(int fd);
ByteDev DevFromMemory(const void* data, size_t size);
ByteDev DevFromBuffer(std::vector<unsigned char>& buf);

// Opens a file as a device; false (errno set) when it cannot be opened.
// Reading takes only a regular file (plat::ENOTREGULAR for a FIFO, a device
// or a folder), or standard input for "-" where it is allowed
// (file/stdinput.h).
bool DevOpenFile(ByteDev& dev, const char* path, DevOpenMode mode);
// Closes a file device; memory devices are only detached.
void DevClose(ByteDev& dev);

// Reads up to n bytes at the current position: the count delivered (0 at the
// end) or -1 on failure.
int64_t DevRead(ByteDev& dev, void* buf, size_t n);
// Writes n bytes at the current position (a memory buffer grows, a gap is
// filled with zeros).
DevWriteResult DevWrite(ByteDev& dev, const void* buf, size_t n);
// Moves to an absolute (SEEK_SET), relative (SEEK_CUR) or end-relative
// (SEEK_END) position; the new position, or -1 when it would be negative or
// the system refuses. Positions beyond the end are allowed (reads there
// deliver nothing).
int64_t DevSeek(ByteDev& dev, int64_t offset, int whence);
int64_t DevTell(ByteDev& dev);
// The system's reason (an errno value) for the last file that could not be
// opened or written, for messages that say why; 0 when none was recorded.
int FileOsError();
void SetFileOsError(int err);

// Length of the data; -1 on failure.
int64_t DevSize(ByteDev& dev);
// Cuts the data at the current position (the end of a rewritten file).
bool DevTruncate(ByteDev& dev);
