// The store shared with other processes and written in one piece: writers
// at once, a change in between, a change that fails halfway, a store that
// cannot be compacted.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "file/fileformat.h"
#include "file/filewrite.h"
#include "file/presetfile.h"
#include "file/store.h"
#include "file/storefile.h"
#include "main/preset.h"
#include "main/strtab.h"

namespace {

using Bytes = std::vector<unsigned char>;

std::string ShareTempDir() {
  std::string tmpl = ::testing::TempDir() + "shareXXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back(0);
  EXPECT_NE(mkdtemp(buf.data()), nullptr);
  return buf.data();
}

Bytes ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

void MakeNamed(Preset& p, const std::string& name, int voices = 1) {
  NewDefaultPreset(p);
  std::snprintf(p.Name, sizeof p.Name, "%s", name.c_str());
  if (voices > 1) {
    Param* pp = CommitSegmentSlot(p, 0, voices);
    FillDefaultSegment(pp, p.data.Segment[0], voices, 3);
    RecomputeAllTracked(BackgroundParamRow{}, pp, p.data.Segment[0]);
  }
}

void WriteFile(const std::string& path, const std::vector<std::string>& names, std::vector<int> deleted = {}) {
  std::vector<Preset> ps(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    MakeNamed(ps[i], names[i]);
    if (std::find(deleted.begin(), deleted.end(), static_cast<int>(i)) != deleted.end()) ps[i].Deleted = 1;
  }
  Bytes img;
  ByteDev dev = DevFromBuffer(img);
  ASSERT_EQ(WritePresetFile(dev, 0, ps.data(), static_cast<int>(ps.size())), 0);
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(img.data()), static_cast<std::streamsize>(img.size()));
  for (Preset& p : ps) FreePreset(p);
}

std::vector<std::string> SharedLiveNames() {
  std::vector<std::string> n;
  for (int i = 0; i < NumPrograms; ++i)
    if (!Program[i].Deleted) n.push_back(Program[i].Name);
  return n;
}

// Names of the live presets in the store file, read by a fresh load.
std::vector<std::string> StoredNames() {
  UnloadAllPresets();
  EXPECT_EQ(LoadAllPresets(nullptr), 0);
  std::vector<std::string> n = SharedLiveNames();
  for (int i = 0; i < NumPrograms; ++i) {
    if (!Program[i].Deleted) {
      EXPECT_EQ(EnsureLoaded(i), 0) << Program[i].Name;
    }
  }
  return n;
}

StoreUi YesUi() {
  StoreUi ui;
  ui.Ask = [](void*, int, const std::string&, bool) { return STORE_YES; };
  return ui;
}

