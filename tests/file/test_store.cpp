// The preset store: load, compaction, saving with moved records, deletion,
// curves on demand, import/export rules, and surviving a killed writer.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "data/backgrounds/bgprobe.h"
#include "file/fileformat.h"
#include "file/filewrite.h"
#include "file/store.h"
#include "main/preset.h"
#include "main/strtab.h"
#include "platform/resource.h"

namespace {

std::string StoreTempDir() {
  std::string tmpl = ::testing::TempDir() + "storeXXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back(0);
  EXPECT_NE(mkdtemp(buf.data()), nullptr);
  return buf.data();
}

int64_t FileSize(const std::string& path) {
  struct stat st;
  return ::stat(path.c_str(), &st) == 0 ? st.st_size : -1;
}

// A preset named `name` with `voices` voices in one segment.
void MakePreset(Preset& p, const std::string& name, int voices = 1) {
  NewDefaultPreset(p);
  std::snprintf(p.Name, sizeof p.Name, "%s", name.c_str());
  if (voices > 1) {
    Param* pp = CommitSegmentSlot(p, 0, voices);
    FillDefaultSegment(pp, p.data.Segment[0], voices, 3);
    RecomputeAllTracked(BackgroundParamRow{}, pp, p.data.Segment[0]);
  }
}

// Writes a store file of the given presets; deleted ones by index.
void WriteStore(const std::string& dir, const std::vector<std::string>& names, std::vector<int> deleted = {},
                int storeFlag = 0) {
  std::vector<Preset> ps(names.size());
  for (size_t i = 0; i < names.size(); ++i) {
    MakePreset(ps[i], names[i]);
    for (int d : deleted)
      if (d == static_cast<int>(i)) ps[i].Deleted = 1;
  }
  std::vector<unsigned char> img;
  ByteDev dev = DevFromBuffer(img);
  ASSERT_EQ(WritePresetFile(dev, storeFlag, ps.data(), static_cast<int>(ps.size())), 0);
  std::ofstream(dir + "/Presets.tvk", std::ios::binary)
      .write(reinterpret_cast<const char*>(img.data()), static_cast<std::streamsize>(img.size()));
  for (Preset& p : ps) FreePreset(p);
}

std::vector<std::string> StoreLiveNames() {
  std::vector<std::string> n;
  for (int i = 0; i < NumPrograms; ++i)
    if (!Program[i].Deleted) n.push_back(Program[i].Name);
  return n;
}

struct Answers {
  std::vector<StoreAnswer> Queue;
  std::vector<std::string> Asked, Told, Warned;
  StoreUi Ui() {
    StoreUi ui;
    ui.Ctx = this;
    ui.Ask = [](void* c, int, const std::string& text, bool) {
      auto* a = static_cast<Answers*>(c);
      a->Asked.push_back(text);
      if (a->Queue.empty()) return STORE_NO;
      StoreAnswer r = a->Queue.front();
      a->Queue.erase(a->Queue.begin());
      return r;
    };
    ui.Inform = [](void* c, int, const std::string& text) { static_cast<Answers*>(c)->Told.push_back(text); };
    ui.Warn = [](void* c, const std::string& text) { static_cast<Answers*>(c)->Warned.push_back(text); };
    return ui;
  }
};

class Store : public ::testing::Test {
 protected:
  std::string Dir;
  void SetUp() override {
    Dir = StoreTempDir();
    SetStoreDir(Dir);
    DecommitThreshold = 10;
    SetBuiltIns = false;
  }
  void TearDown() override { UnloadAllPresets(); }
  std::string Path() const { return Dir + "/Presets.tvk"; }
};

TEST_F(Store, FirstStartWritesTheBuiltInPresets) {
  const unsigned char* data;
  size_t size;
  bool haveBuiltIns = plat::FindResource(plat::RT_RCDATA, 26, &data, &size);
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  EXPECT_EQ(FileSize(Path()), haveBuiltIns ? static_cast<int64_t>(size) : FILE_HEADER_SIZE);
  if (haveBuiltIns) {
    EXPECT_GT(NumPrograms, 0);
  }
}

TEST_F(Store, AllDeletedStoreIsReplacedByTheBuiltIns) {
  WriteStore(Dir, {"a", "b"}, {0, 1});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  const unsigned char* data;
  size_t size;
  if (plat::FindResource(plat::RT_RCDATA, 26, &data, &size)) {
    EXPECT_EQ(FileSize(Path()), static_cast<int64_t>(size));
    EXPECT_FALSE(StoreLiveNames().empty());
  } else {
    EXPECT_EQ(NumPrograms, 0);
  }
}

TEST_F(Store, TenDeletedRecordsAreCompactedNineAreNot) {
  std::vector<std::string> names;
  for (int i = 0; i < 13; ++i) names.push_back("p" + std::to_string(i));
  WriteStore(Dir, names, {0, 2, 3, 4, 5, 6, 7, 8, 9});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  EXPECT_EQ(NumPrograms, 13);  // nine holes stay, indexes unchanged
  EXPECT_STREQ(Program[10].Name, "p10");
  UnloadAllPresets();
  WriteStore(Dir, names, {0, 2, 3, 4, 5, 6, 7, 8, 9, 10});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  EXPECT_EQ(NumPrograms, 3);
  EXPECT_EQ(StoreLiveNames(), (std::vector<std::string>{"p1", "p11", "p12"}));
  EXPECT_STREQ(Program[1].Name, "p11");
}

TEST_F(Store, SingleRecordUnderExportHeaderLoads) {
  WriteStore(Dir, {"only"}, {}, 0);
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  EXPECT_EQ(StoreLiveNames(), (std::vector<std::string>{"only"}));
  ASSERT_EQ(EnsureLoaded(0), 0);
  EXPECT_EQ(Program[0].Loaded, 1);
}

TEST_F(Store, SavingAnotherSizeMovesLaterRecords) {
  WriteStore(Dir, {"a", "b", "c"});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  int64_t before = FileSize(Path());
  ASSERT_EQ(EnsureLoaded(1), 0);
  int32_t oldSize = Program[1].RecordSize;
  Param* pp = CommitSegmentSlot(Program[1], 0, 3);  // grow to three voices
  FillDefaultSegment(pp, Program[1].data.Segment[0], 3, 3);
  RecomputeAllTracked(BackgroundParamRow{}, pp, Program[1].data.Segment[0]);
  ASSERT_EQ(SavePreset(1), 0);
  int32_t grown = Program[1].RecordSize;
  EXPECT_EQ(FileSize(Path()), before + grown - oldSize);
  // Equal size: the file keeps its length and the other records their content.
  std::strcpy(Program[1].Description, "same size");
  std::strcpy(Program[1].Description, "");
  ASSERT_EQ(SavePreset(1), 0);
  EXPECT_EQ(FileSize(Path()), before + grown - oldSize);
  UnloadAllPresets();
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  EXPECT_EQ(StoreLiveNames(), (std::vector<std::string>{"a", "b", "c"}));
  ASSERT_EQ(EnsureLoaded(2), 0);
  EXPECT_STREQ(Program[2].Name, "c");
  ASSERT_EQ(EnsureLoaded(1), 0);
  EXPECT_EQ(Program[1].data.Segment[0].NumVoices, 3);
  // Shrink back: later records move forward again.
  Program[1].data.Segment[0].NumVoices = 1;
  ASSERT_EQ(SavePreset(1), 0);
  EXPECT_EQ(FileSize(Path()), before);
}

TEST_F(Store, DeleteKeepsIndexesUntilCompaction) {
  WriteStore(Dir, {"a", "b", "c", "d", "e"});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  Answers ans;
  ans.Queue = {STORE_NO, STORE_YES};
  StoreUi ui = ans.Ui();
  EXPECT_EQ(DeletePreset(3, &ui), -1);
  EXPECT_EQ(DeletePreset(3, &ui), 0);
  ASSERT_EQ(ans.Asked.size(), 2u);
  EXPECT_EQ(ans.Asked[1], "Are you sure you want to delete the preset 'd'?");
  EXPECT_EQ(NumPrograms, 5);
  EXPECT_STREQ(Program[4].Name, "e");
  UnloadAllPresets();
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  EXPECT_EQ(NumPrograms, 5);
  EXPECT_TRUE(Program[3].Deleted);
  ASSERT_EQ(EnsureLoaded(4), 0);
  EXPECT_STREQ(Program[4].Name, "e");
  // The last live preset cannot go.
  for (int i : {0, 1, 2}) ASSERT_EQ(DeletePreset(i, nullptr, false), 0);
  EXPECT_EQ(DeletePreset(4, nullptr, false), 1303);
}

TEST_F(Store, EleventhLoadReleasesTheLeastRecentlyUsed) {
  std::vector<std::string> names;
  for (int i = 0; i < 12; ++i) names.push_back("p" + std::to_string(i));
  WriteStore(Dir, names);
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  for (int i = 0; i < 10; ++i) ASSERT_EQ(EnsureLoaded(i), 0);
  ASSERT_EQ(EnsureLoaded(0), 0);  // 0 is now the most recent; 1 the oldest
  EXPECT_EQ(LoadedCount, 10);
  ASSERT_EQ(EnsureLoaded(10), 0);
  EXPECT_EQ(LoadedCount, 10);
  EXPECT_FALSE(Program[1].Loaded);
  EXPECT_EQ(Program[1].ParamMem, nullptr);
  EXPECT_TRUE(Program[0].Loaded);
  EXPECT_TRUE(Program[10].Loaded);
}

TEST_F(Store, ImportAndExportRefuseTheStoreItself) {
  WriteStore(Dir, {"a"});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  int first = 0;
  EXPECT_EQ(ImportPresets(Path(), nullptr, &first), 1301);
  EXPECT_EQ(ExportPreset(0, Path()), 1300);
  EXPECT_EQ(FormatMsg(1300, {StoreMessagePath()}),
            "File '" + Path() + "' is currently being used by Sonavel. You can not export over it.");
}

TEST_F(Store, ImportWithOneNoReportsTwoImported) {
  WriteStore(Dir, {"Alpha", "Beta"});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  std::string other = StoreTempDir();
  WriteStore(other, {"One", "BETA", "Two"});
  Answers ans;
  ans.Queue = {STORE_NO};
  StoreUi ui = ans.Ui();
  int first = -1;
  ASSERT_EQ(ImportPresets(other + "/Presets.tvk", &ui, &first), 0);
  EXPECT_EQ(first, 2);
  ASSERT_EQ(ans.Asked.size(), 1u);
  EXPECT_EQ(ans.Asked[0], "The imported preset 'BETA' already exists. Do you want to overwrite the existing preset?");
  ASSERT_EQ(ans.Told.size(), 1u);
  EXPECT_EQ(ans.Told[0], "2 presets were successfully imported.");
  EXPECT_EQ(StoreLiveNames(), (std::vector<std::string>{"Alpha", "Beta", "One", "Two"}));
  // Yes replaces the existing preset: it becomes a hole, the import is
  // appended, and a window that had it selected selects the import.
  ans.Queue = {STORE_YES, STORE_CANCEL};
  ans.Told.clear();
  ImportReport report;
  ASSERT_EQ(ImportPresets(other + "/Presets.tvk", &ui, &report), 0);
  EXPECT_EQ(ans.Told.back(), "1 preset was successfully imported.");
  EXPECT_EQ(StoreLiveNames(), (std::vector<std::string>{"Alpha", "Beta", "Two", "One"}));
  EXPECT_EQ(report.First, 4);
  ASSERT_EQ(report.Replaced.size(), 1u);
  EXPECT_EQ(SelectionAfterImport(report, 2), 4);  // "One" was record 2
  EXPECT_EQ(SelectionAfterImport(report, 1), 1);
  UnloadAllPresets();
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  EXPECT_EQ(StoreLiveNames(), (std::vector<std::string>{"Alpha", "Beta", "Two", "One"}));
}

TEST_F(Store, ExportWritesOnePresetUnderAnExportHeader) {
  WriteStore(Dir, {"a", "b"});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  std::string out = StoreTempDir() + "/b.tvk";
  ASSERT_EQ(ExportPreset(1, out), 0);
  std::ifstream f(out, std::ios::binary);
  std::vector<unsigned char> b{std::istreambuf_iterator<char>(f), {}};
  ASSERT_GT(b.size(), 136u + 1644);
  EXPECT_EQ(GetLE32(b.data() + 124), 0);
  EXPECT_EQ(static_cast<int64_t>(b.size()), 136 + GetLE32(b.data() + 136));
  EXPECT_STREQ(reinterpret_cast<const char*>(b.data() + 136 + 5), "b");
}

TEST_F(Store, SavingRules) {
  WriteStore(Dir, {"Mine", "BUILTIN: Fixed"});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  ASSERT_EQ(EnsureLoaded(1), 0);
  Program[1].BuiltIn = 1;
  SetBuiltIns = true;
  ASSERT_EQ(SaveOverPreset(1), 0);
  SetBuiltIns = false;
  EXPECT_EQ(SaveOverPreset(1), 94);
  Preset p{};
  MakePreset(p, "builtin: fixed");
  int index = -1;
  EXPECT_EQ(AddPreset(p, nullptr, &index), 95);
  std::snprintf(p.Name, sizeof p.Name, "MINE");
  Answers ans;
  StoreUi ui = ans.Ui();
  EXPECT_EQ(AddPreset(p, &ui, &index), -1);
  EXPECT_EQ(ans.Asked.at(0), "Are you sure you want to overwrite the previous preset 'MINE'?");
  ans.Queue = {STORE_YES};
  ASSERT_EQ(AddPreset(p, &ui, &index), 0);
  EXPECT_EQ(index, 0);
  EXPECT_STREQ(Program[0].Name, "MINE");
  std::snprintf(p.Name, sizeof p.Name, "New one");
  ASSERT_EQ(AddPreset(p, &ui, &index), 0);
  EXPECT_EQ(index, 2);
  FreePreset(p);
}

// A name written on Windows (Windows-1252) is the same name typed as UTF-8.
TEST_F(Store, NamesMatchByTheTextRule) {
  WriteStore(Dir, {"Caf\xE9", "other"});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  EXPECT_EQ(FindPresetByName("CAF\xC3\x89"), 0);
  Preset p{};
  MakePreset(p, "caf\xC3\xA9");
  Answers ans;
  StoreUi ui = ans.Ui();
  int index = -1;
  EXPECT_EQ(AddPreset(p, &ui, &index), -1);
  EXPECT_EQ(ans.Asked.at(0), "Are you sure you want to overwrite the previous preset 'caf\xC3\xA9'?");
  FreePreset(p);
}

// A question names a preset from a file by the text rule: UTF-8, on one line.
TEST_F(Store, QuestionsShowNamesByTheTextRule) {
  WriteStore(Dir, {"Caf\xE9\nbar", "tab\there"});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  std::string other = StoreTempDir();
  WriteStore(other, {"CAF\xC9\nBAR"});
  Answers ans;
  StoreUi ui = ans.Ui();
  int first = -1;
  ASSERT_EQ(ImportPresets(other + "/Presets.tvk", &ui, &first), 0);
  ASSERT_EQ(DeletePreset(1, &ui), -1);
  EXPECT_EQ(ans.Asked, (std::vector<std::string>{
                           "The imported preset 'CAF\xC3\x89\\nBAR' already exists. Do you want to overwrite the "
                           "existing preset?",
                           "Are you sure you want to delete the preset 'tab\\there'?"}));
}

TEST_F(Store, NoMoreThanAThousandPresets) {
  std::vector<std::string> names;
  for (int i = 0; i < 1000; ++i) names.push_back("p" + std::to_string(i));
  WriteStore(Dir, names);
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  ASSERT_EQ(NumPrograms, 1000);
  Preset p{};
  MakePreset(p, "one more");
  int index;
  EXPECT_EQ(AddPreset(p, nullptr, &index), 1302);
  std::string other = StoreTempDir();
  WriteStore(other, {"x"});
  Answers ans;
  StoreUi ui = ans.Ui();
  int first;
  EXPECT_EQ(ImportPresets(other + "/Presets.tvk", &ui, &first), 1302);
  EXPECT_TRUE(ans.Told.empty());  // no summary
  EXPECT_EQ(NumPrograms, 1000);
  FreePreset(p);
}

TEST_F(Store, MissingLibraryBackgroundBecomesNone) {
  WriteStore(Dir, {"a", "b", "c"});
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  struct Case {
    int Index;
    const char* File;
    int Number;
    int Expected;
    const char* Message;
  } cases[] = {
      {0, "Nowhere.dll", 3, AMBIX_NONE,
       "The file 'Nowhere.dll' containing the background of this preset was not found.\n\nThe background is set to "
       "None."},
      {1, "Ambix.dll", 99, AMBIX_NONE,
       "The file 'Ambix.dll' does not contain the background #99 specified in this preset. You may have a wrong "
       "version of the background file.\n\nThe background is set to None."},
      {2, "Ambix.dll", 3, 3, nullptr},
  };
  // The engine's start-up installed the probe.
  ASSERT_EQ(StoreBackgroundProbe, &ProbeLibraryBackground);
  for (const Case& c : cases) {
    ASSERT_EQ(EnsureLoaded(c.Index), 0);
    Program[c.Index].data.Background = c.Number;
    std::snprintf(Program[c.Index].data.BackgroundFile, NAMELEN, "%s", c.File);
    ASSERT_EQ(SavePreset(c.Index), 0);
    ReleasePreset(c.Index);
    Answers ans;
    StoreUi ui = ans.Ui();
    ASSERT_EQ(EnsureLoaded(c.Index, &ui), 0);
    EXPECT_EQ(Program[c.Index].data.Background, c.Expected) << c.File;
    // A warning, not news.
    EXPECT_TRUE(ans.Told.empty());
    if (c.Message) {
      ASSERT_EQ(ans.Warned.size(), 1u);
      EXPECT_EQ(ans.Warned[0], c.Message);
    } else {
      EXPECT_TRUE(ans.Warned.empty());
    }
  }
}

// A writer killed at any moment leaves a store that loads with every preset
// it had before.
TEST_F(Store, KilledWriterLeavesAReadableStore) {
  WriteStore(Dir, {"a", "b", "c", "d"});
  for (int round = 0; round < 12; ++round) {
    pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      SetStoreDir(Dir);
      if (LoadAllPresets(nullptr) != 0) _exit(3);
      Preset p{};
      for (int k = 0;; ++k) {
        MakePreset(p, "extra", 1 + k % 10);
        int index;
        AddPreset(p, nullptr, &index);
        FreePreset(p);
        int victim = FindPresetByName("extra");
        if (victim >= 0) DeletePreset(victim, nullptr, false);
        EnsureLoaded(1);
        Program[1].data.Segment[0].NumVoices = static_cast<uint8_t>(1 + k % 3);
        if (Program[1].data.Segment[0].NumVoices > 1) {
          Param* pp = CommitSegmentSlot(Program[1], 0, Program[1].data.Segment[0].NumVoices);
          FillDefaultSegment(pp, Program[1].data.Segment[0], Program[1].data.Segment[0].NumVoices, 3);
          RecomputeAllTracked(BackgroundParamRow{}, pp, Program[1].data.Segment[0]);
        }
        SavePreset(1);
      }
    }
    usleep(static_cast<useconds_t>(3000 + round * 2500));
    kill(child, SIGKILL);
    int status;
    waitpid(child, &status, 0);
    UnloadAllPresets();
    ASSERT_EQ(LoadAllPresets(nullptr), 0) << "round " << round;
    // The load holds the lock: the killed writer's temporary file is gone.
    DIR* d = opendir(Dir.c_str());
    while (dirent* e = d ? readdir(d) : nullptr)
      EXPECT_NE(std::strncmp(e->d_name, "Presets.tvk.tmp-", 16), 0) << e->d_name;
    if (d) closedir(d);
    std::vector<std::string> live = StoreLiveNames();
    for (const char* n : {"a", "b", "c", "d"})
      EXPECT_NE(std::find(live.begin(), live.end(), n), live.end()) << n << " lost in round " << round;
    for (int i = 0; i < NumPrograms; ++i) {
      if (!Program[i].Deleted) {
        EXPECT_EQ(EnsureLoaded(i), 0) << Program[i].Name;
      }
    }
    UnloadAllPresets();
  }
}

}  // namespace
