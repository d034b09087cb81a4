// Debug records: what the program knew when an internal error happened.
//
// Every failed check and every noteworthy failure of the report machinery
// adds one record to a ring; the report dialog sends the kept records to the
// report server or saves them as one file, newest first. A record is the
// fixed head below, then up to two preset images in the preset file format.
// All fields are little-endian (the head is written as it lies in memory on
// the little-endian machines the program runs on):
//
//   OFFSET SIZE CONTENT
//   0      4    run identifier: nonzero, drawn once per run
//   4      16   local time: year, month, weekday, day, hour, minute, second,
//               millisecond as eight uint16
//   20     12   version 3, 1, 12 (three int32)
//   32     64   text of the failed expression, NUL-padded (63 characters kept)
//   96     256  names of values 1..4, 64 bytes each, NUL-padded
//   352    16   values 1..4 (int32)
//   368    4    last system error (errno)
//   372    32   source module name, NUL-padded
//   404    4    line number
//   408    4    SelProgram
//   412    4    NumPrograms
//   416    8    two reserved words, 0
//   424    4    smooth full-screen flashing available (1) or not (0)
//   428    116  the options record: the 19 advanced options, then ten 0 words
//   544    12   visual output: mode, colour count, 0
//   556    184  the global VisOpt record
//   740    4    s1: length of the selected preset's image, 0 when none
//   744    4    s2: length of the edited preset's image, 0 when none, -1 when
//               it equals the selected preset's image and is left out
//   748    s1   image of the selected preset
//   748+s1 s2   image of the edited preset (only when s2 > 0)
//
// The length as sent and saved is 751 + s1 + s2 (s2 counted as -1 when it is
// -1); the bytes after the images are zero.
//
// Any thread may add records (a mutex guards the ring); the sources that
// describe the program's state are called on the adding thread.
#pragma once
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <vector>

struct DebugRecordHead {
  int32_t RunId;
  uint16_t Time[8];
  int32_t Version[3];
  char Expr[64];
  char Names[4][64];
  int32_t Values[4];
  int32_t LastError;
  char Module[32];
  int32_t Line;
  int32_t SelProgram;
  int32_t NumPrograms;
  int32_t Reserved[2];
  int32_t DirectDraw;
  int32_t Options[29];
  int32_t VisualMode[3];
  unsigned char VisOpt[184];
  int32_t S1;
  int32_t S2;
};
static_assert(sizeof(DebugRecordHead) == 748);
static_assert(offsetof(DebugRecordHead, Time) == 4 && offsetof(DebugRecordHead, Version) == 20 &&
              offsetof(DebugRecordHead, Expr) == 32 && offsetof(DebugRecordHead, Names) == 96 &&
              offsetof(DebugRecordHead, Values) == 352 && offsetof(DebugRecordHead, LastError) == 368 &&
              offsetof(DebugRecordHead, Module) == 372 && offsetof(DebugRecordHead, Line) == 404 &&
              offsetof(DebugRecordHead, SelProgram) == 408 && offsetof(DebugRecordHead, NumPrograms) == 412 &&
              offsetof(DebugRecordHead, Reserved) == 416 && offsetof(DebugRecordHead, DirectDraw) == 424 &&
              offsetof(DebugRecordHead, Options) == 428 && offsetof(DebugRecordHead, VisualMode) == 544 &&
              offsetof(DebugRecordHead, VisOpt) == 556 && offsetof(DebugRecordHead, S1) == 740 &&
              offsetof(DebugRecordHead, S2) == 744);

constexpr int DEBUG_RING_SLOTS = 100;  // at most 99 records are kept
constexpr int DEBUG_RECORD_MIN = 751;  // a record without preset images

// Where a record's state comes from. State fills SelProgram .. VisOpt of the
// head; Images gives the selected preset's image and the edited copy's
// (empty when there is none). Either may be null.
struct DebugSources {
  void (*State)(DebugRecordHead* head) = nullptr;
  void (*Images)(std::string* selected, std::string* edited) = nullptr;
};
void SetDebugSources(const DebugSources& s);

struct DebugPair {
  const char* Name;
  int64_t Value;
};

// Adds a record with up to four (name, value) pairs. Any thread.
void AddDebugRecord(bool withPresets, const char* module, int line, const char* expr, int lastError,
                    std::initializer_list<DebugPair> pairs = {});

// The head of a record made now, without presets: the run identifier, the
// time, the version, the texts and the state. Any thread.
DebugRecordHead MakeDebugHead(const char* module, int line, const char* expr, int lastError,
                              std::initializer_list<DebugPair> pairs = {});
// Adds a record made elsewhere (a crash of an earlier run) as it is.
void AddRawDebugRecord(const std::string& record);

// Number of kept records. Any thread.
int DebugRecordCount();

// A copy of a kept record, delivered (sent or saved) outside the ring's lock
// so that a slow network or disk never holds up a thread adding a record.
struct KeptDebugRecord {
  int Slot;         // its slot in the ring (the "i" of a failed save)
  uint64_t Serial;  // tells the record from a later one in the same slot
  std::string Bytes;
};
// The kept records, newest first. Any thread.
std::vector<KeptDebugRecord> KeptDebugRecords();
// Frees the kept record `r` is a copy of, once it has been delivered; nothing
// when the ring has dropped it meanwhile. Any thread.
void ReleaseDebugRecord(const KeptDebugRecord& r);
// The ring's next slot (TopData). Any thread.
int DebugRingTop();
// Drops every record (tests).
void ClearDebugRecords();
