// The store's index against the file: which record each array entry is,
// refreshing that after another process's change, and writing changes as
// one replacement of the file.
#include <cstring>
#include <map>
#include <vector>

#include "assert/check.h"
#include "file/fileformat.h"
#include "file/filewalk.h"
#include "file/filewrite.h"
#include "file/storefile.h"
#include "file/storeint.h"
#include "main/preset.h"

namespace {

std::vector<EntryState> gEntries;

std::string NameOfImage(const unsigned char* image, size_t size) {
  if (size < static_cast<size_t>(FIXED_SIZE) || image[4] != 0) return "";
  const char* name = reinterpret_cast<const char*>(image + offsetof(PresetFixed, Name));
  return std::string(name, strnlen(name, NAMELEN - 1));
}

// The records of a file as the list walk gives them, with where they are.
struct FileRecord {
  PresetFixed Fixed;
  int64_t Start = 0;
};
struct FileList {
  std::vector<FileRecord> Records;
  int64_t End = FILE_HEADER_SIZE;  // where a new record goes
};

PresetFixed* ListInto(void* ctx, int index) {
  auto* list = static_cast<FileList*>(ctx);
  if (static_cast<int>(list->Records.size()) <= index) list->Records.resize(static_cast<size_t>(index) + 1);
  return &list->Records[static_cast<size_t>(index)].Fixed;
}

// Walks the file on dev and notes each record's place.
int ListFile(ByteDev& dev, FileList* list) {
  list->Records.clear();
  WalkHooks hooks;
  hooks.Ctx = list;
  hooks.Entry = ListInto;
  if (int rc = WalkPresetList(dev, hooks, nullptr)) return rc;
  int64_t pos = FILE_HEADER_SIZE;
  for (FileRecord& r : list->Records) {
    r.Start = pos;
    pos += r.Fixed.RecordSize;
  }
  list->End = pos;
  return 0;
}

int ReadAt(ByteDev& dev, int64_t pos, size_t size, std::vector<unsigned char>* out) {
  out->resize(size);
  if (DevSeek(dev, pos, SEEK_SET) != pos) return FMSG_READ_FAILED;
  return DevRead(dev, out->data(), size) == static_cast<int64_t>(size) ? 0 : FMSG_READ_FAILED;
}

void TakeListFields(Preset& e, const PresetFixed& f) {
  e.RecordSize = f.RecordSize;
  e.Deleted = f.Deleted;
  std::memcpy(e.Name, f.Name, NAMELEN);
  e.IsSchedule = f.IsSchedule;
  e.BuiltIn = f.BuiltIn;
}

// Whether the loaded preset i differs from what was read or written last.
bool HasUnsavedEdits(int i) {
  std::vector<unsigned char> image;
  if (EntryImage(i, &image)) return true;  // cannot tell: keep it
  return HashBytes(image.data(), image.size()) != EntryOf(i).MemHash;
}

// Builds the index anew from the file (indexes assigned as the records lie).
void Rebuild(const FileList& list) {
  ++StoreRebuilds;
  for (int i = 0; i < NumPrograms; ++i) ReleasePreset(i);
  NumPrograms = 0;
  for (size_t r = 0; r < list.Records.size() && NumPrograms < MAXPROGRAMS; ++r) {
    if (!CommitProgramRecord(NumPrograms)) break;
    Preset& e = Program[NumPrograms];
    std::memset(static_cast<PresetFixed*>(&e), 0, sizeof(PresetFixed));
    e.Description = nullptr;
    e.ParamMem = nullptr;
    TakeListFields(e, list.Records[r].Fixed);
    ++NumPrograms;
  }
  ResetEntries(NumPrograms);
}

// Maps the entries onto the records of a file another process wrote.
// Returns true when the indexes had to be assigned anew.
bool MapOnto(ByteDev& dev, const FileList& list) {
  // Live records by name, in file order.
  std::map<std::string, std::vector<int>> byName;
  for (size_t r = 0; r < list.Records.size(); ++r)
    if (!list.Records[r].Fixed.Deleted) byName[list.Records[r].Fixed.Name].push_back(static_cast<int>(r));
  std::map<std::string, size_t> used;
  std::vector<bool> taken(list.Records.size(), false);

  for (int i = 0; i < NumPrograms; ++i) {
    EntryState& s = EntryOf(i);
    Preset& e = Program[i];
    if (s.FileRec < 0) continue;  // only in memory: untouched
    if (e.Deleted) {
      s.FileRec = -1;  // a hole may have been compacted away; it is never written again
      continue;
    }
    auto it = byName.find(s.FileName);
    int rec = -1;
    if (it != byName.end() && used[s.FileName] < it->second.size()) rec = it->second[used[s.FileName]++];
    if (rec < 0) {
      // Gone from the file. Unsaved edits stay in memory for a later save,
      // which appends them anew; anything else becomes a deleted entry.
      if (e.Loaded && HasUnsavedEdits(i)) {
        s.FileRec = -1;
        continue;
      }
      ReleasePreset(i);
      e.Deleted = 1;
      s = EntryState{};
      continue;
    }
    taken[static_cast<size_t>(rec)] = true;
    const FileRecord& fr = list.Records[static_cast<size_t>(rec)];
    s.FileRec = rec;
    if (e.Loaded) {
      std::vector<unsigned char> raw;
      bool same = s.FileHash != 0 && ReadAt(dev, fr.Start, static_cast<size_t>(fr.Fixed.RecordSize), &raw) == 0 &&
                  HashBytes(raw.data(), raw.size()) == s.FileHash;
      if (same || HasUnsavedEdits(i)) continue;  // memory is what the file holds, or newer
      ReleasePreset(i);
    }
    TakeListFields(e, fr.Fixed);
    s.FileHash = s.MemHash = 0;
  }

  int added = 0;
  for (size_t r = 0; r < list.Records.size(); ++r)
    if (!list.Records[r].Fixed.Deleted && !taken[r]) ++added;
  if (NumPrograms + added > MAXPROGRAMS) {
    Rebuild(list);
    return true;
  }
  for (size_t r = 0; r < list.Records.size(); ++r) {
    if (list.Records[r].Fixed.Deleted || taken[r]) continue;
    if (!CommitProgramRecord(NumPrograms)) return false;
    Preset& e = Program[NumPrograms];
    std::memset(static_cast<PresetFixed*>(&e), 0, sizeof(PresetFixed));
    e.Description = nullptr;
    e.ParamMem = nullptr;
    TakeListFields(e, list.Records[r].Fixed);
    EntryState& s = EntryOf(NumPrograms);
    s = EntryState{};
    s.FileRec = static_cast<int>(r);
    s.FileName = e.Name;
    ++NumPrograms;
  }
  return false;
}

int FileRecordOfEntry(int i) {
  return i >= 0 && i < static_cast<int>(gEntries.size()) ? gEntries[static_cast<size_t>(i)].FileRec : -1;
}

}  // namespace

