// The preset store: location, loading at start, curves on demand and their
// release, saving, deleting and compaction.
#include "file/store.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "assert/check.h"
#include "file/fileformat.h"
#include "file/fileread.h"
#include "file/filewalk.h"
#include "file/filewrite.h"
#include "file/storefile.h"
#include "file/storeint.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "main/text.h"
#include "platform/progdir.h"
#include "platform/resource.h"
#include "platform/userdirs.h"

int DecommitThreshold = 10;
bool SetBuiltIns = false;
int LoadedCount = 0;

namespace {
std::string gStorePath;
std::string gMessagePath;
}  // namespace

// --- Location -------------------------------------------------------------------

std::string ProgramDir() { return plat::ProgramFolder(); }

namespace {
bool MakeDirs(const std::string& dir) {
  for (size_t i = 1; i <= dir.size(); ++i)
    if (i == dir.size() || dir[i] == '/') {
      std::string part = dir.substr(0, i);
      if (::mkdir(part.c_str(), 0755) != 0 && errno != EEXIST) return false;
    }
  return true;
}
}  // namespace

std::string DefaultStoreDir() {
  std::string dir = ProgramDir();
  if (::access(dir.c_str(), W_OK) == 0) return dir;
  return plat::UserFolder("XDG_DATA_HOME", ".local/share", "Sonavel", false);
}

void SetStoreDir(const std::string& dir) {
  MakeDirs(dir);
  gStorePath = dir + (dir.empty() || dir.back() == '/' ? "" : "/") + GetStr(73);
  gMessagePath = gStorePath;
}

const std::string& StorePath() {
  if (gStorePath.empty()) SetStoreDir(DefaultStoreDir());
  return gStorePath;
}

const std::string& StoreMessagePath() { return gMessagePath; }
void SetStoreMessagePath(const std::string& path) { gMessagePath = path; }

// --- Loading ---------------------------------------------------------------------

namespace {

PresetFixed* ListEntry(void*, int index) {
  if (!CommitProgramRecord(index)) return nullptr;
  Preset& e = Program[index];
  std::memset(static_cast<PresetFixed*>(&e), 0, sizeof(PresetFixed));
  e.Description = nullptr;
  e.ParamMem = nullptr;
  return &e;
}

// Writes the built-in presets (resource 26) as the store.
int WriteBuiltIns() {
  const unsigned char* data = nullptr;
  size_t size = 0;
  gMessagePath = StorePath();
  int rc;
  if (!plat::FindResource(plat::RT_RCDATA, 26, &data, &size)) {
    // A program without its built-in presets starts with an empty store.
    FileHeader h;
    MakeFileHeader(h, 0);
    rc = ReplaceFileWith(StorePath(), &h, sizeof h);
  } else {
    rc = ReplaceFileWith(StorePath(), data, size);
  }
  if (rc == 0) BumpStoreCounter();
  return rc;
}

// Fills the array from the store as it lies; KnownStamp describes the
// version read.
int WalkStore(WalkCounts* counts, FileHeader* header) {
  ByteDev dev;
  gMessagePath = StorePath();
  StoreStamp before = ReadStoreStamp(-1);
  if (int rc = OpenPresetFile(dev, StorePath().c_str(), DEV_OPEN_READ, -1, header)) return rc;
  StoreStamp stamp = ReadStoreStamp(dev.Fd);
  stamp.Counter = before.Counter;
  WalkHooks hooks;
  hooks.Entry = ListEntry;
  int rc = WalkPresetList(dev, hooks, counts);
  DevClose(dev);
  if (rc == 0) KnownStamp = stamp;
  return rc;
}

// Writes the store again without its deleted records (the caller holds the
// lock and walks the store again afterwards).
int CompactFile() {
  gMessagePath = StorePath();
  ByteDev in;
  if (int rc = OpenPresetFile(in, StorePath().c_str(), DEV_OPEN_READ, -1, nullptr)) return rc;
  int64_t size = DevSize(in);
  SafeOutput out;
  int rc = size < FILE_HEADER_SIZE ? FMSG_READ_FAILED : BeginSafeOutput(out, StorePath());
  if (rc) {
    DevClose(in);
    return rc;
  }
  std::vector<unsigned char> buf;
  auto copy = [&](int64_t from, size_t n) -> int {
    buf.resize(n);
    if (DevSeek(in, from, SEEK_SET) != from || DevRead(in, buf.data(), n) != static_cast<int64_t>(n))
      return FMSG_READ_FAILED;
    return WriteMessage(DevWrite(out.Dev, buf.data(), n));
  };
  rc = copy(0, FILE_HEADER_SIZE);
  // The walk at load has checked every size field; check them again anyway.
  for (int64_t pos = FILE_HEADER_SIZE; !rc && pos + 4 <= size;) {
    unsigned char head[5];
    if (DevSeek(in, pos, SEEK_SET) != pos || DevRead(in, head, 5) < 4) {
      rc = FMSG_READ_FAILED;
      break;
    }
    int32_t rs = GetLE32(head);
    if (rs == -1) break;
    if (rs < DELETED_RECORD_SIZE || pos + rs > size) {
      rc = FMSG_NOT_VALID;
      break;
    }
    if (head[4] == 0) rc = copy(pos, static_cast<size_t>(rs));
    pos += rs;
  }
  DevClose(in);
  if (rc) {
    AbandonSafeOutput(out);
    return rc;
  }
  if ((rc = FinishSafeOutput(out))) return rc;
  BumpStoreCounter();
  return 0;
}

}  // namespace

