// Converting files on disk: the export file written, failures that leave
// nothing behind, write faults, progress and abort, the array form.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <set>

#include "convold/convtest.h"

namespace {

// A fresh folder per test, removed with everything in it.
struct TempDir {
  std::string Path;
  TempDir() {
    char tmpl[] = "/tmp/convold-XXXXXX";
    Path = ::mkdtemp(tmpl);
  }
  ~TempDir() {
    for (const std::string& f : Files()) std::remove((Path + "/" + f).c_str());
    ::rmdir(Path.c_str());
  }
  std::string operator/(const std::string& name) const { return Path + "/" + name; }
  std::set<std::string> Files() const {
    std::set<std::string> names;
    DIR* d = ::opendir(Path.c_str());
    if (!d) return names;
    while (dirent* e = ::readdir(d))
      if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
    ::closedir(d);
    return names;
  }
};

// Whether two presets hold the same content; the size in a file and the
// use counter value belong to whoever read them.
bool SameContent(const Preset& a, Preset b) {
  b.RecordSize = a.RecordSize;
  b.LastUse = a.LastUse;
  return ComparePresets(a, b) == 0;
}

Bytes ReadAllBytes(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

std::vector<OldPresetSpec> ThreeOfFive() {
  std::vector<OldPresetSpec> specs;
  for (int i = 0; i < 5; ++i) specs.push_back(OldTypicalPreset("BUILTIN: p" + std::to_string(i), 1 + i % 2, 1 + i % 4));
  specs[0].Deleted = true;
  specs[2].Deleted = true;
  specs[3].BackgroundCode = 112;
  specs[4].Segments[0].Waveform[0] = 4;
  return specs;
}

TEST(ConvertFile, WritesAnExportFileOfTheConvertedPresets) {
  TempDir dir;
  Bytes old = OldFile(ThreeOfFive());
  ASSERT_TRUE(WriteBytesFile(dir / "old.tvk", old));
  ConvertOutcome outcome;
  ASSERT_EQ(ConvertOldFile((dir / "old.tvk").c_str(), (dir / "new.tvk").c_str(), nullptr, &outcome), 0);
  EXPECT_EQ(outcome.Count, 3);
  EXPECT_EQ(dir.Files(), (std::set<std::string>{"old.tvk", "new.tvk"}));
  EXPECT_EQ(ReadAllBytes(dir / "old.tvk"), old);  // the old file is only read

  Bytes written = ReadAllBytes(dir / "new.tvk");
  ASSERT_GE(written.size(), 136u);
  EXPECT_EQ(GetLE32(written.data() + 124), 0);  // export file, not a store
  EXPECT_EQ(GetLE32(written.data() + 128), 3);
  OwnedPresets back, direct;
  ASSERT_EQ(ReadPresetsFromMemory(written.data(), written.size(), CollectPreset, &back), 0);
  ASSERT_EQ(ConvertImage(old, &direct), 0);
  ASSERT_EQ(back.P.size(), 3u);
  for (size_t i = 0; i < 3; ++i) EXPECT_TRUE(SameContent(back.P[i], direct.P[i])) << i;
  EXPECT_STREQ(back.P[1].Name, "BUILTIN: p3");
  EXPECT_EQ(back.P[1].BuiltIn, 1);
  EXPECT_EQ(back.P[1].data.Background, 5);
  EXPECT_STREQ(back.P[1].data.BackgroundFile, "Ambix.dll");
}

TEST(ConvertFile, EmptyOldFileGivesAnEmptyExportFile) {
  TempDir dir;
  ASSERT_TRUE(WriteBytesFile(dir / "old.tvk", OldFile({})));
  ConvertOutcome outcome;
  ASSERT_EQ(ConvertOldFile((dir / "old.tvk").c_str(), (dir / "new.tvk").c_str(), nullptr, &outcome), 0);
  EXPECT_EQ(outcome.Count, 0);
  EXPECT_EQ(ReadAllBytes(dir / "new.tvk").size(), 136u);
}

TEST(ConvertFile, FailuresLeaveNothingBehind) {
  TempDir dir;
  Bytes old = OldFile(ThreeOfFive());
  Bytes truncated(old.begin(), old.end() - 100);
  ASSERT_TRUE(WriteBytesFile(dir / "cut.tvk", truncated));
  ASSERT_TRUE(WriteBytesFile(dir / "new.tvk", Bytes{'k', 'e', 'e', 'p'}));
  std::string cut = dir / "cut.tvk", out = dir / "new.tvk";
  ConvertOutcome outcome;
  EXPECT_EQ(ConvertOldFile(cut.c_str(), out.c_str(), nullptr, &outcome), 1298);
  EXPECT_EQ(outcome.MessagePath, cut.c_str());
  EXPECT_EQ(outcome.Count, 0);
  // The file that was there stays as it was; no temporary file is left.
  EXPECT_EQ(ReadAllBytes(out), (Bytes{'k', 'e', 'e', 'p'}));
  EXPECT_EQ(dir.Files(), (std::set<std::string>{"cut.tvk", "new.tvk"}));

  std::string missing = dir / "missing.tvk";
  EXPECT_EQ(ConvertOldFile(missing.c_str(), (dir / "x.tvk").c_str(), nullptr, &outcome), 1299);
  EXPECT_EQ(outcome.MessagePath, missing.c_str());

  ASSERT_TRUE(WriteBytesFile(dir / "old.tvk", old));
  std::string nowhere = dir / "no/such/folder.tvk";
  EXPECT_EQ(ConvertOldFile((dir / "old.tvk").c_str(), nowhere.c_str(), nullptr, &outcome), 1450);
  EXPECT_EQ(outcome.MessagePath, nowhere.c_str());

  // A current file is not an old one.
  Bytes current = HeaderOnly();
  ASSERT_TRUE(WriteBytesFile(dir / "current.tvk", current));
  EXPECT_EQ(ConvertOldFile((dir / "current.tvk").c_str(), (dir / "y.tvk").c_str(), nullptr, &outcome), 1307);
  EXPECT_EQ(dir.Files(), (std::set<std::string>{"cut.tvk", "new.tvk", "old.tvk", "current.tvk"}));
}

TEST(ConvertFile, NeverWritesOverTheOldFile) {
  TempDir dir;
  Bytes old = OldFile(ThreeOfFive());
  ASSERT_TRUE(WriteBytesFile(dir / "old.tvk", old));
  std::string path = dir / "old.tvk";
  ConvertOutcome outcome;
  EXPECT_EQ(ConvertOldFile(path.c_str(), path.c_str(), nullptr, &outcome), 1300);
  EXPECT_EQ(ConvertOldFile(path.c_str(), (dir.Path + "/./old.tvk").c_str(), nullptr, &outcome), 1300);
  EXPECT_EQ(ReadAllBytes(path), old);
  EXPECT_EQ(dir.Files(), (std::set<std::string>{"old.tvk"}));
}

// A file size limit makes the writes of the conversion fail for real.
TEST(ConvertFile, WriteFailureLeavesNoOutput) {
  TempDir dir;
  Bytes old = OldFile(ThreeOfFive());
  ASSERT_TRUE(WriteBytesFile(dir / "old.tvk", old));
  rlimit saved;
  ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
  struct sigaction ignore {
  }, previous{};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGXFSZ, &ignore, &previous);
  rlimit small = saved;
  small.rlim_cur = 3000;
  ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
  ConvertOutcome outcome;
  std::string out = dir / "new.tvk";
  int rc = ConvertOldFile((dir / "old.tvk").c_str(), out.c_str(), nullptr, &outcome);
  ::setrlimit(RLIMIT_FSIZE, &saved);
  ::sigaction(SIGXFSZ, &previous, nullptr);
  EXPECT_EQ(rc, 1297);
  EXPECT_EQ(outcome.MessagePath, out.c_str());
  EXPECT_EQ(outcome.Count, 0);
  EXPECT_EQ(dir.Files(), (std::set<std::string>{"old.tvk"}));
}

// Writes that fail after every number of bytes, as other errors and as a full
// disk.
TEST(ConvertFile, WriteFaultAtEveryPoint) {
  Bytes old = OldFile(ThreeOfFive());
  Bytes full;
  {
    ByteDev in = DevFromMemory(old.data(), old.size());
    ByteDev out = DevFromBuffer(full);
    ASSERT_EQ(ConvertOldToDevice(in, out, nullptr, nullptr, nullptr), 0);
  }
  for (int err : {EIO, ENOSPC}) {
    for (int64_t budget = 0; budget < static_cast<int64_t>(full.size()); budget += 97) {
      Bytes sink;
      ByteDev in = DevFromMemory(old.data(), old.size());
      ByteDev out = DevFromBuffer(sink);
      out.WriteBudget = budget;
      out.WriteErr = err;
      bool fault = false;
      int count = -1;
      EXPECT_EQ(ConvertOldToDevice(in, out, nullptr, &count, &fault), err == ENOSPC ? 1308 : 1297) << budget;
      EXPECT_TRUE(fault);
      EXPECT_LT(count, 3);
    }
  }
  // A read fault is not an output fault.
  Bytes sink;
  ByteDev in = DevFromMemory(old.data(), old.size() - 1);
  ByteDev out = DevFromBuffer(sink);
  bool fault = true;
  EXPECT_EQ(ConvertOldToDevice(in, out, nullptr, nullptr, &fault), 1298);
  EXPECT_FALSE(fault);
  EXPECT_TRUE(sink.empty());  // nothing is written before the whole file is read
}

struct Recorder {
  std::vector<int> Positions;
  int AbortAt = -1;  // abort at the first position at or above this
};

bool Record(void* ctx, int position) {
  auto* r = static_cast<Recorder*>(ctx);
  r->Positions.push_back(position);
  return r->AbortAt >= 0 && position >= r->AbortAt;
}

TEST(ConvertFile, ProgressAndAbort) {
  TempDir dir;
  ASSERT_TRUE(WriteBytesFile(dir / "old.tvk", OldFile(ThreeOfFive())));
  std::string in = dir / "old.tvk", out = dir / "new.tvk";
  Recorder r;
  ConvertProgress progress{&r, Record};
  ASSERT_EQ(ConvertOldFile(in.c_str(), out.c_str(), &progress, nullptr), 0);
  ASSERT_FALSE(r.Positions.empty());
  for (size_t i = 1; i < r.Positions.size(); ++i) EXPECT_LE(r.Positions[i - 1], r.Positions[i]);
  // Reading ends at 75; the three records take the bar to 333, 566 and 800.
  std::vector<int> tail(r.Positions.end() - 4, r.Positions.end());
  EXPECT_EQ(tail, (std::vector<int>{75, 333, 566, 800}));

  for (int at : {1, 300}) {
    std::remove(out.c_str());
    Recorder stop;
    stop.AbortAt = at;
    ConvertProgress p{&stop, Record};
    EXPECT_EQ(ConvertOldFile(in.c_str(), out.c_str(), &p, nullptr), CONVERT_ABORTED) << at;
    EXPECT_EQ(dir.Files(), (std::set<std::string>{"old.tvk"})) << at;
  }
}

TEST(ConvertFile, ArrayOfConvertedPresets) {
  TempDir dir;
  Bytes old = OldFile(ThreeOfFive());
  ASSERT_TRUE(WriteBytesFile(dir / "old.tvk", old));
  Preset* presets = nullptr;
  int count = 0;
  ASSERT_EQ(ConvertOldToArray((dir / "old.tvk").c_str(), &presets, &count, nullptr), 0);
  ASSERT_EQ(count, 3);
  OwnedPresets direct;
  ASSERT_EQ(ConvertImage(old, &direct), 0);
  for (int i = 0; i < count; ++i) {
    EXPECT_EQ(presets[i].Loaded, 1);
    EXPECT_NE(presets[i].Description, nullptr);
    EXPECT_NE(presets[i].ParamMem, nullptr);
    EXPECT_TRUE(SameContent(presets[i], direct.P[static_cast<size_t>(i)])) << i;
  }
  FreeConvertedPresets(presets, count);

  // A failure or an abort hands out no array.
  Bytes cut(old.begin(), old.end() - 1);
  ASSERT_TRUE(WriteBytesFile(dir / "cut.tvk", cut));
  EXPECT_EQ(ConvertOldToArray((dir / "cut.tvk").c_str(), &presets, &count, nullptr), 1298);
  EXPECT_EQ(presets, nullptr);
  EXPECT_EQ(count, 0);
  Recorder stop;
  stop.AbortAt = 500;
  ConvertProgress p{&stop, Record};
  EXPECT_EQ(ConvertOldToArray((dir / "old.tvk").c_str(), &presets, &count, &p), CONVERT_ABORTED);
  EXPECT_EQ(presets, nullptr);
  EXPECT_EQ(count, 0);
}

TEST(ConvertFile, SinkFormForImport) {
  TempDir dir;
  ASSERT_TRUE(WriteBytesFile(dir / "old.tvk", OldFile(ThreeOfFive())));
  OwnedPresets got;
  int count = 0;
  ASSERT_EQ(ConvertOldPresets((dir / "old.tvk").c_str(), CollectPreset, &got, nullptr, &count), 0);
  EXPECT_EQ(count, 3);
  ASSERT_EQ(got.P.size(), 3u);
  EXPECT_STREQ(got.P[0].Name, "BUILTIN: p1");
  EXPECT_EQ(ConvertOldPresets((dir / "none.tvk").c_str(), CollectPreset, &got, nullptr, &count), 1299);
  EXPECT_EQ(count, 0);
}

}  // namespace
