// The preset file format: layout, limits, messages, and the file header.
//
// One format holds the preset store "Presets.tvk", exported single-preset
// files and the built-in presets. All integers are little-endian; text is
// single-byte with a terminating NUL.
//
// File header (136 bytes at offset 0):
//   OFFSET SIZE CONTENT
//   0      124  identification text (string 79 with 3 and 1:
//               "Sonavel File, created with version 3.1\r\n\x1a"), NUL padded;
//               readers do not check it
//   124    4    store flag: 1 header written for a store created by
//               conversion, 0 for an export file (and the built-in presets)
//   128    4    format version: 3; 2 is the earlier format
//   132    4    version of the writing program: build, minor, major, 0
//               (0x0003010C = 3.1.12); never checked
//
// Records follow at offset 136 up to the end of the file (or a size field of
// -1); record n is preset n of `Program`, deleted records included.
//
// Deleted record (5 bytes): int32 5, uint8 Deleted (1).
//
// Live record:
//   OFFSET    SIZE  CONTENT
//   0         1644  `PresetFixed` byte for byte (model.h has the offsets);
//                   RecordSize at 0 is the record's length; the places of
//                   the pointers, Loaded and LastUse are written as 0
//   1644      n     description with its NUL, 1 <= n <= 4096
//   1644+n    ...   curves of segment 0 .. NumSegments-1: for each of its
//                   36 + 14 x NumVoices parameters the 24-byte
//                   `ParamHeader` followed by NumNodes 8-byte `Node`s
//
// Sizes: a parameter takes 24 + 8 x NumNodes bytes (at most 824 = one
// in-memory `Param`); a segment at most 824 x (36 + 14 x NumVoices) =
// 29664 + 11536 x NumVoices (145024 with 10 voices); a record at most
// 1644 + 4096 + 25 x 145024 = 3631340 bytes.
#pragma once
#include <bit>
#include <cstddef>
#include <cstdint>
#include <string>

#include "file/fileio.h"
#include "main/model.h"

// Records are copied as the host lays them out.
static_assert(std::endian::native == std::endian::little, "preset records are stored in host byte order");

// Message ids (string table); %1 is the file's path.
enum FileMessage : int {
  FMSG_WRITE_FAILED = 1297,   // "Writing to file '%1' failed."
  FMSG_READ_FAILED = 1298,    // "Reading file '%1' failed."
  FMSG_OPEN_FAILED = 1299,    // "Unable to open file '%1'."
  FMSG_NEWER_VERSION = 1307,  // created with a newer version
  FMSG_DISK_FULL = 1308,      // not enough disk space
  FMSG_OLD_VERSION = 1311,    // earlier format; also how an old file is reported
  FMSG_NOT_VALID = 1316,      // "The file '%1' is not a Sonavel file, or it is corrupt."
  FMSG_CREATE_FAILED = 1450,  // "Unable to create file '%1'." (a new file, or one written anew)
};

constexpr int FILE_HEADER_SIZE = 136;
constexpr int32_t FILE_VERSION = 3;
constexpr int32_t OLD_FILE_VERSION = 2;
constexpr int32_t NEWEST_KNOWN_VERSION = 13;                       // 4..13: written by a newer program
constexpr uint32_t PROGRAM_VERSION = 0x0003010C;                   // 3.1.12
constexpr int FIXED_SIZE = static_cast<int>(sizeof(PresetFixed));  // 1644
constexpr int DELETED_RECORD_SIZE = 5;
constexpr int PARAM_HEADER_SIZE = static_cast<int>(sizeof(ParamHeader));  // 24
constexpr int NODE_SIZE = static_cast<int>(sizeof(Node));                 // 8
constexpr size_t SegmentCurveMax(int voices) { return sizeof(Param) * static_cast<size_t>(NSPAR + NVPAR * voices); }
constexpr int32_t MAX_RECORD_SIZE =
    FIXED_SIZE + DESCLEN + MAXSEGMENTS * static_cast<int32_t>(SegmentCurveMax(MAXVOICES));
static_assert(SegmentCurveMax(1) == 29664 + 11536 && SegmentCurveMax(MAXVOICES) == 145024);
static_assert(MAX_RECORD_SIZE == 3631340);
// Flags read as bytes (Deleted, IsSchedule, BuiltIn) accept 0..10.
constexpr int MAX_FLAG = 10;

struct FileHeader {
  char Text[124];
  int32_t StoreFlag;
  int32_t Version;
  uint32_t ProgramVersion;
};
static_assert(sizeof(FileHeader) == FILE_HEADER_SIZE);
static_assert(offsetof(FileHeader, StoreFlag) == 124 && offsetof(FileHeader, Version) == 128 &&
              offsetof(FileHeader, ProgramVersion) == 132);

// Little-endian fields inside byte images.
inline int32_t GetLE32(const unsigned char* p) {
  return static_cast<int32_t>(static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
                              static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24);
}
inline void PutLE32(unsigned char* p, int32_t v) {
  uint32_t u = static_cast<uint32_t>(v);
  p[0] = static_cast<unsigned char>(u);
  p[1] = static_cast<unsigned char>(u >> 8);
  p[2] = static_cast<unsigned char>(u >> 16);
  p[3] = static_cast<unsigned char>(u >> 24);
}

// 0, or the message for a failed write (1308 full disk, else 1297).
int WriteMessage(DevWriteResult r);
// The text of message id with the file's path as %1; when a file could not
// be opened, created or written (1297, 1299, 1450), the system's reason
// follows ("... No such file or directory."), so that a missing file, a
// read-only folder and a folder named like the file read apart.
std::string FileMessageText(int id, const std::string& path);

// The header this version writes (text, store flag, version 3, 3.1.12).
void MakeFileHeader(FileHeader& h, int storeFlag);
// Writes a new header at offset 0: 0, 1297 or 1308.
int WriteFileHeader(ByteDev& dev, int storeFlag);
// Reads and checks the header from offset 0 and leaves the device at the
// first record: 0 for version 3; 1311 for the earlier format (callers that
// convert old files test for it); 1307 for versions 4..13; 1316 for any other
// version; 1298 when fewer than 136 bytes can be read. `h` may be null.
int ReadFileHeader(ByteDev& dev, FileHeader* h);

// Opens a preset file: read only (the file must exist) or for writing (the
// store "open always", an export file "create always"). A new header is
// written first when newHeaderStoreFlag is 0 or 1 (-1: none), then the header
// is read back and checked. Returns 0 with the device open, or the message
// (1299 when the file cannot be opened) with the device closed.
int OpenPresetFile(ByteDev& dev, const char* path, DevOpenMode mode, int newHeaderStoreFlag, FileHeader* h);