void UnloadAllPresets() {
  for (int i = 0; i < NumPrograms; ++i) {
    ReleaseParams(Program[i]);
    ReleaseDescription(Program[i]);
  }
  NumPrograms = 0;
  LoadedCount = 0;
  ResetEntries(0);
  KnownStamp = StoreStamp{};
}

namespace {

int LoadLocked(StoreUi* ui, bool locked) {
  struct stat st;
  if (::stat(StorePath().c_str(), &st) != 0)
    if (int rc = WriteBuiltIns()) return rc;
  WalkCounts counts;
  FileHeader header;
  for (int pass = 0;; ++pass) {
    counts = WalkCounts{};
    int rc = WalkStore(&counts, &header);
    if (rc == FMSG_OLD_VERSION && pass == 0) {
      rc = ConvertOldStore(ui);
      if (rc) return rc;
      BumpStoreCounter();
      continue;
    }
    if (rc) return rc;
    NumPrograms = counts.Deleted == counts.Records ? 0 : counts.Records;
    if (NumPrograms == 0 && pass == 0) {
      if ((rc = WriteBuiltIns())) return rc;
      continue;
    }
    break;
  }
  if (counts.Deleted >= 10) {
    // A store that cannot be compacted (a read-only folder, a full disk) is
    // used as it is: compaction only tidies, and the presets are all there.
    int rc = locked ? CompactFile() : FMSG_OPEN_FAILED;
    if (rc == 0) {
      counts = WalkCounts{};
      if ((rc = WalkStore(&counts, &header))) return rc;
      NumPrograms = counts.Records;
    } else {
      StoreWarn(ui, FormatMsg(STORE_NOT_COMPACTED, {StorePath()}));
    }
  }
  gMessagePath = StorePath();
  ResetEntries(NumPrograms);
  // A store holding one record under an export header is what compacting a
  // store made from the built-in presets down to one preset produces; it
  // loads like any other store.
  return 0;
}

}  // namespace

int LoadAllPresets(StoreUi* ui) {
  UnloadAllPresets();
  // The load may write (the built-in presets, a compaction, a conversion), so
  // it holds the lock; a folder where no lock file can be made cannot be
  // written either, and its store is still read.
  int lock = AcquireStoreLock(ui);
  if (lock == STORE_BUSY) return lock;
  int rc = LoadLocked(ui, lock == 0);
  if (lock == 0) ReleaseStoreLock();
  if (rc) {
    NumPrograms = 0;
    ResetEntries(0);
  }
  return rc;
}

// --- Curves on demand ---------------------------------------------------------------

