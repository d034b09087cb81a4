// Internal interface between the parts of the preset store.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "file/fileread.h"
#include "file/store.h"
#include "main/model.h"

void SetStoreMessagePath(const std::string& path);
// A warning through ui's Warn, else its Inform; nothing without either.
void StoreWarn(StoreUi* ui, const std::string& text);
// Converts a store of the earlier format in place (backup, conversion, new
// store). 0 or a message.
int ConvertOldStore(StoreUi* ui);
// Checks a preset's library background when its curves are read (1331,
// 1332); a missing background becomes AMBIX_NONE.
void CheckPresetBackground(Preset& p, StoreUi* ui);
// Converts an old-format file and hands each converted preset to sink.
int ImportOldFile(const std::string& path, PresetSink sink, void* ctx);
// Installed by the conversion module; null until then (old files are 1311).
extern int (*StoreConvertOldStore)(StoreUi* ui);
extern int (*StoreImportOldFile)(const std::string& path, PresetSink sink, void* ctx);

// --- What this process knows of the file ---------------------------------------
// Beside each array entry the store keeps where its record is in the file as
// this process last saw it. While only this process writes, FileRec is the
// entry's own index; another process's change may move records (a
// compaction) or add them, and the refresh maps entries to records anew.
struct EntryState {
  int FileRec = -1;       // record index in the file; -1 when the file has none for it
  std::string FileName;   // the name the file gives it, to find it again
  uint64_t FileHash = 0;  // hash of the record's bytes when its curves were read or written; 0 unknown
  uint64_t MemHash = 0;   // hash of the preset's own image right then: a later difference is an unsaved edit
};
EntryState& EntryOf(int i);
// Entries 0..n-1 are records 0..n-1 with the names the walk put in Program.
void ResetEntries(int n);
// Counts the refreshes that assigned indexes anew (too many entries to keep
// them): an operation that held an index from before must find its preset
// again by name.
extern uint64_t StoreRebuilds;
// Index of the live entry whose name is exactly these bytes, or -1.
int EntryNamed(const std::string& name);

// The identity of one version of the store file: the change counter kept in
// the lock file and the file's own identity (a replacement is a new inode;
// inode numbers can be reused, so size and times count too).
struct StoreStamp {
  bool Valid = false;
  uint64_t Counter = 0;
  uint64_t Dev = 0, Ino = 0;
  int64_t Size = 0, MtimeNs = 0, CtimeNs = 0;
  bool operator==(const StoreStamp&) const = default;
};
// Reads the counter, then describes the file open on fd (or at the store
// path when fd < 0). Counter first: a writer bumps it after its rename, so a
// stamp can only be older than the file it describes, never newer.
StoreStamp ReadStoreStamp(int fd);
// The version this process last read or wrote.
extern StoreStamp KnownStamp;

// Takes the store's exclusive lock (nesting) for a change: 0, 1299 (no lock
// file can be made: the folder is read-only), or STORE_BUSY after
// StoreLockTimeoutMs. The first level removes temporary files killed writers
// left and refreshes the index when another process changed the file.
int AcquireStoreLock(StoreUi* ui);
void ReleaseStoreLock();
// Bumps the change counter (under the lock, after the file was replaced).
uint64_t BumpStoreCounter();

// Opens the store for reading and refreshes the index when the file is not
// the version this process knows. dev stays open on the file read (the
// caller closes it); 0 or a message.
int OpenCurrentStore(ByteDev& dev, StoreUi* ui);

// --- Changing the file -----------------------------------------------------------
// One record written by a change: the image of array entry Entry (a 5-byte
// hole when it is deleted), over its record or appended.
struct RecordEdit {
  int Entry = -1;
  bool Append = false;
  std::vector<unsigned char> Image;
};
// Writes the store anew with the edits, in one replacement of the file, from
// the file as it is (the caller holds the lock, so it is the version the
// index describes). Updates the entries' states and KnownStamp. 0 or a
// message; on failure the file and the array are as they were.
int CommitEdits(std::vector<RecordEdit>& edits);
// The image of entry i as it is in memory (its curves must be resident).
int EntryImage(int i, std::vector<unsigned char>* image);
// Appends an array entry for the fixed part of an image (not loaded).
int AppendEntry(const unsigned char* image, size_t size);
// Index of the live entry that was record `rec` of the file, or -1.
int EntryOfRecord(int rec);
// FNV-1a hash of a byte range.
uint64_t HashBytes(const void* data, size_t size, uint64_t h = 14695981039346656037ull);
