// Opening files that must be regular files, for reading, without waiting:
// a FIFO given where a file is read would block the open until a writer
// came, and a device such as /dev/zero never ends. Any thread.
#pragma once
#include <cstdint>
#include <string>

namespace plat {

// An errno-style value beyond the system's: the path names no regular file
// (a FIFO, a device, a socket, a folder).
constexpr int ENOTREGULAR = 4096;

// Opens `path` read-only (close-on-exec, blocking reads) when it is a regular
// file; -1 with errno set otherwise (ENOTREGULAR when it is something else).
int OpenRegularFile(const char* path);

// The system's text for an errno value, or "It is not a regular file" for
// ENOTREGULAR.
const char* ErrorText(int err);

// Reads the whole of `fd` (a pipe, standard input) into *out, at most
// `limit` bytes: false with errno set on a read failure, E2BIG when there is
// more than `limit`.
bool ReadAllLimited(int fd, size_t limit, std::string* out);

}  // namespace plat
