// The preset store: location, loading at start, curves on demand and their
// release, saving, deleting and compaction.
#include "file/store.h"

#include <strings.h>
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
#include "platform/progdir.h"
#include "platform/resource.h"

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
  const char* xdg = std::getenv("XDG_DATA_HOME");
  std::string base;
  if (xdg && *xdg)
    base = xdg;
  else if (const char* home = std::getenv("HOME"))
    base = std::string(home) + "/.local/share";
  else
    base = "/tmp";
  std::string user = base + "/Sonavel";
  MakeDirs(user);
  return user;
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
  if (!plat::FindResource(plat::RT_RCDATA, 26, &data, &size)) {
    // A program without its built-in presets starts with an empty store.
    FileHeader h;
    MakeFileHeader(h, 0);
    return ReplaceFileWith(StorePath(), &h, sizeof h);
  }
  return ReplaceFileWith(StorePath(), data, size);
}

int WalkStore(WalkCounts* counts, FileHeader* header) {
  ByteDev dev;
  gMessagePath = StorePath();
  if (int rc = OpenPresetFile(dev, StorePath().c_str(), DEV_OPEN_READ, -1, header)) return rc;
  WalkHooks hooks;
  hooks.Entry = ListEntry;
  int rc = WalkPresetList(dev, hooks, counts);
  DevClose(dev);
  return rc;
}

}  // namespace

void UnloadAllPresets() {
  for (int i = 0; i < NumPrograms; ++i) {
    ReleaseParams(Program[i]);
    ReleaseDescription(Program[i]);
  }
  NumPrograms = 0;
  LoadedCount = 0;
}

int LoadAllPresets(StoreUi* ui) {
  UnloadAllPresets();
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
      continue;
    }
    if (rc) {
      NumPrograms = 0;
      return rc;
    }
    NumPrograms = counts.Deleted == counts.Records ? 0 : counts.Records;
    if (NumPrograms == 0 && pass == 0) {
      if ((rc = WriteBuiltIns())) return rc;
      continue;
    }
    break;
  }
  if (counts.Deleted >= 10) {
    if (int rc = CompactStore()) return rc;
    counts = WalkCounts{};
    if (int rc = WalkStore(&counts, &header)) {
      NumPrograms = 0;
      return rc;
    }
    NumPrograms = counts.Records;
  }
  // A store holding one record under an export header is what compacting a
  // store made from the built-in presets down to one preset produces; it
  // loads like any other store.
  return 0;
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
  ByteDev dev;
  gMessagePath = StorePath();
  if (int rc = OpenPresetFile(dev, StorePath().c_str(), DEV_OPEN_READ, -1, nullptr)) return rc;
  int32_t size = 0;
  int rc = FindRecord(dev, i, &size);
  if (!rc && size < 0) rc = FMSG_READ_FAILED;  // the record is not in the file
  if (rc) {
    DevClose(dev);
    return rc;
  }
  ++LoadedCount;
  DecommittedPreset();
  Preset scratch{};
  bool atEnd = false;
  rc = ReadPresetRecord(dev, scratch, &atEnd);
  DevClose(dev);
  if (!rc && atEnd) rc = FMSG_READ_FAILED;
  if (rc) {
    --LoadedCount;
    return rc;
  }
  CheckPresetBackground(scratch, ui);
  std::memcpy(static_cast<PresetFixed*>(&e), static_cast<PresetFixed*>(&scratch), sizeof(PresetFixed));
  e.Description = scratch.Description;
  e.ParamMem = scratch.ParamMem;
  return 0;
}

// --- Writing records --------------------------------------------------------------------

int SavePreset(int i) {
  if (!TVK_CHECK(i >= 0 && i < NumPrograms, i)) return FMSG_WRITE_FAILED;
  Preset& e = Program[i];
  if (!e.Deleted && !e.Loaded)
    if (int rc = EnsureLoaded(i)) return rc;
  gMessagePath = StorePath();
  ByteDev dev;
  if (int rc = OpenPresetFile(dev, StorePath().c_str(), DEV_OPEN_READ, -1, nullptr)) return rc;
  int32_t oldSize = 0;
  int rc = FindRecord(dev, i, &oldSize);
  int64_t start = DevTell(dev);
  DevClose(dev);
  if (rc) return rc;
  const unsigned char* image = nullptr;
  if ((rc = SerialisePreset(e, &image))) return rc;
  int64_t end = oldSize < 0 ? start : start + oldSize;
  return RewriteFileRange(StorePath(), start, end, image, static_cast<size_t>(e.RecordSize));
}

int CompactStore() {
  gMessagePath = StorePath();
  ByteDev dev;
  FileHeader header;
  if (int rc = OpenPresetFile(dev, StorePath().c_str(), DEV_OPEN_READ, -1, &header)) return rc;
  int64_t size = DevSize(dev);
  std::vector<unsigned char> all(static_cast<size_t>(size > 0 ? size : 0));
  int rc = 0;
  if (DevSeek(dev, 0, SEEK_SET) != 0 || DevRead(dev, all.data(), all.size()) != static_cast<int64_t>(all.size()))
    rc = FMSG_READ_FAILED;
  DevClose(dev);
  if (rc) return rc;
  // The walk at load has checked every size field; walk again defensively.
  std::vector<unsigned char> out(all.begin(), all.begin() + FILE_HEADER_SIZE);
  size_t pos = FILE_HEADER_SIZE;
  while (pos + 4 <= all.size()) {
    int32_t rs = GetLE32(all.data() + pos);
    if (rs == -1) break;
    if (rs < DELETED_RECORD_SIZE || pos + static_cast<size_t>(rs) > all.size()) return FMSG_NOT_VALID;
    if (all[pos + 4] == 0)
      out.insert(out.end(), all.begin() + static_cast<long>(pos), all.begin() + static_cast<long>(pos + rs));
    pos += static_cast<size_t>(rs);
  }
  return ReplaceFileWith(StorePath(), out.data(), out.size());
}

int DeletePreset(int i, StoreUi* ui, bool ask) {
  if (!TVK_CHECK(i >= 0 && i < NumPrograms, i)) return FMSG_WRITE_FAILED;
  Preset& e = Program[i];
  if (e.Deleted) return 0;
  int live = 0;
  for (int k = 0; k < NumPrograms; ++k) live += Program[k].Deleted ? 0 : 1;
  if (live <= 1) return 1303;
  if (ask && ui && ui->Ask) {
    std::string text = FormatPrintf(GetStr(e.BuiltIn ? 96 : 66), e.Name);
    if (ui->Ask(ui->Ctx, 0, text, false) != STORE_YES) return -1;
  }
  return DeleteRecord(i);
}

int DeleteRecord(int i) {
  Preset& e = Program[i];
  if (e.Deleted) return 0;
  // The 5-byte hole needs no curves, so even a preset whose record can no
  // longer be read can be deleted.
  e.Deleted = 1;
  int rc = SavePreset(i);
  if (rc) {
    e.Deleted = 0;
    return rc;
  }
  if (e.Loaded) ReleasePreset(i);
  return 0;
}

int FindPresetByName(const std::string& name) {
  for (int i = 0; i < NumPrograms; ++i)
    if (!Program[i].Deleted && ::strcasecmp(Program[i].Name, name.c_str()) == 0) return i;
  return -1;
}
