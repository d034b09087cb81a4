// The preset store meets the earlier format: an old store at start and an
// old file imported.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "convold/storeconv.h"
#include "file/fileformat.h"
#include "file/store.h"
#include "main/strtab.h"
#include "oldwriter.h"

namespace {

std::string MakeTempDir() {
  std::string tmpl = ::testing::TempDir() + "oldstoreXXXXXX";
  std::vector<char> buf(tmpl.begin(), tmpl.end());
  buf.push_back(0);
  EXPECT_NE(mkdtemp(buf.data()), nullptr);
  return buf.data();
}

void WriteBytes(const std::string& path, const Bytes& b) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(b.data()), static_cast<std::streamsize>(b.size()));
}
Bytes ReadBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(f), {}};
}

struct Script {
  bool ConfirmAnswer = true;
  StoreAnswer AskAnswer = STORE_YES;
  std::vector<std::string> Confirmed, Asked, Told;
  int LastProgress = -1;
  StoreUi Ui() {
    StoreUi ui;
    ui.Ctx = this;
    ui.Confirm = [](void* c, const std::string& t) {
      auto* s = static_cast<Script*>(c);
      s->Confirmed.push_back(t);
      return s->ConfirmAnswer;
    };
    ui.Ask = [](void* c, int, const std::string& t, bool) {
      auto* s = static_cast<Script*>(c);
      s->Asked.push_back(t);
      return s->AskAnswer;
    };
    ui.Inform = [](void* c, int, const std::string& t) { static_cast<Script*>(c)->Told.push_back(t); };
    ui.Progress = [](void* c, int caption, int pos, int max) {
      EXPECT_EQ(caption, 89);
      EXPECT_EQ(max, 1000);
      static_cast<Script*>(c)->LastProgress = pos;
    };
    return ui;
  }
};

class OldStore : public ::testing::Test {
 protected:
  std::string Dir;
  void SetUp() override {
    Dir = MakeTempDir();
    SetStoreDir(Dir);
  }
  void TearDown() override { UnloadAllPresets(); }
  std::string Store() const { return Dir + "/Presets.tvk"; }
};

TEST_F(OldStore, IsBackedUpConvertedAndLoaded) {
  Bytes old = OldFile({OldTypicalPreset("BUILTIN: First"), OldTypicalPreset("Second", 2, 2)});
  WriteBytes(Store(), old);
  Script s;
  StoreUi ui = s.Ui();
  ASSERT_EQ(LoadAllPresets(&ui), 0);
  ASSERT_EQ(s.Confirmed.size(), 1u);
  EXPECT_EQ(s.Confirmed[0], GetStr(90));
  EXPECT_EQ(s.LastProgress, 1000);
  EXPECT_EQ(ReadBytes(Dir + "/Presets.bak"), old);
  ASSERT_EQ(NumPrograms, 2);
  EXPECT_STREQ(Program[0].Name, "BUILTIN: First");
  EXPECT_EQ(Program[0].BuiltIn, 1);
  ASSERT_EQ(EnsureLoaded(1), 0);
  EXPECT_EQ(Program[1].data.NumSegments, 2);
  Bytes now = ReadBytes(Store());
  ASSERT_GE(now.size(), 136u);
  EXPECT_EQ(GetLE32(now.data() + 124), 1);  // a store made by conversion
  EXPECT_EQ(GetLE32(now.data() + 128), 3);
}

TEST_F(OldStore, CancelOrKeepingTheOldBackupQuits) {
  Bytes old = OldFile({OldTypicalPreset("One")});
  WriteBytes(Store(), old);
  Script s;
  s.ConfirmAnswer = false;
  StoreUi ui = s.Ui();
  EXPECT_EQ(LoadAllPresets(&ui), 1328);
  EXPECT_EQ(ReadBytes(Store()), old);  // untouched
  WriteBytes(Dir + "/Presets.bak", {1, 2, 3});
  s.ConfirmAnswer = true;
  s.AskAnswer = STORE_NO;
  EXPECT_EQ(LoadAllPresets(&ui), 1328);
  ASSERT_EQ(s.Asked.size(), 1u);
  EXPECT_EQ(s.Asked[0], FormatPrintf(GetStr(92), (Dir + "/Presets.bak").c_str()));
  EXPECT_EQ(ReadBytes(Dir + "/Presets.bak"), (Bytes{1, 2, 3}));
  s.AskAnswer = STORE_YES;
  ASSERT_EQ(LoadAllPresets(&ui), 0);
  EXPECT_EQ(ReadBytes(Dir + "/Presets.bak"), old);
}

TEST_F(OldStore, AnOldStoreWithNothingInItDoesNotLoad) {
  OldPresetSpec gone = OldTypicalPreset("gone");
  gone.Deleted = true;
  WriteBytes(Store(), OldFile({gone}));
  Script s;
  StoreUi ui = s.Ui();
  EXPECT_EQ(LoadAllPresets(&ui), FMSG_NOT_VALID);
}

TEST_F(OldStore, ImportConvertsAnOldFile) {
  WriteBytes(Store(), {});
  std::remove(Store().c_str());
  ASSERT_EQ(LoadAllPresets(nullptr), 0);
  int before = NumPrograms;
  std::string other = MakeTempDir() + "/old.tvk";
  WriteBytes(other, OldFile({OldTypicalPreset("Old one"), OldTypicalPreset("Old two")}));
  Script s;
  StoreUi ui = s.Ui();
  int first = -1;
  ASSERT_EQ(ImportPresets(other, &ui, &first), 0);
  EXPECT_EQ(first, before);
  ASSERT_EQ(s.Told.size(), 2u);
  EXPECT_EQ(s.Told[0], FormatPrintf(GetStr(93), other.c_str()));
  EXPECT_EQ(s.Told[1], "2 presets were successfully imported.");
  EXPECT_EQ(FindPresetByName("old two"), before + 1);
}

}  // namespace
