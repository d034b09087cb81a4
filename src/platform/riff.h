// RIFF chunk I/O, standing in for the multimedia file services: writing a
// file chunk by chunk (create a chunk, write its data, ascend to patch its
// size) and walking the chunks of a RIFF image in memory.
//
// Chunk layout: OFFSET 0 SIZE 4 id ("RIFF", "fmt ", "data", ...); OFFSET 4
// SIZE 4 little-endian length of the data; OFFSET 8 the data, padded to an
// even length. A "RIFF" or "LIST" chunk's data starts with a 4-byte form type.
// Not for the audio thread (system calls).
#pragma once
#include <cstddef>
#include <cstdint>

namespace plat {

enum RiffResult { RIFF_OK = 0, RIFF_FAILED = 1, RIFF_DISKFULL = 2 };

struct RiffWriter {
  int Fd = -1;
  int Depth = 0;
  int64_t Start[4] = {};  // file offset of each open chunk's size field
  int64_t Pos = 0;
  int LastErrno = 0;
};

// Creates (truncates) the file; false when it cannot be created.
bool RiffCreate(RiffWriter& w, const char* path);
// Writes to an already open descriptor (stdout, a pipe); sizes are patched
// only when the descriptor can seek.
void RiffAttach(RiffWriter& w, int fd);
// Starts a chunk; formType (e.g. "WAVE") only for "RIFF"/"LIST". The size
// field first holds `declaredSize` (the expected length, for streams that
// cannot seek back) and is patched with the real length on ascending.
RiffResult RiffCreateChunk(RiffWriter& w, const char id[4], const char* formType = nullptr, uint32_t declaredSize = 0);
RiffResult RiffWrite(RiffWriter& w, const void* data, size_t bytes);
// Ends the innermost chunk: pads to even length and writes its size.
RiffResult RiffAscend(RiffWriter& w);
// Closes the file; RIFF_FAILED when closing reported an error.
RiffResult RiffClose(RiffWriter& w);

inline void PutLE16(unsigned char* p, uint16_t v) {
  p[0] = static_cast<unsigned char>(v);
  p[1] = static_cast<unsigned char>(v >> 8);
}
inline void PutLE32(unsigned char* p, uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<unsigned char>(v >> (8 * i));
}
inline uint16_t GetLE16(const unsigned char* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t GetLE32(const unsigned char* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// A chunk found in a memory image. Data never extends past the image: a
// chunk whose declared size runs past the end is cut at the end and marked.
struct RiffChunk {
  char Id[5];
  uint32_t DeclaredSize;
  const unsigned char* Data;
  size_t Size;  // bytes of data actually present
  bool Truncated;
};

// Finds the first chunk `id` among the chunks in [begin, begin+size); false
// when there is none. Chunks are walked by their declared sizes (padded to
// even), stopping at the end of the image.
bool RiffFind(const unsigned char* begin, size_t size, const char id[4], RiffChunk* out);

}  // namespace plat