// Runs body in a child process and waits for it; true when it exited 0.
template <typename F>
bool InChild(F body) {
  pid_t pid = fork();
  if (pid == 0) _exit(body());
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

class SharedStore : public ::testing::Test {
 protected:
  std::string Dir;
  void SetUp() override {
    Dir = ShareTempDir();
    SetStoreDir(Dir);
    SafeOutputBudget = -1;
  }
  void TearDown() override {
    SafeOutputBudget = -1;
    UnloadAllPresets();
  }
  std::string Path() const { return Dir + "/Presets.tvk"; }
};

// This process has the store loaded while another one adds and deletes; its
// own change afterwards keeps theirs, and its index learns of them.
TEST_F(SharedStore, AnotherProcessesChangeIsKept) {
  WriteFile(Path(), {"a", "b", "c"});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  ASSERT_TRUE(InChild([&] {
    UnloadAllPresets();
    if (LoadAllPresets(nullptr)) return 1;
    Preset p{};
    MakeNamed(p, "theirs");
    int index = -1;
    int rc = AddPreset(p, nullptr, &index);
    FreePreset(p);
    if (rc || DeletePreset(FindPresetByName("b"), nullptr, false)) return 2;
    UnloadAllPresets();
    return 0;
  }));
  Preset p{};
  MakeNamed(p, "mine");
  int index = -1;
  ASSERT_EQ(AddPreset(p, nullptr, &index), 0);
  FreePreset(p);
  // Indexes here stay as they were; what the other process did shows.
  EXPECT_STREQ(Program[0].Name, "a");
  EXPECT_TRUE(Program[1].Deleted);
  EXPECT_STREQ(Program[2].Name, "c");
  EXPECT_GE(FindPresetByName("theirs"), 3);
  ASSERT_EQ(EnsureLoaded(FindPresetByName("theirs")), 0);
  EXPECT_STREQ(Program[FindPresetByName("theirs")].Name, "theirs");
  EXPECT_EQ(StoredNames(), (std::vector<std::string>{"a", "c", "theirs", "mine"}));
}

// After another process compacted the store, a record index read earlier
// names another preset: loading by it must still give this one.
TEST_F(SharedStore, APresetIsFoundAfterAnotherProcessCompacted) {
  std::vector<std::string> names;
  for (int i = 0; i < 14; ++i) names.push_back("p" + std::to_string(i));
  WriteFile(Path(), names, {0, 1, 2, 3, 4, 5, 6, 7});  // eight holes: no compaction
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  int p12 = FindPresetByName("p12");
  ASSERT_EQ(p12, 12);
  ASSERT_TRUE(InChild([&] {
    UnloadAllPresets();
    if (LoadAllPresets(nullptr)) return 1;
    return CompactStore() ? 2 : 0;
  }));
  ASSERT_EQ(EnsureLoaded(p12), 0);
  EXPECT_STREQ(Program[p12].Name, "p12");
  // Saving it writes its own record, not the one now at index 12.
  std::snprintf(Program[p12].Description, DESCLEN, "edited");
  ASSERT_EQ(SavePreset(p12), 0);
  std::vector<std::string> left(names.begin() + 8, names.end());
  EXPECT_EQ(StoredNames(), left);
  int again = FindPresetByName("p12");
  ASSERT_EQ(EnsureLoaded(again), 0);
  EXPECT_STREQ(Program[again].Description, "edited");
}

// Writers started together: adds, imports, deletes and compactions. Nothing
// is lost, nothing doubled, the store always loads.
TEST_F(SharedStore, WritersAtOnceLoseNothing) {
  std::vector<std::string> base;
  for (int i = 0; i < 30; ++i) base.push_back("base" + std::to_string(i));
  std::vector<int> holes;
  for (int i = 20; i < 30; ++i) holes.push_back(i);  // base20..29 deleted
  WriteFile(Path(), base, holes);
  std::string imports = ShareTempDir();
  constexpr int kWriters = 6, kRounds = 3;
  for (int w = 0; w < kWriters; ++w)
    for (int r = 0; r < kRounds; ++r)
      WriteFile(imports + "/w" + std::to_string(w) + "r" + std::to_string(r) + ".tvk",
                {"imp" + std::to_string(w) + "_" + std::to_string(r) + "a",
                 "imp" + std::to_string(w) + "_" + std::to_string(r) + "b"});
  int go[2];
  ASSERT_EQ(pipe(go), 0);
  std::vector<pid_t> kids;
  for (int w = 0; w < kWriters; ++w) {
    pid_t pid = fork();
    if (pid == 0) {
      close(go[1]);
      char c;
      if (read(go[0], &c, 1) != 0) _exit(9);  // all start when the pipe closes
      UnloadAllPresets();
      SetStoreDir(Dir);
      int bad = 0;
      for (int r = 0; r < kRounds; ++r) {
        if (LoadAllPresets(nullptr)) _exit(1);
        std::string tag = std::to_string(w) + "_" + std::to_string(r);
        Preset p{};
        MakeNamed(p, "add" + tag, 1 + (w + r) % 3);
        int index = -1;
        bad += AddPreset(p, nullptr, &index) != 0;
        FreePreset(p);
        StoreUi ui = YesUi();
        int first = -1;
        bad += ImportPresets(imports + "/w" + std::to_string(w) + "r" + std::to_string(r) + ".tvk", &ui, &first) != 0;
        // Each writer deletes one base preset of its own.
        int victim = FindPresetByName("base" + std::to_string(w * kRounds + r));
        if (victim >= 0 && w * kRounds + r < 18) bad += DeletePreset(victim, nullptr, false) != 0;
        if (w == 0) bad += CompactStore() != 0;
      }
      UnloadAllPresets();
      _exit(bad ? 2 : 0);
    }
    kids.push_back(pid);
  }
  close(go[0]);
  close(go[1]);
  for (pid_t pid : kids) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "writer failed: " << status;
  }
  std::vector<std::string> live = StoredNames();
  std::map<std::string, int> seen;
  for (const std::string& n : live) ++seen[n];
  for (const auto& [name, count] : seen) EXPECT_EQ(count, 1) << name << " doubled";
  std::vector<std::string> expected = {"base18", "base19"};
  for (int w = 0; w < kWriters; ++w)
    for (int r = 0; r < kRounds; ++r) {
      std::string tag = std::to_string(w) + "_" + std::to_string(r);
      for (const std::string& n : {"add" + tag, "imp" + tag + "a", "imp" + tag + "b"}) expected.push_back(n);
    }
  std::sort(expected.begin(), expected.end());
  std::sort(live.begin(), live.end());
  EXPECT_EQ(live, expected);
}

