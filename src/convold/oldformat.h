// The earlier preset file format (format version 2) and its reader.
//
// Files of the previous major version allow fewer segments, voices,
// parameters and nodes, store nodes differently and name backgrounds by a
// code. All integers are little-endian; text is single-byte with a NUL.
//
// File header (136 bytes): 128 bytes of text (not checked), the format
// version (int32, 2) at 128 and the writing program's version (uint32) at 132.
//
// Records follow at offset 136 up to the end of the file (or a size field of
// -1), framed as in the current format: an int32 record size (the field
// included), then a deleted flag byte; deleted records are 5 bytes.
//
// Live record:
//   OFFSET  SIZE  CONTENT
//   0       4     record size
//   4       1     deleted flag (0)
//   5       256   preset name, NUL-terminated
//   261     1     flag byte (0..10), not converted
//   262     1     flag byte (0..10), not converted
//   264     4     place of the description pointer
//   276     576   16 segment entries of 36 bytes (layout below)
//   852     1     number of segments, 1..16
//   853     1     background code (signed byte, see oldmap.h)
//   854     442   path of the user's background WAV file (code -1), NUL-terminated
//   1296    4     place of the in-memory loaded flag
//   1300    n     description with its NUL, 1 <= n <= 4096
//   1300+n  ...   curve data, segment by segment
//
// Segment entry (36 bytes):
//   4       1     number of voices, 1..4
//   9       4     one flag byte per voice (set: 180 degrees sound modulation phase)
//   13      4     one waveform code per voice (0..5)
//   17      3     segment name, NUL-terminated
//   20      4     length in whole minutes (int32)
//   24      4     repeat count (int32)
//
// Curve data of a segment: 6 + 5 x voices parameters (6 segment-wide, then 5
// per voice), each a 184-byte header followed by its 12-byte nodes:
//   header  0 number of nodes (2..32); 1 Tracking (0..10); 2 type, the kind of
//           parameter tracked (0..92 accepted, 0..10 meaningful); 4, 48, 92,
//           136 four arrays of 11 int32 (intercept, slope, lower and upper
//           limit), indexed by the type; 180 tracking mode (0..10)
//   node    0 value (int32); 4 position 0..10000 (int16); 8 weight (0..20);
//           9 symmetric (0..10); 6-7 and 10-11 padding
//
// Units of the old values: volumes and depths in whole percent, beat
// frequencies in hundredths of a hertz (1500 = 15.00 Hz), pitches in whole
// hertz, modulation periods in milliseconds.
//
// Main thread only.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "file/fileformat.h"

constexpr int OLD_FIXED_SIZE = 1300;
constexpr int OLD_MAX_SEGMENTS = 16;
constexpr int OLD_MAX_VOICES = 4;
constexpr int OLD_MIN_NODES = 2;
constexpr int OLD_MAX_NODES = 32;
constexpr int OLD_SEG_PARAMS = 6;
constexpr int OLD_VOICE_PARAMS = 5;
constexpr int OLD_PARAM_HEADER_SIZE = 184;
constexpr int OLD_NODE_SIZE = 12;
constexpr int OLD_TYPES = 11;     // entries of each settings array
constexpr int OLD_MAX_TYPE = 92;  // the largest type the old reader accepted
constexpr int OLD_MAX_WAVEFORM = 5;
constexpr int OLD_MAX_MINUTES = MAXSEGLENGTH / 100;  // a length the current record can hold
constexpr int OLD_MAX_RECORDS = 1000;                // live records; the store holds no more
constexpr int OLD_NEWEST_VERSION = 12;               // 3..12: a newer program's file

