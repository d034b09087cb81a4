// The record walk: list building, compaction and finding record n.
#include "file/filewalk.h"

#include <cstdio>
#include <cstring>

#include "assert/check.h"

namespace {

// Outcome of reading one size field.
struct SizeField {
  int64_t Start = 0;  // position of the field
  int32_t Size = 0;
  bool End = false;  // end of file, or the -1 end mark
};

// Reads the size field at the current position and checks it against the
// file: 0 or the message.
int ReadSizeField(ByteDev& dev, int64_t fileSize, SizeField& f) {
  f.Start = DevTell(dev);
  if (f.Start < 0) return FMSG_READ_FAILED;
  unsigned char raw[4];
  int64_t got = DevRead(dev, raw, sizeof raw);
  if (got < 0) return FMSG_READ_FAILED;
  if (got == 0) {
    f.End = true;
    return 0;
  }
  if (got < 4) return FMSG_READ_FAILED;
  f.Size = GetLE32(raw);
  if (f.Size == -1) {
    f.End = true;
    return 0;
  }
  // A record holds at least its size field and the Deleted byte.
  if (f.Size < DELETED_RECORD_SIZE || f.Size > MAX_RECORD_SIZE) return FMSG_NOT_VALID;
  // A record cut short by the end of the file would only be found missing
  // when it is read; report the file as unreadable now.
  if (f.Start + f.Size > fileSize) return FMSG_READ_FAILED;
  return 0;
}

// Reads the flags and the name of the record whose size field was just read
// (the device stands after the size field) into e when given.
int ReadListFields(ByteDev& dev, const SizeField& f, PresetFixed* e, bool whole, bool* deleted) {
  uint8_t flag;
  if (DevRead(dev, &flag, 1) != 1) return FMSG_READ_FAILED;
  if (flag > MAX_FLAG) return FMSG_NOT_VALID;
  *deleted = flag != 0;
  if (e) {
    e->RecordSize = f.Size;
    e->Deleted = flag;
    e->Loaded = 0;
    e->LastUse = 0;
  }
  if (*deleted) return 0;
  // Name, IsSchedule and BuiltIn: bytes 5..262 of a live record, which is
  // never shorter than its fixed part and an empty description.
  if (f.Size < FIXED_SIZE + 1) return FMSG_NOT_VALID;
  if (whole && e) {
    unsigned char* rest = reinterpret_cast<unsigned char*>(e) + 5;
    constexpr int64_t kRest = FIXED_SIZE - 5;
    if (DevRead(dev, rest, kRest) != kRest) return FMSG_READ_FAILED;
    if (e->IsSchedule > MAX_FLAG || e->BuiltIn > MAX_FLAG) return FMSG_NOT_VALID;
    e->RecordSize = f.Size;
    e->Deleted = 0;
    e->Name[NAMELEN - 1] = 0;
    e->Loaded = 0;
    e->LastUse = 0;
    return 0;
  }
  unsigned char raw[NAMELEN + 2];
  if (DevRead(dev, raw, sizeof raw) != static_cast<int64_t>(sizeof raw)) return FMSG_READ_FAILED;
  uint8_t isSchedule = raw[NAMELEN], builtIn = raw[NAMELEN + 1];
  if (isSchedule > MAX_FLAG || builtIn > MAX_FLAG) return FMSG_NOT_VALID;
  if (e) {
    std::memcpy(e->Name, raw, NAMELEN);
    e->Name[NAMELEN - 1] = 0;
    e->IsSchedule = isSchedule;
    e->BuiltIn = builtIn;
  }
  return 0;
}

int SeekTo(ByteDev& dev, int64_t pos) { return DevSeek(dev, pos, SEEK_SET) == pos ? 0 : FMSG_READ_FAILED; }

}  // namespace

int WalkPresetList(ByteDev& dev, const WalkHooks& hooks, WalkCounts* counts) {
  WalkCounts local;
  if (!counts) counts = &local;
  *counts = WalkCounts{};
  int64_t fileSize = DevSize(dev);
  if (fileSize < 0) return FMSG_READ_FAILED;
  if (int r = SeekTo(dev, FILE_HEADER_SIZE)) return r;

  for (;;) {
    SizeField f;
    if (int r = ReadSizeField(dev, fileSize, f)) return r;
    if (f.End) return 0;
    if (counts->Records >= MAXPROGRAMS) return FMSG_NOT_VALID;
    int index = counts->Records;
    PresetFixed* e = hooks.Entry ? hooks.Entry(hooks.Ctx, index) : nullptr;
    bool deleted = false;
    if (int r = ReadListFields(dev, f, e, hooks.WholeFixedPart, &deleted)) return r;
    if (deleted) ++counts->Deleted;

    if (deleted && hooks.RemoveDeleted) {
      if (int r = hooks.RemoveDeleted(hooks.Ctx, dev, f.Start, f.Size)) return r;
      // The record must really be gone, or the walk would never end.
      int64_t newSize = DevSize(dev);
      int64_t removed = fileSize - newSize;
      if (!TVK_CHECK(removed == f.Size, removed)) return FMSG_WRITE_FAILED;
      fileSize = newSize;
      if (int r = SeekTo(dev, f.Start)) return r;
      continue;
    }
    ++counts->Records;
    if (int r = SeekTo(dev, f.Start + f.Size)) return r;
  }
}

namespace {

PresetFixed* SummaryEntry(void* ctx, int index) {
  auto* list = static_cast<std::vector<PresetFixed>*>(ctx);
  if (static_cast<int>(list->size()) <= index) list->resize(static_cast<size_t>(index) + 1);
  PresetFixed* e = &(*list)[static_cast<size_t>(index)];
  std::memset(e, 0, sizeof *e);
  return e;
}

}  // namespace

int ReadRecordSummaries(const char* path, std::vector<PresetFixed>* list) {
  list->clear();
  ByteDev dev;
  if (int rc = OpenPresetFile(dev, path, DEV_OPEN_READ, -1, nullptr)) return rc;
  WalkHooks hooks;
  hooks.Ctx = list;
  hooks.Entry = SummaryEntry;
  hooks.WholeFixedPart = true;
  int rc = WalkPresetList(dev, hooks, nullptr);
  DevClose(dev);
  return rc;
}

int FindRecord(ByteDev& dev, int n, int32_t* size) {
  *size = -1;
  if (!TVK_CHECK(n >= 0 && n <= MAXPROGRAMS, n)) return FMSG_READ_FAILED;
  int64_t fileSize = DevSize(dev);
  if (fileSize < 0) return FMSG_READ_FAILED;
  if (int r = SeekTo(dev, FILE_HEADER_SIZE)) return r;

  for (int i = 0;; ++i) {
    SizeField f;
    if (int r = ReadSizeField(dev, fileSize, f)) return r;
    if (f.End) {
      // The end is the place to append record n, when n comes next.
      if (i != n) return FMSG_READ_FAILED;
      return SeekTo(dev, f.Start);
    }
    if (i == n) {
      *size = f.Size;
      return SeekTo(dev, f.Start);
    }
    if (int r = SeekTo(dev, f.Start + f.Size)) return r;
  }
}
