// The background library table: loading a folder of libraries, skipping
// what is not one, finding backgrounds by (number, file), and the row 6 each
// background gives.
#include <gtest/gtest.h>

#include <filesystem>

#include "bg_wave.h"
#include "data/backgrounds/bglib.h"
#include "data/backgrounds/bgload.h"
#include "data/testrecord.h"
#include "main/preset.h"
#include "main/strtab.h"

namespace fs = std::filesystem;
using namespace bgtest;

namespace {

// A folder holding Ambix.dll, a copy of it under another name, the example
// library, a library without the export, a directory and a plain file that
// are named like libraries, and a file of another kind.
struct LibraryFolder {
  TempDir Dir;
  LibraryFolder() {
    fs::copy_file(BinDir() + "/Ambix.dll", Dir / "Ambix.dll");
    fs::copy_file(BinDir() + "/Ambix.dll", Dir / "Second.dll");
    fs::copy_file(BinDir() + "/bgtest/Example.dll", Dir / "Example.dll");
    fs::copy_file(BinDir() + "/bgtest/NoExport.dll", Dir / "NoExport.dll");
    fs::create_directory(Dir / "x.dll");
    WriteFile(Dir / "y.dll", Bytes{'n', 'o', 't', ' ', 'E', 'L', 'F'});
    WriteFile(Dir / "notes.txt", Bytes{'h', 'i'});
  }
};

class BackgroundLibraries : public ::testing::Test {
 protected:
  void SetUp() override { ClearBackgroundLibraries(); }
  void TearDown() override {
    ClearBackgroundLibraries();
    LoadBackgroundLibraries(BinDir());  // leave the shipped table for others
  }
};

TEST_F(BackgroundLibraries, FolderYieldsEveryLibrarysRecordsAndSkipsTheRest) {
  LibraryFolder f;
  EXPECT_EQ(LoadBackgroundLibraries(f.Dir.Path.string()), 14);
  ASSERT_EQ(NumAmbix, 14);
  // Name order: Ambix.dll, Example.dll, (NoExport.dll), Second.dll.
  const char* files[14] = {"Ambix.dll",  "Ambix.dll",   "Ambix.dll",   "Ambix.dll",  "Ambix.dll",
                           "Ambix.dll",  "Example.dll", "Example.dll", "Second.dll", "Second.dll",
                           "Second.dll", "Second.dll",  "Second.dll",  "Second.dll"};
  const int numbers[14] = {1, 2, 3, 4, 5, 6, 1, 2, 1, 2, 3, 4, 5, 6};
  for (int i = 0; i < 14; ++i) {
    EXPECT_STREQ(AmbixInfo[i].LibraryFile, files[i]) << i;
    EXPECT_EQ(AmbixInfo[i].Number, numbers[i]) << i;
  }
  // Equal numbers in different libraries do not collide; case is ignored.
  EXPECT_EQ(FindBackground(5, "Ambix.dll"), 4);
  EXPECT_EQ(FindBackground(5, "AMBIX.DLL"), 4);
  EXPECT_EQ(FindBackground(5, "second.dll"), 12);
  EXPECT_EQ(FindBackground(1, "Example.dll"), 6);
  EXPECT_EQ(FindBackground(3, "Example.dll"), -1);
  EXPECT_EQ(FindBackground(1, "NoExport.dll"), -1);
  EXPECT_EQ(FindBackground(1, "Ambix"), -1);
}

TEST_F(BackgroundLibraries, ProgramCompletesEachRecord) {
  LibraryFolder f;
  LoadBackgroundLibraries(f.Dir.Path.string());
  // The example library writes into the program's fields on purpose.
  const AmbixRecord& bell = AmbixInfo[7];
  EXPECT_STREQ(bell.Name, "Example: Bell");
  EXPECT_STREQ(bell.LibraryFile, "Example.dll");
  EXPECT_EQ(bell.ParamRow[APR_POS], 8);
  EXPECT_EQ(bell.ParamRow[APR_FIRSTPID], 2);
  EXPECT_EQ(bell.ParamRow[APR_VOL], 0);
  EXPECT_EQ(bell.ParamRow[APR_NAME], 0);
  for (unsigned char b : bell.Reserved2) EXPECT_EQ(b, 0);
}

TEST_F(BackgroundLibraries, AmbixDescribesItsSixBackgrounds) {
  ASSERT_EQ(LoadBackgroundLibraries(BinDir()), 6);
  const char* names[6] = {"Nature: Night noises",
                          "Nature: Babbling brook",
                          "Nature: Heavy rain",
                          "Animals: Seagulls",
                          "Nature: Roll of thunder (parametric)",
                          "Animals: Mooing cow (parametric)"};
  for (int i = 0; i < 6; ++i) {
    const AmbixRecord& r = AmbixInfo[i];
    EXPECT_EQ(r.Number, i + 1);
    EXPECT_STREQ(r.Name, names[i]);
    bool param = i >= 4;
    EXPECT_EQ(r.HasParam != 0, param) << i;
    EXPECT_EQ(r.IntervalMode != 0, param) << i;
    EXPECT_EQ(r.Reserved1[0], param ? 40000 : 0);
    EXPECT_EQ(r.Reserved1[1], param ? 20000 : 0);
    if (!param) {
      EXPECT_STREQ(r.ParamName, "");
      for (int c = APR_CHANNELS; c < APR_NAME; ++c) {
        if (c != APR_VOL) {
          EXPECT_EQ(r.ParamRow[c], 0) << i << " " << c;
        }
      }
      continue;
    }
    const int32_t row[14] = {8, 2, 2, 10, 0, 160, 0, 0, 600, 2, 1, 2000, 0, 0};
    for (int c = 0; c < 14; ++c) EXPECT_EQ(r.ParamRow[c], row[c]) << i << " " << c;
  }
  EXPECT_STREQ(AmbixInfo[4].ParamName, "Background Thunder Interval");
  EXPECT_STREQ(AmbixInfo[5].ParamName, "Background Cow Moo Interval");
}

TEST_F(BackgroundLibraries, EmptyFolderGivesEmptyTableAndPlayTimeRefusal) {
  TempDir empty;
  EXPECT_EQ(LoadBackgroundLibraries(empty.Path.string()), 0);
  EXPECT_EQ(NumAmbix, 0);
  BackgroundChoice c;
  EXPECT_EQ(ResolveBackground(1, "Ambix.dll", &c), 1331);
  Preset p = PresetWith(1, "Ambix.dll");
  EXPECT_EQ(LoadBackground(TestRecord, p), 1331);
  // The file appearing after start-up: present but not loaded.
  fs::copy_file(BinDir() + "/Ambix.dll", empty / "Ambix.dll");
  EXPECT_EQ(ResolveBackground(1, "ambix.dll", &c), 1446);
  EXPECT_EQ(LoadBackground(TestRecord, p), 1446);
}

TEST_F(BackgroundLibraries, ResolvingABackgroundGivesItsSourceModeAndRow) {
  LoadBackgroundLibraries(BinDir());
  BackgroundChoice c;
  ASSERT_EQ(ResolveBackground(5, "Ambix.dll", &c), 0);
  const ParamDefType& row = c.ParamRow;
  EXPECT_EQ(c.Source, BGSRC_LIBRARY);
  EXPECT_STREQ(AmbixInfo[c.Entry].ParamName, "Background Thunder Interval");
  EXPECT_EQ(row.Name, 0);
  EXPECT_EQ(row.FirstPid, 2);
  EXPECT_EQ(row.Pos, 8);
  EXPECT_EQ(row.Channels, 2);
  EXPECT_EQ(row.Easy, 10);
  EXPECT_EQ(row.Vol, 0);
  EXPECT_EQ(row.Unit, 160);
  EXPECT_EQ(row.Max, 600);
  EXPECT_EQ(row.Digits, 2);
  EXPECT_EQ(row.FlagB, 1);
  EXPECT_EQ(row.Step, 2000);

  struct Case {
    int Number;
    const char* File;
    int Result;
    BackgroundSource Source;
    bool Interval;
    int RowName;  // 0: the library's own row
  } cases[] = {
      {1, "AMBIX.DLL", 0, BGSRC_LIBRARY, false, 355},  // no parameter of its own
      {6, "Ambix.dll", 0, BGSRC_LIBRARY, true, 0},        {AMBIX_OTHER, "rain.wav", 0, BGSRC_FILE, true, 355},
      {AMBIX_LONG, "long.wav", 0, BGSRC_FILE, true, 355}, {AMBIX_NONE, "", 0, BGSRC_NONE, false, 171},
      {27, "Tavik.exe", 0, BGSRC_OWN, true, 355},  // the program's own plays in interval mode
      {9, "Ambix.dll", 1446, BGSRC_NONE, false, 0},
  };
  for (const Case& k : cases) {
    BackgroundChoice got;
    got.Number = -5;
    EXPECT_EQ(ResolveBackground(k.Number, k.File, &got), k.Result) << k.Number;
    if (k.Result) {
      EXPECT_EQ(got.Number, -5) << "a refusal leaves the choice alone";
      continue;
    }
    EXPECT_EQ(got.Number, k.Number);
    EXPECT_STREQ(got.File, k.File);
    EXPECT_EQ(got.Source, k.Source) << k.Number;
    EXPECT_EQ(got.IntervalMode, k.Interval) << k.Number;
    EXPECT_EQ(got.ParamRow.Name, k.RowName) << k.Number;
  }
  EXPECT_EQ(AmbixInfo[FindBackground(1, "Ambix.dll")].IntervalMode, 0);
}

TEST_F(BackgroundLibraries, EditorRowFollowsTheChoice) {
  LoadBackgroundLibraries(BinDir());
  struct Case {
    int Number;
    const char* File;
    const char* Name;
    int Unit;
  };
  const Case cases[] = {
      {5, "Ambix.dll", "Background Thunder Interval", 160},
      {AMBIX_NONE, "", "Background Interval", ParamDefSpare[1].Unit},
      {AMBIX_LONG, "long.wav", "Background Interval", ParamDefSpare[1].Unit},
      {2, "Ambix.dll", "(Background Param not in use)", ParamDefSpare[0].Unit},
  };
  for (const Case& c : cases) {
    const BackgroundParamRow r = BackgroundParamRowFor(c.Number, c.File);
    EXPECT_STREQ(ParamRowName(r, PN_BGPARAM), c.Name) << c.Number;
    EXPECT_EQ(ParamRowOf(r, PN_BGPARAM).Unit, c.Unit) << c.Number;
  }
}

// The row of a background (pasting another preset's segment asks for that
// preset's row).
TEST_F(BackgroundLibraries, RowForABackground) {
  LoadBackgroundLibraries(BinDir());
  struct Case {
    int Number;
    const char* File;
    int32_t RowName;
    const char* Name;
  };
  const Case cases[] = {
      {5, "Ambix.dll", 0, "Background Thunder Interval"}, {2, "Ambix.dll", ParamDefSpare[0].Name, ""},
      {AMBIX_NONE, "", ParamDefSpare[1].Name, ""},        {AMBIX_OTHER, "rain.wav", ParamDefSpare[1].Name, ""},
      {77, "Missing.dll", ParamDefSpare[0].Name, ""},
  };
  for (const Case& c : cases) {
    const BackgroundParamRow r = BackgroundParamRowFor(c.Number, c.File);
    EXPECT_EQ(r.Row.Name, c.RowName) << c.Number;
    EXPECT_STREQ(r.Name, c.Name) << c.Number;
  }
}

}  // namespace