// Offsets inside a live record and a segment entry.
constexpr int OLD_OFF_NAME = 5;
constexpr int OLD_OFF_FLAG1 = 261;
constexpr int OLD_OFF_FLAG2 = 262;
constexpr int OLD_OFF_SEGMENTS = 276;
constexpr int OLD_SEGMENT_SIZE = 36;
constexpr int OLD_OFF_NUMSEGMENTS = 852;
constexpr int OLD_OFF_BACKGROUND = 853;
constexpr int OLD_OFF_PATH = 854;
constexpr int OLD_PATH_FIELD = 1296 - OLD_OFF_PATH;  // 442
constexpr int OLD_SEG_OFF_VOICES = 4;
constexpr int OLD_SEG_OFF_FLAGS = 9;
constexpr int OLD_SEG_OFF_WAVEFORMS = 13;
constexpr int OLD_SEG_OFF_NAME = 17;
constexpr int OLD_SEG_OFF_LENGTH = 20;
constexpr int OLD_SEG_OFF_REPEAT = 24;
constexpr int OLD_PRM_OFF_SETTINGS = 4;
constexpr int OLD_PRM_OFF_MODE = 180;
static_assert(OLD_OFF_SEGMENTS + OLD_MAX_SEGMENTS * OLD_SEGMENT_SIZE == OLD_OFF_NUMSEGMENTS);
static_assert(OLD_PRM_OFF_SETTINGS + 4 * OLD_TYPES * 4 == OLD_PRM_OFF_MODE);

constexpr int OldSegParamCount(int voices) { return OLD_SEG_PARAMS + OLD_VOICE_PARAMS * voices; }
constexpr int32_t OLD_MAX_RECORD_SIZE =
    OLD_FIXED_SIZE + DESCLEN +
    OLD_MAX_SEGMENTS * OldSegParamCount(OLD_MAX_VOICES) * (OLD_PARAM_HEADER_SIZE + OLD_MAX_NODES * OLD_NODE_SIZE);
static_assert(OLD_MAX_RECORD_SIZE == 241684);

// Settings arrays of an old parameter header, in this order.
enum OldSetting { OLD_INTERCEPT = 0, OLD_SLOPE, OLD_MINLIMIT, OLD_MAXLIMIT };

struct OldNode {
  int32_t Value;
  int16_t Position;
  uint8_t Weight;
  uint8_t Symmetric;
};

struct OldParam {
  uint8_t NumNodes;
  uint8_t Tracking;
  uint8_t Type;
  uint8_t Mode;  // byte 180
  int32_t Setting[4][OLD_TYPES];
  OldNode Node[OLD_MAX_NODES];
};

struct OldSegment {
  uint8_t NumVoices;
  uint8_t VoiceFlag[OLD_MAX_VOICES];
  uint8_t Waveform[OLD_MAX_VOICES];  // as stored; codes above 5 are kept for the mapping to judge
  char Name[3];
  int32_t Minutes;
  int32_t Repeat;
  int FirstParam;  // index of the segment's first parameter in OldRecord::Params
};

struct OldRecord {
  char Name[NAMELEN];
  int8_t BackgroundCode;
  bool PathFits;  // the WAV path ends within its field and fits BackgroundFile
  char BackgroundPath[NAMELEN];
  uint8_t NumSegments;
  OldSegment Segment[OLD_MAX_SEGMENTS];
  std::string Description;       // at most 4095 characters
  std::vector<OldParam> Params;  // every segment's parameters, in order
};

// Reads the header from offset 0 and leaves the device at the first record:
// 0 for version 2; 1307 for versions 3..12; 1316 for any other version; 1298
// when fewer than 136 bytes can be read.
int ReadOldHeader(ByteDev& dev);

// Called after each record with the share of the file read so far (0..75);
// true stops the reading.
using OldReadProgress = bool (*)(void* ctx, int position);

// Reads every live record after the header, in order, checking each one
// (oldread.cpp lists the checks). Returns 0, a message (1298 short or failed
// read, 1316 a value outside its range), or -1 when progress asked to stop;
// on a fault *out is left empty.
int ReadOldRecords(ByteDev& dev, std::vector<OldRecord>* out, OldReadProgress progress, void* ctx);
