// The store's saving rules, import and export.
#include <strings.h>

#include <cstring>
#include <vector>

#include "assert/check.h"
#include "file/fileformat.h"
#include "file/fileread.h"
#include "file/filewrite.h"
#include "file/storefile.h"
#include "file/storeint.h"
#include "main/preset.h"
#include "main/strtab.h"

int AppendAndSave(const Preset& p, int* index) {
  if (NumPrograms >= MAXPROGRAMS) return 1302;
  int i = NumPrograms;
  if (!CommitProgramRecord(i)) return 1444;
  Preset& e = Program[i];
  std::memset(static_cast<PresetFixed*>(&e), 0, sizeof(PresetFixed));
  e.Description = nullptr;
  e.ParamMem = nullptr;
  CopyPreset(e, p);
  e.Deleted = 0;
  e.Loaded = 1;
  e.LastUse = UseCounter++;
  ++LoadedCount;
  ++NumPrograms;
  int rc = SavePreset(i);
  if (rc) {
    // Nothing reached the store: the entry goes again.
    ReleasePreset(i);
    --NumPrograms;
    return rc;
  }
  // Imported and added presets are read back from the store when first used.
  ReleasePreset(i);
  if (index) *index = i;
  return 0;
}

int SaveOverPreset(int i) {
  if (!TVK_CHECK(i >= 0 && i < NumPrograms, i)) return FMSG_WRITE_FAILED;
  if (Program[i].BuiltIn && !SetBuiltIns) return 94;
  return SavePreset(i);
}

int AddPreset(const Preset& p, StoreUi* ui, int* index) {
  int match = FindPresetByName(p.Name);
  if (match >= 0) {
    if (Program[match].BuiltIn) return 95;
    std::string text = FormatPrintf(GetStr(80), p.Name);
    if (!ui || !ui->Ask || ui->Ask(ui->Ctx, 0, text, false) != STORE_YES) return -1;
    if (int rc = EnsureLoaded(match)) return rc;
    Preset& e = Program[match];
    Preset keep{};
    CopyPreset(keep, e);
    CopyPreset(e, p);
    e.Loaded = 1;
    int rc = SavePreset(match);
    if (rc) CopyPreset(e, keep);  // memory stays as the store has it
    FreePreset(keep);
    if (!rc && index) *index = match;
    return rc;
  }
  return AppendAndSave(p, index);
}

namespace {

struct ImportState {
  StoreUi* Ui;
  ImportReport* Report;
  int Imported = 0;
  int Result = 0;
  bool Stop = false;
};

void Inform(StoreUi* ui, int caption, const std::string& text) {
  if (ui && ui->Inform) ui->Inform(ui->Ctx, caption, text);
}

void ImportOne(void* ctx, int, const Preset& p) {
  auto* st = static_cast<ImportState*>(ctx);
  if (st->Stop) return;
  if (NumPrograms >= MAXPROGRAMS) {
    st->Result = 1302;
    st->Stop = true;
    return;
  }
  int match = FindPresetByName(p.Name);
  if (match >= 0) {
    StoreAnswer a = STORE_NO;
    if (st->Ui && st->Ui->Ask) a = st->Ui->Ask(st->Ui->Ctx, 77, FormatPrintf(GetStr(78), p.Name), true);
    if (a == STORE_CANCEL) {
      st->Stop = true;
      return;
    }
    if (a == STORE_NO) return;
    if (int rc = DeleteRecord(match)) {
      st->Result = rc;
      st->Stop = true;
      return;
    }
  }
  int index = -1;
  if (int rc = AppendAndSave(p, &index)) {
    st->Result = rc;
    st->Stop = true;
    return;
  }
  if (match >= 0) st->Report->Replaced.push_back({match, index});
  if (st->Report->First < 0) st->Report->First = index;
  ++st->Imported;
}

}  // namespace

int ImportPresets(const std::string& path, StoreUi* ui, int* first) {
  ImportReport report;
  int rc = ImportPresets(path, ui, &report);
  if (first) *first = report.First;
  return rc;
}

int SelectionAfterImport(const ImportReport& report, int selected) {
  for (const ImportReport::Replacement& r : report.Replaced)
    if (r.Old == selected) selected = r.New;
  return selected;
}

int ImportPresets(const std::string& path, StoreUi* ui, ImportReport* report) {
  ImportReport scratch;
  if (!report) report = &scratch;
  *report = ImportReport{};
  SetStoreMessagePath(path);
  if (SameFile(path, StorePath())) return 1301;
  ByteDev dev;
  ImportState st{ui, report};
  int rc = OpenPresetFile(dev, path.c_str(), DEV_OPEN_READ, -1, nullptr);
  if (rc == FMSG_OLD_VERSION) {
    DevClose(dev);
    Inform(ui, 0, FormatPrintf(GetStr(93), path.c_str()));
    rc = ImportOldFile(path, ImportOne, &st);
    if (rc == 0 && st.Imported == 0 && !st.Result) return 0;
  } else if (rc == 0) {
    rc = ReadPresetFile(dev, ImportOne, &st);
    DevClose(dev);
  }
  SetStoreMessagePath(path);
  if (st.Result) {
    if (st.Result != 1302) SetStoreMessagePath(StorePath());
    return st.Result;
  }
  if (rc) return rc;
  if (st.Imported == 0)
    Inform(ui, 77, GetStr(75));
  else if (st.Imported == 1)
    Inform(ui, 77, GetStr(76));
  else
    Inform(ui, 77, FormatPrintf(GetStr(74), st.Imported));
  return 0;
}

int ExportPreset(int i, const std::string& path) {
  if (!TVK_CHECK(i >= 0 && i < NumPrograms, i)) return FMSG_WRITE_FAILED;
  SetStoreMessagePath(path);
  if (SameFile(path, StorePath())) return 1300;
  if (int rc = EnsureLoaded(i)) return rc;
  std::vector<unsigned char> image;
  ByteDev dev = DevFromBuffer(image);
  if (int rc = WritePresetFile(dev, 0, &Program[i], 1)) return rc;
  SetStoreMessagePath(path);
  return ReplaceFileWith(path, image.data(), image.size());
}