// An import that overwrites presets is one replacement of the file: failing
// it at any write leaves the store exactly as it was.
TEST_F(SharedStore, AnOverwritingImportIsAllOrNothing) {
  WriteFile(Path(), {"A", "B", "C"});
  std::string other = ShareTempDir() + "/in.tvk";
  WriteFile(other, {"X", "B", "Y"});
  Bytes original = ReadBytes(Path());
  for (int budget = 0; budget < 4; ++budget) {
    std::ofstream(Path(), std::ios::binary)
        .write(reinterpret_cast<const char*>(original.data()), static_cast<std::streamsize>(original.size()));
    UnloadAllPresets();
    ASSERT_EQ(LoadAllPresets(nullptr), 0);
    StoreUi ui = YesUi();
    int first = -1;
    SafeOutputBudget = budget;
    int rc = ImportPresets(other, &ui, &first);
    SafeOutputBudget = -1;
    std::vector<std::string> after = StoredNames();
    if (rc == 0) {
      EXPECT_EQ(after, (std::vector<std::string>{"A", "C", "X", "B", "Y"})) << budget;
    } else {
      EXPECT_EQ(rc, FMSG_DISK_FULL);
      EXPECT_EQ(ReadBytes(Path()), original) << "a failed import changed the store, budget " << budget;
    }
  }
}

