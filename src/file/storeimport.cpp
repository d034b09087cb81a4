// The store's saving rules, import and export.
//
// Adding and importing plan their change on the index first, asking every
// question as it comes up, then take the lock and write the whole change at
// once. When another process changed the store between the questions and the
// lock, the plan is made again on the refreshed index with the answers given
// so far; a question that only the new index raises is asked after the lock
// is given back again.

#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "assert/check.h"
#include "file/fileformat.h"
#include "file/fileread.h"
#include "file/filewrite.h"
#include "file/storefile.h"
#include "file/storeint.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "main/text.h"

int SaveOverPreset(int i) {
  if (!TVK_CHECK(i >= 0 && i < NumPrograms, i)) return FMSG_WRITE_FAILED;
  if (Program[i].BuiltIn && !SetBuiltIns) return 94;
  return SavePreset(i);
}

namespace {

// A preset to be written, as its record image.
struct Incoming {
  std::string Name;
  bool BuiltIn = false;
  std::vector<unsigned char> Image;
};

int ImageOf(const Preset& p, Incoming* in) {
  Preset copy{};
  CopyPreset(copy, p);
  copy.Deleted = 0;
  const unsigned char* data = nullptr;
  int rc = SerialisePreset(copy, &data);
  if (rc == 0) in->Image.assign(data, data + copy.RecordSize);
  in->Name = copy.Name;
  in->BuiltIn = copy.BuiltIn != 0;
  FreePreset(copy);
  return rc;
}

enum class Mode { Add, Import };

struct Plan {
  // Existing entries the change writes: a hole (Item -1; By: the item
  // imported in its place), or the item written over it in place.
  struct Overwrite {
    int Entry, Item, By;
  };
  std::vector<Overwrite> Over;
  // Records appended, in order: the item, or -1 for a hole (an item of the
  // same change that a later one replaced).
  std::vector<int> Appends;
  std::vector<int> IndexOf;  // per item: its index, -1 when not written
  int Result = 0;            // 0, 95, 1302, or -1 (aborted)
  bool NeedAsk = false;
  bool Stopped = false;  // import: Cancel or the limit ended the loop
  int Appended = 0;      // items appended (import's count)
};

bool SameName(const std::string& a, const char* b) { return SameTextNoCase(a, b); }

StoreAnswer Ask(StoreUi* ui, Mode mode, const std::string& name) {
  if (!ui || !ui->Ask) return STORE_NO;
  // Names from files are shown by the text rule: UTF-8, on one line.
  std::string shown = TextForLine(name);
  if (mode == Mode::Import) return ui->Ask(ui->Ctx, 77, FormatPrintf(GetStr(78), shown.c_str()), true);
  return ui->Ask(ui->Ctx, 0, FormatPrintf(GetStr(80), shown.c_str()), false);
}

// Plans the change on the index as it is now; answers given are reused, a
// question not yet answered is asked when mayAsk, else NeedAsk ends the plan.
void MakePlan(Mode mode, const std::vector<Incoming>& items, std::vector<StoreAnswer>& answers, StoreUi* ui,
              bool mayAsk, Plan* plan) {
  *plan = Plan{};
  plan->IndexOf.assign(items.size(), -1);
  std::vector<bool> holed(static_cast<size_t>(NumPrograms), false);
  int count = NumPrograms;
  for (size_t k = 0; k < items.size(); ++k) {
    const Incoming& it = items[k];
    if (mode == Mode::Import && count >= MAXPROGRAMS) {
      plan->Result = 1302;
      plan->Stopped = true;
      return;
    }
    // The preset of that name now: an entry, or a record this change appends.
    int existing = -1, pending = -1;
    for (int i = 0; i < NumPrograms && existing < 0; ++i)
      if (!Program[i].Deleted && !holed[static_cast<size_t>(i)] && SameName(it.Name, Program[i].Name)) existing = i;
    for (size_t a = 0; existing < 0 && pending < 0 && a < plan->Appends.size(); ++a)
      if (plan->Appends[a] >= 0 && SameName(it.Name, items[static_cast<size_t>(plan->Appends[a])].Name.c_str()))
        pending = static_cast<int>(a);
    if (existing >= 0 || pending >= 0) {
      bool builtIn = existing >= 0 ? Program[existing].BuiltIn != 0
                                   : items[static_cast<size_t>(plan->Appends[static_cast<size_t>(pending)])].BuiltIn;
      if (mode == Mode::Add && builtIn) {
        plan->Result = 95;
        return;
      }
      if (!answers[k]) {
        if (!mayAsk) {
          plan->NeedAsk = true;
          return;
        }
        answers[k] = Ask(ui, mode, it.Name);
      }
      switch (answers[k]) {
        case STORE_YES: break;
        case STORE_NO: continue;
        case STORE_CANCEL:
          if (mode == Mode::Import) {
            plan->Stopped = true;
            return;
          }
          continue;
        default: plan->Result = -1; return;
      }
      if (mode == Mode::Add) {
        // Saved into the existing preset's record.
        if (existing >= 0) {
          holed[static_cast<size_t>(existing)] = true;
          plan->Over.push_back({existing, static_cast<int>(k), static_cast<int>(k)});
          plan->IndexOf[k] = existing;
        } else {
          plan->Appends[static_cast<size_t>(pending)] = static_cast<int>(k);
          plan->IndexOf[k] = NumPrograms + pending;
        }
        continue;
      }
      // Import: the existing preset is deleted, the import appended.
      if (existing >= 0) {
        holed[static_cast<size_t>(existing)] = true;
        plan->Over.push_back({existing, -1, static_cast<int>(k)});
      } else {
        plan->Appends[static_cast<size_t>(pending)] = -1;
      }
    }
    if (count >= MAXPROGRAMS) {
      plan->Result = 1302;
      return;
    }
    plan->IndexOf[k] = count++;
    plan->Appends.push_back(static_cast<int>(k));
    ++plan->Appended;
  }
}

const std::vector<unsigned char>& HoleImage() {
  static const std::vector<unsigned char> hole{DELETED_RECORD_SIZE, 0, 0, 0, 1};
  return hole;
}

// Writes a plan (the caller holds the lock). On failure nothing changed.
int ApplyPlan(const std::vector<Incoming>& items, const Plan& plan) {
  int before = NumPrograms;
  std::vector<RecordEdit> edits;
  for (const auto& [entry, item, by] : plan.Over) {
    RecordEdit ed;
    ed.Entry = entry;
    ed.Image = item < 0 ? HoleImage() : items[static_cast<size_t>(item)].Image;
    edits.push_back(std::move(ed));
  }
  int rc = 0;
  for (int item : plan.Appends) {
    const std::vector<unsigned char>& image = item < 0 ? HoleImage() : items[static_cast<size_t>(item)].Image;
    if ((rc = AppendEntry(image.data(), image.size()))) break;
    RecordEdit ed;
    ed.Entry = NumPrograms - 1;
    ed.Append = true;
    ed.Image = image;
    edits.push_back(std::move(ed));
  }
  if (!rc) rc = CommitEdits(edits);
  if (rc) {
    NumPrograms = before;
    return rc;
  }
  for (const auto& [entry, item, by] : plan.Over) {
    ReleasePreset(entry);
    Preset& e = Program[entry];
    if (item < 0) {
      e.Deleted = 1;
      continue;
    }
    // Read back from the store when next used.
    const std::vector<unsigned char>& image = items[static_cast<size_t>(item)].Image;
    std::memcpy(static_cast<PresetFixed*>(&e), image.data(), static_cast<size_t>(FIXED_SIZE));
    e.Loaded = 0;
    e.LastUse = 0;
  }
  return 0;
}

// Plans, asks, locks and writes; the plan written is left in *done.
int RunChange(Mode mode, const std::vector<Incoming>& items, StoreUi* ui, Plan* done) {
  std::vector<StoreAnswer> answers(items.size(), static_cast<StoreAnswer>(0));
  for (int attempt = 0;; ++attempt) {
    // After a few rounds of other writers getting in between, the questions
    // are asked under the lock.
    bool askLocked = attempt >= 3;
    Plan plan;
    if (!askLocked) {
      if (int rc = RefreshStore(ui, nullptr)) return rc;
      MakePlan(mode, items, answers, ui, true, &plan);
      if (plan.Result == -1 || plan.Result == 95 || (plan.Result == 1302 && mode == Mode::Add)) {
        *done = plan;
        return plan.Result;
      }
    }
    StoreStamp seen = KnownStamp;
    if (int rc = AcquireStoreLock(ui)) return rc;
    if (askLocked || !(KnownStamp == seen)) {
      MakePlan(mode, items, answers, ui, askLocked, &plan);
      if (plan.NeedAsk) {
        ReleaseStoreLock();
        continue;
      }
      if (plan.Result == -1 || plan.Result == 95 || (plan.Result == 1302 && mode == Mode::Add)) {
        ReleaseStoreLock();
        *done = plan;
        return plan.Result;
      }
    }
    int rc = plan.Over.empty() && plan.Appends.empty() ? 0 : ApplyPlan(items, plan);
    ReleaseStoreLock();
    *done = plan;
    if (rc) done->IndexOf.assign(items.size(), -1);
    return rc ? rc : plan.Result;  // an import stopped by the limit keeps what fitted
  }
}

}  // namespace

