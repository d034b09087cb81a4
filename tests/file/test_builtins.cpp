// The built-in presets carried as resource RCDATA 26: the file's shape, the
// collection's names and flags, the ranges every preset keeps to, and that
// every one of them calculates and plays.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

#include "data/engine.h"
#include "data/playback/playback.h"
#include "data/testrecord.h"
#include "file/filewalk.h"
#include "file/presetfixtures.h"
#include "platform/resource.h"
#include "platform/riff.h"

namespace {

constexpr int kRecords = 33;
const std::vector<int> kDeleted = {23, 25, 29, 30, 31};
constexpr char kDefaultPreset[] = "BUILTIN: Relaxation 1 (general)";
constexpr char kThreeSegments[] = "BUILTIN: Creativity increase 2 (varying)";

struct Resource {
  const unsigned char* Data = nullptr;
  size_t Size = 0;
};

Resource BuiltIns() {
  Resource r;
  EXPECT_TRUE(plat::FindResource(plat::RT_RCDATA, 26, &r.Data, &r.Size)) << "the built-in presets are not embedded";
  return r;
}

// Every live preset of the resource, in record order.
struct Collection {
  OwnedPresets Owned;
  int Rc = -1;
  Collection() {
    Resource r = BuiltIns();
    if (r.Data) Rc = ReadPresetsFromMemory(r.Data, r.Size, CollectPreset, &Owned);
  }
  std::vector<Preset>& All() { return Owned.P; }
};

// The list-building walk stores each record's fixed fields here.
struct ListCtx {
  PresetFixed Entries[kRecords + 1];
};
PresetFixed* ListEntry(void* ctx, int index) {
  auto* c = static_cast<ListCtx*>(ctx);
  return index <= kRecords ? &c->Entries[index] : nullptr;
}

TEST(BuiltIns, HeaderIsTheOneTheyWereFirstShippedWith) {
  Resource r = BuiltIns();
  ASSERT_NE(r.Data, nullptr);
  ASSERT_GE(r.Size, static_cast<size_t>(FILE_HEADER_SIZE));
  const char text[] = "Sonavel File, created with version 3.0\r\n\x1a";
  EXPECT_EQ(std::memcmp(r.Data, text, sizeof text - 1), 0);
  for (size_t i = sizeof text - 1; i < 124; ++i) ASSERT_EQ(r.Data[i], 0) << "header text padding at " << i;
  EXPECT_EQ(GetLE32(r.Data + 124), 0);  // store flag
  EXPECT_EQ(GetLE32(r.Data + 128), FILE_VERSION);
  EXPECT_EQ(static_cast<uint32_t>(GetLE32(r.Data + 132)), 0x00030003u);
  ByteDev dev = DevFromMemory(r.Data, r.Size);
  FileHeader h;
  EXPECT_EQ(ReadFileHeader(dev, &h), 0);
}

TEST(BuiltIns, ThirtyThreeRecordsWithFiveDeletedHoles) {
  Resource r = BuiltIns();
  ASSERT_NE(r.Data, nullptr);
  ByteDev dev = DevFromMemory(r.Data, r.Size);
  ListCtx ctx{};
  WalkHooks hooks;
  hooks.Ctx = &ctx;
  hooks.Entry = ListEntry;
  WalkCounts counts;
  ASSERT_EQ(WalkPresetList(dev, hooks, &counts), 0);
  EXPECT_EQ(counts.Records, kRecords);
  EXPECT_EQ(counts.Deleted, static_cast<int>(kDeleted.size()));

  std::vector<int> deleted;
  std::set<std::string> names;
  for (int i = 0; i < kRecords; ++i) {
    const PresetFixed& e = ctx.Entries[i];
    if (e.Deleted) {
      deleted.push_back(i);
      EXPECT_EQ(e.RecordSize, DELETED_RECORD_SIZE) << i;
      continue;
    }
    std::string name = e.Name;
    EXPECT_EQ(name.rfind("BUILTIN: ", 0), 0u) << i << ": " << name;
    EXPECT_EQ(e.BuiltIn, 1) << name;
    EXPECT_EQ(e.IsSchedule, 0) << name;
    EXPECT_TRUE(names.insert(name).second) << "two presets named " << name;
  }
  EXPECT_EQ(deleted, kDeleted);
  EXPECT_EQ(names.size(), 28u);
  EXPECT_EQ(names.count(kDefaultPreset), 1u);
  // The default selection is the first record.
  EXPECT_STREQ(ctx.Entries[0].Name, kDefaultPreset);
}

TEST(BuiltIns, EveryRecordEndsWhereItsSizeSays) {
  Resource r = BuiltIns();
  ASSERT_NE(r.Data, nullptr);
  ByteDev dev = DevFromMemory(r.Data, r.Size);
  int64_t expectStart = FILE_HEADER_SIZE;
  for (int n = 0; n < kRecords; ++n) {
    int32_t size = 0;
    ASSERT_EQ(FindRecord(dev, n, &size), 0) << n;
    int64_t start = DevTell(dev);
    ASSERT_EQ(start, expectStart) << "record " << n << " does not follow the one before";
    bool isDeleted = std::find(kDeleted.begin(), kDeleted.end(), n) != kDeleted.end();
    if (isDeleted) {
      EXPECT_EQ(size, DELETED_RECORD_SIZE) << n;
      EXPECT_EQ(r.Data[start + 4], 1) << n;
    } else {
      Preset p{};
      bool atEnd = true;
      ASSERT_EQ(ReadPresetRecord(dev, p, &atEnd), 0) << n;
      EXPECT_FALSE(atEnd);
      EXPECT_EQ(DevTell(dev), start + size) << "record " << n << " (" << p.Name << ")";
      EXPECT_EQ(p.RecordSize, size);
      FreePreset(p);
    }
    expectStart = start + size;
  }
  // Nothing follows the last record.
  int32_t size = 0;
  ASSERT_EQ(FindRecord(dev, kRecords, &size), 0);
  EXPECT_EQ(size, -1);
  EXPECT_EQ(expectStart, static_cast<int64_t>(r.Size));
}

TEST(BuiltIns, OnlyTheVaryingCreativityPresetHasThreeSegments) {
  Collection c;
  ASSERT_EQ(c.Rc, 0);
  ASSERT_EQ(c.All().size(), 28u);
  int multi = 0;
  for (const Preset& p : c.All()) {
    if (std::strcmp(p.Name, kThreeSegments) != 0) {
      EXPECT_EQ(p.data.NumSegments, 1) << p.Name;
      continue;
    }
    ++multi;
    ASSERT_EQ(p.data.NumSegments, 3);
    EXPECT_STREQ(p.data.Segment[0].Name, "A");
    EXPECT_STREQ(p.data.Segment[1].Name, "B");
    EXPECT_STREQ(p.data.Segment[2].Name, "C");
    // The beat runs on across the segment boundaries without a jump.
    for (int s = 0; s + 1 < 3; ++s) {
      const Param& end = SegParams(p, s)[VoicePidOf(0, VP_BEAT)];
      const Param& next = SegParams(p, s + 1)[VoicePidOf(0, VP_BEAT)];
      EXPECT_EQ(end.Node[end.NumNodes - 1].Value, next.Node[0].Value) << "segment " << s;
    }
  }
  EXPECT_EQ(multi, 1);
}

// The largest and smallest node value of a parameter, in stored units.
std::pair<int32_t, int32_t> NodeRange(const Param& q) {
  int32_t lo = q.Node[0].Value, hi = q.Node[0].Value;
  for (int i = 1; i < q.NumNodes; ++i) {
    lo = std::min(lo, q.Node[i].Value);
    hi = std::max(hi, q.Node[i].Value);
  }
  return {lo, hi};
}

// The ranges the collection is designed in: a value outside them is a typing
// slip in a preset file (a pitch of 2000 Hz, a length of 4.5 minutes).
TEST(BuiltIns, EveryPresetKeepsToTheDesignedRanges) {
  Collection c;
  ASSERT_EQ(c.Rc, 0);
  for (const Preset& p : c.All()) {
    SCOPED_TRACE(p.Name);
    EXPECT_GT(std::strlen(p.Description), 100u) << "a built-in tells the user what it is for";
    if (p.data.Background != AMBIX_NONE) {
      EXPECT_GE(p.data.Background, 1);
      EXPECT_LE(p.data.Background, 6);
      EXPECT_STREQ(p.data.BackgroundFile, "Ambix.dll");
    }
    for (int s = 0; s < p.data.NumSegments; ++s) {
      const Segment& seg = p.data.Segment[s];
      const Param* q = SegParams(p, s);
      EXPECT_GE(seg.Length, 1500);  // 15 minutes
      EXPECT_LE(seg.Length, 6000);  // 60 minutes
      EXPECT_EQ(seg.Repeat, 1);
      EXPECT_LE(seg.NumVoices, 4);
      for (int v = 0; v < seg.NumVoices; ++v) {
        auto beat = NodeRange(q[VoicePidOf(v, VP_BEAT)]);
        EXPECT_GE(beat.first, 1000) << "voice " << v;    // 1 Hz
        EXPECT_LE(beat.second, 30000) << "voice " << v;  // 30 Hz
        for (int ch = 0; ch < 2; ++ch) {
          auto pitch = NodeRange(q[VoicePidOf(v, VP_PITCH) + ch]);
          EXPECT_GE(pitch.first, 10000) << "voice " << v;   // 100 Hz
          EXPECT_LE(pitch.second, 40000) << "voice " << v;  // 400 Hz
          EXPECT_LE(NodeRange(q[VoicePidOf(v, VP_VOLUME) + ch]).second, 8000) << "voice " << v;
        }
      }
      EXPECT_LE(NodeRange(q[PID_NOISEVOL]).second, 3000);
      if (p.data.Background != AMBIX_NONE) {
        EXPECT_LE(NodeRange(q[PID_BGVOLUME]).second, 5000);
      }
      EXPECT_LE(NodeRange(q[PID_VISBRIGHT]).second, 5000);
      EXPECT_LE(NodeRange(q[PID_VISBRIGHT2]).second, 5000);
      // The flashing follows the first voice's beat.
      EXPECT_EQ(q[PID_VISFREQ].Tracking, 1);
      EXPECT_EQ(q[PID_VISFREQ].TrackSource, VoicePidOf(0, VP_BEAT));
    }
  }
}

// The largest absolute sample of a 16-bit WAV file's data chunk, or -1.
int PeakOfWav(const std::string& path) {
  std::ifstream f(path, std::ios::binary);
  std::vector<unsigned char> b{std::istreambuf_iterator<char>(f), {}};
  plat::RiffChunk data{};
  if (b.size() < 12 || !plat::RiffFind(b.data() + 12, b.size() - 12, "data", &data)) return -1;
  const unsigned char* s = data.Data;
  int peak = 0;
  for (size_t i = 0; i + 1 < data.Size; i += 2) {
    int v = static_cast<int16_t>(static_cast<uint16_t>(s[i] | s[i + 1] << 8));
    peak = std::max(peak, v < 0 ? -v : v);
  }
  return peak;
}

void EngineReady() {
  InitEngineTables();
  TakeEngineOptions(TestRecord, AdvancedOptions{});
  TestRecord.ExtraSourceShare = 0;
  TestRecord.AudioStrobeOn = 0;
  TestRecord.FreezeState = 0;
  TestRecord.BackgroundFrames = 0;
}

// A failed internal check fails the test by itself (tests/common).
TEST(BuiltIns, EveryPresetCalculatesAndPlays) {
  Collection c;
  ASSERT_EQ(c.Rc, 0);
  ASSERT_EQ(c.All().size(), 28u);
  std::string wav = ::testing::TempDir() + "builtin_play.wav";
  for (Preset& p : c.All()) {
    SCOPED_TRACE(p.Name);
    EngineReady();
    ASSERT_EQ(CalculatePreset(TestRecord, p, false, nullptr), 0);
    SweepRecord* first = FirstSweepRecord(TestRecord);
    ASSERT_NE(first, nullptr);
    EXPECT_NE(first->Blocks, -1) << "nothing audible (1309)";
    // The first record plays what the file says: the left and right tones of
    // voice 0 lie one beat apart around the pitch.
    const Param* q = SegParams(p, 0);
    int32_t beat = q[VoicePidOf(0, VP_BEAT)].Node[0].Value;    // mHz
    int32_t pitch = q[VoicePidOf(0, VP_PITCH)].Node[0].Value;  // hundredths of Hz
    EXPECT_EQ(first->Voice[0].Frequency[1] - first->Voice[0].Frequency[0], beat);
    EXPECT_EQ(first->Voice[0].Frequency[0], pitch * 10 - beat / 2);

    AdvancedOptions o;
    int rc = StartPlaybackToFile(TestRecord, p, o, wav.c_str(), 10, nullptr);  // 0.1 minute
    if (p.data.Background != AMBIX_NONE && (rc == 1331 || rc == 1446)) {
      // The background library is not loaded in the test; the tones must
      // still play.
      Preset plain{};
      CopyPreset(plain, p);
      plain.data.Background = AMBIX_NONE;
      plain.data.BackgroundFile[0] = 0;
      rc = StartPlaybackToFile(TestRecord, plain, o, wav.c_str(), 10, nullptr);
      FreePreset(plain);
    }
    ASSERT_EQ(rc, 0);
    EXPECT_GT(PeakOfWav(wav), 1000);
  }
  std::remove(wav.c_str());
}

}  // namespace