uint64_t StoreRebuilds = 0;

int EntryNamed(const std::string& name) {
  for (int i = 0; i < NumPrograms; ++i)
    if (!Program[i].Deleted && name == Program[i].Name) return i;
  return -1;
}

uint64_t HashBytes(const void* data, size_t size, uint64_t h) {
  const unsigned char* p = static_cast<const unsigned char*>(data);
  for (size_t i = 0; i < size; ++i) {
    h ^= p[i];
    h *= 1099511628211ull;
  }
  return h | 1;  // never 0, which means "unknown"
}

EntryState& EntryOf(int i) {
  TVK_CHECK(i >= 0 && i < MAXPROGRAMS, i);
  size_t n = static_cast<size_t>(i < 0 ? 0 : i) + 1;
  if (gEntries.size() < n) gEntries.resize(n);
  return gEntries[n - 1];
}

void ResetEntries(int n) {
  gEntries.assign(static_cast<size_t>(n), EntryState{});
  for (int i = 0; i < n; ++i) {
    gEntries[static_cast<size_t>(i)].FileRec = i;
    if (!Program[i].Deleted) gEntries[static_cast<size_t>(i)].FileName = Program[i].Name;
  }
}

int EntryOfRecord(int rec) {
  for (int i = 0; i < NumPrograms; ++i)
    if (!Program[i].Deleted && FileRecordOfEntry(i) == rec) return i;
  return -1;
}

int EntryImage(int i, std::vector<unsigned char>* image) {
  const unsigned char* data = nullptr;
  if (int rc = SerialisePreset(Program[i], &data)) return rc;
  image->assign(data, data + Program[i].RecordSize);
  return 0;
}

int AppendEntry(const unsigned char* image, size_t size) {
  if (NumPrograms >= MAXPROGRAMS) return 1302;
  if (!TVK_CHECK(size >= static_cast<size_t>(DELETED_RECORD_SIZE), static_cast<int64_t>(size))) return 1297;
  int i = NumPrograms;
  if (!CommitProgramRecord(i)) return 1444;
  Preset& e = Program[i];
  std::memset(static_cast<PresetFixed*>(&e), 0, sizeof(PresetFixed));
  e.Description = nullptr;
  e.ParamMem = nullptr;
  std::memcpy(static_cast<PresetFixed*>(&e), image, std::min(size, static_cast<size_t>(FIXED_SIZE)));
  e.Loaded = 0;
  e.LastUse = 0;
  e.DescriptionPlace = 0;
  EntryOf(i) = EntryState{};
  ++NumPrograms;
  return 0;
}