void ReleasePreset(int i) {
  if (!TVK_CHECK(i >= 0 && i < NumPrograms, i)) return;
  Preset& e = Program[i];
  bool was = e.Loaded != 0;
  ReleaseDescription(e);
  ReleaseParams(e);
  e.Loaded = 0;
  e.LastUse = 0;
  if (was) --LoadedCount;
}

void DecommittedPreset() {
  while (LoadedCount > DecommitThreshold) {
    int pick = -1;
    for (int i = 0; i < NumPrograms; ++i)
      if (Program[i].Loaded && (pick < 0 || Program[i].LastUse < Program[pick].LastUse)) pick = i;
    if (pick < 0) return;
    ReleasePreset(pick);
  }
}

int EnsureLoaded(int i, StoreUi* ui) {
  if (!TVK_CHECK(i >= 0 && i < NumPrograms, i)) return FMSG_READ_FAILED;
  Preset& e = Program[i];
  if (e.Loaded) {
    e.LastUse = UseCounter++;
    return 0;
  }
  if (e.Deleted) return 0;  // a hole has no curves
  // Reading record i of a file another process has changed could give
  // another preset: the index is brought up to date from the same open file.
  ByteDev dev;
  if (int rc = OpenCurrentStore(dev, ui)) return rc;
  if (e.Loaded) {  // kept through the refresh (unchanged, or edited here)
    DevClose(dev);
    e.LastUse = UseCounter++;
    return 0;
  }
  int rec = EntryOf(i).FileRec;
  if (e.Deleted || rec < 0) {
    DevClose(dev);
    SetStoreMessagePath(e.Name);
    return STORE_PRESET_GONE;
  }
  int32_t size = 0;
  int rc = FindRecord(dev, rec, &size);
  if (!rc && size < 0) rc = FMSG_READ_FAILED;  // the record is not in the file
  std::vector<unsigned char> raw;
  if (!rc) {
    raw.resize(static_cast<size_t>(size));
    if (DevRead(dev, raw.data(), raw.size()) != static_cast<int64_t>(raw.size())) rc = FMSG_READ_FAILED;
  }
  DevClose(dev);
  if (rc) return rc;
  ++LoadedCount;
  DecommittedPreset();
  Preset scratch{};
  bool atEnd = false;
  ByteDev mem = DevFromMemory(raw.data(), raw.size());
  rc = ReadPresetRecord(mem, scratch, &atEnd);
  if (!rc && atEnd) rc = FMSG_READ_FAILED;
  if (rc) {
    --LoadedCount;
    return rc;
  }
  CheckPresetBackground(scratch, ui);
  std::memcpy(static_cast<PresetFixed*>(&e), static_cast<PresetFixed*>(&scratch), sizeof(PresetFixed));
  e.Description = scratch.Description;
  e.ParamMem = scratch.ParamMem;
  EntryState& s = EntryOf(i);
  s.FileHash = HashBytes(raw.data(), raw.size());
  std::vector<unsigned char> image;
  s.MemHash = EntryImage(i, &image) == 0 ? HashBytes(image.data(), image.size()) : 0;
  return 0;
}

// --- Writing records --------------------------------------------------------------------

namespace {

// Writes entry i over its record (or appends it); the caller holds the lock.
int WriteEntry(int i) {
  Preset& e = Program[i];
  RecordEdit ed;
  ed.Entry = i;
  ed.Append = EntryOf(i).FileRec < 0;
  if (e.Deleted && ed.Append) return 0;  // a hole the file does not have
  if (int rc = EntryImage(i, &ed.Image)) return rc;
  std::vector<RecordEdit> edits{std::move(ed)};
  return CommitEdits(edits);
}

// Writes an image taken before the index was assigned anew: over the record
// of the preset of that name, or appended when there is none any more. The
// caller holds the lock.
int WriteImageByName(const std::string& name, std::vector<unsigned char>& image) {
  RecordEdit ed;
  ed.Entry = EntryNamed(name);
  if (ed.Entry < 0) {
    if (int rc = AppendEntry(image.data(), image.size())) return rc;
    ed.Entry = NumPrograms - 1;
  }
  ed.Append = EntryOf(ed.Entry).FileRec < 0;
  ed.Image = std::move(image);
  // What the file now holds is this image, not the curves in memory.
  ReleasePreset(ed.Entry);
  std::vector<RecordEdit> edits{std::move(ed)};
  return CommitEdits(edits);
}

}  // namespace