// Ten holes ask for a compaction; when it cannot be written the store is
// still loaded, as it is, and the user is told once.
TEST_F(SharedStore, AStoreThatCannotBeCompactedStillLoads) {
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) names.push_back("p" + std::to_string(i));
  WriteFile(Path(), names, {0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  Bytes original = ReadBytes(Path());
  std::vector<std::string> told;
  StoreUi ui;
  ui.Ctx = &told;
  // Without a Warn the warning goes to Inform.
  ui.Inform = [](void* c, int, const std::string& t) { static_cast<std::vector<std::string>*>(c)->push_back(t); };
  SafeOutputBudget = 0;  // the disk is full
  ASSERT_EQ(LoadAllPresets(&ui), 0);
  ASSERT_EQ(NumPrograms, 12);
  EXPECT_EQ(SharedLiveNames(), (std::vector<std::string>{"p10", "p11"}));
  ASSERT_EQ(EnsureLoaded(11), 0);
  EXPECT_STREQ(Program[11].Name, "p11");
  EXPECT_EQ(ReadBytes(Path()), original);
  ASSERT_EQ(told.size(), 1u);
  EXPECT_EQ(told[0], FormatMsg(STORE_NOT_COMPACTED, {Path()}));
}

// A writer waits for the lock, and gives up with a message that says why.
TEST_F(SharedStore, ALockHeldTooLongIsReported) {
  WriteFile(Path(), {"a", "b"});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  int ready[2], release[2];
  ASSERT_EQ(pipe(ready), 0);
  ASSERT_EQ(pipe(release), 0);
  pid_t pid = fork();
  if (pid == 0) {
    UnloadAllPresets();
    SetStoreDir(Dir);
    if (LockStore()) _exit(1);
    char c = 'x';
    if (write(ready[1], &c, 1) != 1 || read(release[0], &c, 1) != 1) _exit(2);
    UnlockStore();
    _exit(0);
  }
  char c;
  ASSERT_EQ(read(ready[0], &c, 1), 1);
  Bytes before = ReadBytes(Path());
  StoreLockTimeoutMs = 150;
  EXPECT_EQ(DeletePreset(0, nullptr, false), STORE_BUSY);
  EXPECT_EQ(FormatMsg(STORE_BUSY, {StoreMessagePath()}),
            "The file '" + Path() + "' is being changed by another copy of Sonavel. Please try again in a moment.");
  EXPECT_EQ(ReadBytes(Path()), before);
  EXPECT_FALSE(Program[0].Deleted);
  // A whole file written over the store (build, new, convert to its path)
  // waits for the same lock.
  Preset p{};
  MakeNamed(p, "whole");
  EXPECT_EQ(WriteExportFile(Path(), &p, 1), STORE_BUSY);
  EXPECT_EQ(ReadBytes(Path()), before);
  StoreLockTimeoutMs = 10000;
  ASSERT_EQ(write(release[1], &c, 1), 1);
  int status = 0;
  waitpid(pid, &status, 0);
  EXPECT_EQ(status, 0);
  EXPECT_EQ(DeletePreset(0, nullptr, false), 0);
  EXPECT_EQ(StoredNames(), (std::vector<std::string>{"b"}));
  // ... and counts as a change, so that a process holding the store reads
  // it again even when the new file looks like the old one.
  Bytes counter = ReadBytes(Path() + ".lock");
  ASSERT_EQ(WriteExportFile(Path(), &p, 1), 0);
  FreePreset(p);
  EXPECT_NE(ReadBytes(Path() + ".lock"), counter);
  EXPECT_EQ(StoredNames(), (std::vector<std::string>{"whole"}));
}

// A long-lived process refreshes: what it holds unchanged or edited stays,
// what another process changed is read again, and it is told once.
TEST_F(SharedStore, ARefreshKeepsUnsavedEditsAndRereadsTheRest) {
  WriteFile(Path(), {"same", "edited", "changed"});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  for (int i = 0; i < 3; ++i) ASSERT_EQ(EnsureLoaded(i), 0);
  std::snprintf(Program[1].Description, DESCLEN, "mine, unsaved");
  ASSERT_TRUE(InChild([&] {
    UnloadAllPresets();
    if (LoadAllPresets(nullptr)) return 1;
    for (int i : {1, 2}) {
      if (EnsureLoaded(i)) return 2;
      std::snprintf(Program[i].Description, DESCLEN, "theirs");
      if (SavePreset(i)) return 3;
    }
    UnloadAllPresets();
    return 0;
  }));
  std::vector<bool> told;
  StoreRefreshedCtx = &told;
  StoreRefreshed = [](void* ctx, bool rebuilt) { static_cast<std::vector<bool>*>(ctx)->push_back(rebuilt); };
  bool changed = false;
  ASSERT_EQ(RefreshStore(nullptr, &changed), 0);
  EXPECT_TRUE(changed);
  EXPECT_EQ(told, std::vector<bool>{false});
  EXPECT_TRUE(Program[0].Loaded);
  ASSERT_TRUE(Program[1].Loaded);
  EXPECT_STREQ(Program[1].Description, "mine, unsaved");
  EXPECT_FALSE(Program[2].Loaded);
  ASSERT_EQ(EnsureLoaded(2), 0);
  EXPECT_STREQ(Program[2].Description, "theirs");
  ASSERT_EQ(RefreshStore(nullptr, &changed), 0);
  EXPECT_FALSE(changed);
  EXPECT_EQ(told.size(), 1u);
  StoreRefreshed = nullptr;
  StoreRefreshedCtx = nullptr;
  // Saving the edit writes it over the other process's change.
  ASSERT_EQ(SavePreset(1), 0);
  StoredNames();
  ASSERT_EQ(EnsureLoaded(1), 0);
  EXPECT_STREQ(Program[1].Description, "mine, unsaved");
}

// A full index cannot take another process's additions beside its own holes
// and is read anew, so indexes move under a delete or a save already asked
// for: each still acts on its own preset, and the save keeps its edit.
TEST_F(SharedStore, AChangeAsIndexesMoveActsOnItsOwnPreset) {
  std::vector<std::string> names;
  for (int i = 0; i < MAXPROGRAMS; ++i) names.push_back("p" + std::to_string(i));
  WriteFile(Path(), names);
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  ASSERT_EQ(DeletePreset(0, nullptr, false), 0);  // a hole keeps its entry here
  auto compactAndAdd = [&](const char* name) {
    return InChild([&] {
      UnloadAllPresets();
      if (LoadAllPresets(nullptr) || CompactStore()) return 1;
      Preset p{};
      MakeNamed(p, name);
      int index = -1;
      int rc = AddPreset(p, nullptr, &index);
      FreePreset(p);
      UnloadAllPresets();
      return rc ? 2 : 0;
    });
  };
  ASSERT_TRUE(compactAndAdd("theirs1"));
  ASSERT_EQ(DeletePreset(5, nullptr, false), 0);

  int p20 = FindPresetByName("p20");
  ASSERT_EQ(EnsureLoaded(p20), 0);
  std::snprintf(Program[p20].Description, DESCLEN, "mine");
  ASSERT_TRUE(compactAndAdd("theirs2"));
  ASSERT_EQ(SavePreset(p20), 0);

  std::vector<std::string> want(names.begin() + 1, names.end());
  want.erase(want.begin() + 4);  // p5
  want.push_back("theirs1");
  want.push_back("theirs2");
  EXPECT_EQ(StoredNames(), want);
  ASSERT_EQ(EnsureLoaded(FindPresetByName("p20")), 0);
  EXPECT_STREQ(Program[FindPresetByName("p20")].Description, "mine");
  ASSERT_EQ(EnsureLoaded(FindPresetByName("p21")), 0);
  EXPECT_STREQ(Program[FindPresetByName("p21")].Description, "");
}

// Adding several presets is one change too: a refusal or a failed write
// leaves the store as it was, a No skips only that preset.
TEST_F(SharedStore, AddingSeveralIsOneChange) {
  WriteFile(Path(), {"Mine", "Fixed"});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  ASSERT_EQ(EnsureLoaded(1), 0);
  Program[1].BuiltIn = 1;
  SetBuiltIns = true;
  ASSERT_EQ(SaveOverPreset(1), 0);
  SetBuiltIns = false;
  Bytes before = ReadBytes(Path());
  Preset ps[3] = {};
  MakeNamed(ps[0], "new one");
  MakeNamed(ps[1], "MINE");
  MakeNamed(ps[2], "fixed");
  int indexes[3];
  EXPECT_EQ(AddPresets(ps, 3, nullptr, indexes), 95);  // a built-in preset's name
  EXPECT_EQ(ReadBytes(Path()), before);
  EXPECT_EQ(NumPrograms, 2);
  SafeOutputBudget = 0;
  StoreUi yes = YesUi();
  EXPECT_EQ(AddPresets(ps, 2, &yes, indexes), FMSG_DISK_FULL);
  SafeOutputBudget = -1;
  EXPECT_EQ(ReadBytes(Path()), before);
  EXPECT_EQ(NumPrograms, 2);
  EXPECT_STREQ(Program[0].Name, "Mine");
  StoreUi no;
  no.Ask = [](void*, int, const std::string&, bool) { return STORE_NO; };
  ASSERT_EQ(AddPresets(ps, 2, &no, indexes), 0);
  EXPECT_EQ(indexes[0], 2);
  EXPECT_EQ(indexes[1], -1);
  ASSERT_EQ(AddPresets(ps + 1, 1, &yes, indexes), 0);
  EXPECT_EQ(indexes[0], 0);  // saved into the existing preset's record
  EXPECT_EQ(StoredNames(), (std::vector<std::string>{"MINE", "Fixed", "new one"}));
  for (Preset& p : ps) FreePreset(p);
}

}  // namespace