int OpenCurrentStore(ByteDev& dev, StoreUi* ui) {
  SetStoreMessagePath(StorePath());
  StoreStamp before = ReadStoreStamp(-1);  // the counter before the file is opened
  if (!DevOpenFile(dev, StorePath().c_str(), DEV_OPEN_READ)) return FMSG_OPEN_FAILED;
  StoreStamp now = ReadStoreStamp(dev.Fd);
  now.Counter = before.Counter;
  if (now == KnownStamp) return 0;
  if (int rc = ReadFileHeader(dev, nullptr)) {
    DevClose(dev);
    return rc;
  }
  FileList list;
  if (int rc = ListFile(dev, &list)) {
    DevClose(dev);
    return rc;
  }
  bool rebuilt = MapOnto(dev, list);
  KnownStamp = now;
  if (StoreRefreshed) StoreRefreshed(StoreRefreshedCtx, rebuilt);
  (void)ui;
  return 0;
}

int RefreshStore(StoreUi* ui, bool* changed) {
  StoreStamp was = KnownStamp;
  ByteDev dev;
  int rc = OpenCurrentStore(dev, ui);
  DevClose(dev);
  if (changed) *changed = !(was == KnownStamp);
  return rc;
}

int CommitEdits(std::vector<RecordEdit>& edits) {
  ByteDev in;
  SetStoreMessagePath(StorePath());
  if (int rc = OpenCurrentStore(in, nullptr)) return rc;
  FileList list;
  int rc = ListFile(in, &list);
  std::vector<const RecordEdit*> over(list.Records.size(), nullptr);
  int appended = 0;
  for (RecordEdit& ed : edits) {
    int rec = ed.Append ? -1 : FileRecordOfEntry(ed.Entry);
    if (!ed.Append && (rec < 0 || rec >= static_cast<int>(list.Records.size()))) {
      // Only a writer that ignores the lock can have taken the record away
      // since the index was refreshed: a live preset is written anew, a
      // hole is already there.
      if (ed.Image.size() == static_cast<size_t>(DELETED_RECORD_SIZE)) {
        ed.Image.clear();
        continue;
      }
      ed.Append = true;
    }
    if (ed.Append)
      ++appended;
    else
      over[static_cast<size_t>(rec)] = &ed;
  }
  if (static_cast<int>(list.Records.size()) + appended > MAXPROGRAMS) rc = rc ? rc : 1302;
  SafeOutput out;
  if (!rc) rc = BeginSafeOutput(out, StorePath());
  if (rc) {
    DevClose(in);
    return rc;
  }
  std::vector<unsigned char> buf(1 << 20);
  auto copy = [&](int64_t from, int64_t to) -> int {
    if (DevSeek(in, from, SEEK_SET) != from) return FMSG_READ_FAILED;
    while (from < to) {
      size_t want = static_cast<size_t>(std::min<int64_t>(to - from, static_cast<int64_t>(buf.size())));
      if (DevRead(in, buf.data(), want) != static_cast<int64_t>(want)) return FMSG_READ_FAILED;
      if (int r = WriteMessage(DevWrite(out.Dev, buf.data(), want))) return r;
      from += static_cast<int64_t>(want);
    }
    return 0;
  };
  // Unchanged runs of records are copied as they are.
  rc = copy(0, FILE_HEADER_SIZE);
  int64_t runStart = FILE_HEADER_SIZE;
  for (size_t r = 0; r < list.Records.size() && !rc; ++r) {
    if (!over[r]) continue;
    rc = copy(runStart, list.Records[r].Start);
    if (!rc) rc = WriteMessage(DevWrite(out.Dev, over[r]->Image.data(), over[r]->Image.size()));
    runStart = list.Records[r].Start + list.Records[r].Fixed.RecordSize;
  }
  if (!rc) rc = copy(runStart, list.End);
  for (const RecordEdit& ed : edits)
    if (!rc && ed.Append && !ed.Image.empty()) rc = WriteMessage(DevWrite(out.Dev, ed.Image.data(), ed.Image.size()));
  DevClose(in);
  if (rc) {
    AbandonSafeOutput(out);
    return rc;
  }
  if ((rc = FinishSafeOutput(out))) return rc;
  uint64_t counter = BumpStoreCounter();
  KnownStamp = ReadStoreStamp(-1);
  KnownStamp.Counter = counter;

  int next = static_cast<int>(list.Records.size());
  for (const RecordEdit& ed : edits) {
    EntryState& s = EntryOf(ed.Entry);
    if (ed.Image.empty()) {
      s.FileRec = -1;
      continue;
    }
    if (ed.Append) s.FileRec = next++;
    s.FileName = NameOfImage(ed.Image.data(), ed.Image.size());
    s.FileHash = HashBytes(ed.Image.data(), ed.Image.size());
    // The image is this process's own serialisation of the entry when its
    // curves are resident; otherwise nothing of it is in memory.
    s.MemHash = Program[ed.Entry].Loaded ? s.FileHash : 0;
    if (ed.Image.size() == static_cast<size_t>(DELETED_RECORD_SIZE)) s.FileName.clear();
  }
  return 0;
}
