// Walking the records of a preset file by their size fields.
//
// Every walk starts at offset 136 and reads each record's size field. The
// list ends at the end of the file or at a size field of -1. Faults: a size
// field of 1-3 bytes, a failed read or seek, or a record that runs past the
// end of the file is 1298; a size of 0, below -1, below 5 or above
// MAX_RECORD_SIZE is 1316, and so is a 1001st record (a store never holds
// more than 1000 records, and `Program` has room for no more). The largest
// record the writer can build, MAX_RECORD_SIZE bytes, is accepted.
//
// Main thread only.
#pragma once
#include <cstdint>
#include <vector>

#include "file/fileformat.h"

struct WalkHooks {
  void* Ctx = nullptr;
  // List building: the array entry that receives record `index`, or nullptr
  // to only check the record. The walk sets RecordSize and Deleted, and for a
  // live record Name (byte 255 forced to NUL), IsSchedule and BuiltIn; it
  // clears Loaded and LastUse. Other fields are left alone.
  PresetFixed* (*Entry)(void* ctx, int index) = nullptr;
  // With Entry: read the whole fixed part of a live record (its segments,
  // background and colours too, as they lie; only the name is made safe),
  // for listings that show more than names. The store's own walk reads the
  // name and flags only.
  bool WholeFixedPart = false;
  // Compaction: removes the deleted record at [start, start + size) from the
  // file, so that the following records move up by size, and returns 0 or a
  // message. The walk then continues at start under the same index.
  int (*RemoveDeleted)(void* ctx, ByteDev& dev, int64_t start, int32_t size) = nullptr;
};

struct WalkCounts {
  int Records = 0;  // records indexed, deleted ones included (not removed ones)
  int Deleted = 0;  // deleted records seen, removed ones included
};

// Walks every record in list-building mode (Deleted, IsSchedule and BuiltIn
// at most 10, else 1316). Returns 0 or the message; counts may be null.
int WalkPresetList(ByteDev& dev, const WalkHooks& hooks, WalkCounts* counts);

// The records of the file at `path` with their whole fixed parts (deleted
// ones included), for listings. 0 or the message.
int ReadRecordSummaries(const char* path, std::vector<PresetFixed>* list);

// Finds record n (0..1000): leaves the device at its start and returns its
// size in *size. When the list ends exactly at n, the device is left at the
// end (the place to append) and *size is -1; when it ends before n, 1298.
int FindRecord(ByteDev& dev, int n, int32_t* size);