int AddPresets(const Preset* presets, int n, StoreUi* ui, int* indexes) {
  std::vector<Incoming> items(static_cast<size_t>(n > 0 ? n : 0));
  for (int k = 0; k < n; ++k) {
    if (indexes) indexes[k] = -1;
    if (int rc = ImageOf(presets[k], &items[static_cast<size_t>(k)])) return rc;
  }
  SetStoreMessagePath(StorePath());
  Plan plan;
  int rc = RunChange(Mode::Add, items, ui, &plan);
  if (rc) return rc;
  bool any = false;
  for (int k = 0; k < n; ++k) {
    if (indexes) indexes[k] = plan.IndexOf[static_cast<size_t>(k)];
    any = any || plan.IndexOf[static_cast<size_t>(k)] >= 0;
  }
  return any || n == 0 ? 0 : -1;
}

int AddPreset(const Preset& p, StoreUi* ui, int* index) {
  int local = -1;
  return AddPresets(&p, 1, ui, index ? index : &local);
}

namespace {

struct Collect {
  std::vector<Incoming>* Items;
  int Result = 0;
};

void CollectOne(void* ctx, int, const Preset& p) {
  auto* c = static_cast<Collect*>(ctx);
  if (c->Result) return;
  c->Items->emplace_back();
  c->Result = ImageOf(p, &c->Items->back());
}

void Inform(StoreUi* ui, int caption, const std::string& text) {
  if (ui && ui->Inform) ui->Inform(ui->Ctx, caption, text);
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

namespace {

// The import's change once every preset of the source is read: the
// questions, the store written once, the summary.
int ImportItems(std::vector<Incoming>& items, const std::string& source, StoreUi* ui, ImportReport* report) {
  Plan plan;
  SetStoreMessagePath(StorePath());
  int rc = RunChange(Mode::Import, items, ui, &plan);
  if (rc == -1) return rc;
  if (rc && rc != 1302) return rc;
  for (int index : plan.IndexOf)
    if (index >= 0) {
      report->First = index;
      break;
    }
  for (const Plan::Overwrite& o : plan.Over)
    if (o.Item < 0 && plan.IndexOf[static_cast<size_t>(o.By)] >= 0)
      report->Replaced.push_back({o.Entry, plan.IndexOf[static_cast<size_t>(o.By)]});
  if (rc == 1302) return rc;  // the presets before the limit are in; no summary
  SetStoreMessagePath(source);
  if (plan.Appended == 0)
    Inform(ui, 77, GetStr(75));
  else if (plan.Appended == 1)
    Inform(ui, 77, GetStr(76));
  else
    Inform(ui, 77, FormatPrintf(GetStr(74), plan.Appended));
  return 0;
}

}  // namespace

int ImportPresets(const std::string& path, StoreUi* ui, ImportReport* report) {
  ImportReport scratch;
  if (!report) report = &scratch;
  *report = ImportReport{};
  SetStoreMessagePath(path);
  if (SameFile(path, StorePath())) return 1301;
  // The whole file first: a damaged file imports nothing.
  std::vector<Incoming> items;
  Collect c{&items};
  ByteDev dev;
  int rc = OpenPresetFile(dev, path.c_str(), DEV_OPEN_READ, -1, nullptr);
  if (rc == FMSG_OLD_VERSION) {
    DevClose(dev);
    Inform(ui, 0, FormatPrintf(GetStr(93), path.c_str()));
    rc = ImportOldFile(path, CollectOne, &c);
    if (rc == 0 && items.empty() && !c.Result) return 0;
  } else if (rc == 0) {
    rc = ReadPresetFile(dev, CollectOne, &c);
    DevClose(dev);
  }
  SetStoreMessagePath(path);
  if (rc) return rc;
  if (c.Result) return c.Result;
  return ImportItems(items, path, ui, report);
}

int ImportPresetList(const Preset* presets, int n, const std::string& source, StoreUi* ui, ImportReport* report) {
  ImportReport scratch;
  if (!report) report = &scratch;
  *report = ImportReport{};
  std::vector<Incoming> items(static_cast<size_t>(n > 0 ? n : 0));
  for (int k = 0; k < n; ++k)
    if (int rc = ImageOf(presets[k], &items[static_cast<size_t>(k)])) return rc;
  return ImportItems(items, source, ui, report);
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

int ExportPresetAs(int i, const std::string& path, const std::function<std::string(const Preset&)>& render) {
  if (!TVK_CHECK(i >= 0 && i < NumPrograms, i)) return FMSG_WRITE_FAILED;
  SetStoreMessagePath(path);
  if (SameFile(path, StorePath())) return 1300;
  if (int rc = EnsureLoaded(i)) return rc;
  const std::string text = render(Program[i]);
  SetStoreMessagePath(path);
  return ReplaceFileWith(path, text.data(), text.size());
}