int SavePreset(int i) {
  if (!TVK_CHECK(i >= 0 && i < NumPrograms, i)) return FMSG_WRITE_FAILED;
  Preset& e = Program[i];
  if (!e.Deleted && !e.Loaded)
    if (int rc = EnsureLoaded(i)) return rc;
  // Taking the lock may assign every index anew and drop every preset's
  // curves (see EntryNamed): the preset as it is now is kept to be written
  // under its name then.
  std::string name = e.Name;
  bool deleted = e.Deleted != 0;
  std::vector<unsigned char> image;
  if (!deleted)
    if (int rc = EntryImage(i, &image)) return rc;
  uint64_t rebuilds = StoreRebuilds;
  gMessagePath = StorePath();
  if (int rc = AcquireStoreLock(nullptr)) return rc;
  int rc = 0;
  if (StoreRebuilds != rebuilds) {
    // A hole of this process's own needs no writing: the file has none for it.
    if (!deleted) rc = WriteImageByName(name, image);
  } else {
    // The refresh under the lock keeps unsaved edits; curves it released
    // were unchanged here and are read again as the file now has them.
    if (!e.Deleted && !e.Loaded) rc = EnsureLoaded(i);
    if (!rc) rc = WriteEntry(i);
  }
  ReleaseStoreLock();
  return rc;
}

int CompactStore() {
  gMessagePath = StorePath();
  if (int rc = AcquireStoreLock(nullptr)) return rc;
  int rc = CompactFile();
  if (rc == 0) {
    for (int i = 0; i < NumPrograms; ++i) ReleasePreset(i);
    NumPrograms = 0;
    WalkCounts counts;
    FileHeader header;
    rc = WalkStore(&counts, &header);
    NumPrograms = rc ? 0 : counts.Records;
    ResetEntries(NumPrograms);
  }
  ReleaseStoreLock();
  return rc;
}

namespace {

int LiveCount() {
  int live = 0;
  for (int k = 0; k < NumPrograms; ++k) live += Program[k].Deleted ? 0 : 1;
  return live;
}

// Replaces preset i by a deleted record; the caller holds the lock.
int DeleteRecord(int i) {
  Preset& e = Program[i];
  if (e.Deleted) return 0;
  // The 5-byte hole needs no curves, so even a preset whose record can no
  // longer be read can be deleted.
  e.Deleted = 1;
  int rc = WriteEntry(i);
  if (rc) {
    e.Deleted = 0;
    return rc;
  }
  if (e.Loaded) ReleasePreset(i);
  return 0;
}

}  // namespace

int DeletePreset(int i, StoreUi* ui, bool ask) {
  if (!TVK_CHECK(i >= 0 && i < NumPrograms, i)) return FMSG_WRITE_FAILED;
  Preset& e = Program[i];
  if (e.Deleted) return 0;
  if (LiveCount() <= 1) return 1303;
  if (ask && ui && ui->Ask) {
    std::string text = FormatPrintf(GetStr(e.BuiltIn ? 96 : 66), TextForLine(e.Name).c_str());
    StoreAnswer a = ui->Ask(ui->Ctx, 0, text, false);
    if (a != STORE_YES) return -1;
  }
  std::string name = e.Name;
  uint64_t rebuilds = StoreRebuilds;
  gMessagePath = StorePath();
  if (int rc = AcquireStoreLock(ui)) return rc;
  // Indexes assigned anew under the lock: i may be another preset now.
  if (StoreRebuilds != rebuilds) i = EntryNamed(name);
  // Another process may have deleted it meanwhile, or all but it.
  int rc = i < 0 || Program[i].Deleted ? 0 : LiveCount() <= 1 ? 1303 : DeleteRecord(i);
  ReleaseStoreLock();
  return rc;
}

int FindPresetByName(const std::string& name) {
  for (int i = 0; i < NumPrograms; ++i)
    if (!Program[i].Deleted && SameTextNoCase(Program[i].Name, name)) return i;
  return -1;
}
