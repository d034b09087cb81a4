#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <memory>
#include <random>
#include <vector>

#include "common/checks.h"
#include "data/synthesis/sweep.h"
#include "data/synthesis/walk.h"
#include "data/testrecord.h"
#include "main/arith.h"
#include "testpreset.h"

namespace {

std::vector<SweepRecord*> ListOf() {
  std::vector<SweepRecord*> out;
  for (SweepRecord* r = FirstSweepRecord(TestRecord);; r = FollowingRecord(r)) {
    out.push_back(r);
    if (r->Blocks <= 0) break;
  }
  return out;
}

struct Sweeps : ::testing::Test {
  void SetUp() override { EngineSetUp(); }
  void TearDown() override {
    BuildWaveform(108, 50, 1.0, RectangularData8, WAVELEN, false);
    BuildWaveform(162, 50, 1.0, SteepRectangularData8, WAVELEN, false);
  }
};

int32_t VolumeOf(const SweepRecord* r) { return r->Voice[0].Volume[0]; }

// (Blocks, left volume) of every record, the end record included.
std::vector<std::pair<int32_t, int32_t>> Records() {
  std::vector<std::pair<int32_t, int32_t>> out;
  for (SweepRecord* r : ListOf()) out.emplace_back(r->Blocks, VolumeOf(r));
  return out;
}

// (block, volume) at which each new volume is first heard in a walk.
std::vector<std::pair<int, int32_t>> FirstHeard() {
  std::vector<std::pair<int, int32_t>> out;
  StartSweepWalk(TestRecord, FirstSweepRecord(TestRecord));
  for (int i = 0; i < 100000 && AdvanceSweep(TestRecord) == 0; i++)
    if (out.empty() || out.back().second != VolumeOf(TestRecord.CurrentRecord))
      out.emplace_back(i, VolumeOf(TestRecord.CurrentRecord));
  return out;
}

struct ListCase {
  const char* Name;
  int BlockMs, Segments;
  void (*Build)(TestPreset&);
  std::vector<std::pair<int32_t, int32_t>> Records;
  std::vector<std::pair<int, int32_t>> Heard;
};

// Two steady segments of 0.02 minutes (12 blocks of 100 ms), the first at
// 50 %, the second at 70 %, the first played `repeat` times.
template <int repeat>
void TwoSteady(TestPreset& t) {
  for (int s = 0; s < 2; s++) {
    t.Seg(s).Length = 2;
    t.Set2(s, VoicePidOf(0, VP_VOLUME), {{0, s ? 7000 : 5000}, {10000, s ? 7000 : 5000}});
  }
  t.Seg(0).Repeat = repeat;
}

TEST_F(Sweeps, RecordListsAndTheBlockEachValueIsFirstHeard) {
  const ListCase cases[] = {
      // The counter counts before each block and the next record starts
      // when it reaches Blocks: the first record of the list sounds one
      // block less, every later record its whole count.
      {"first record", 100, 2, TwoSteady<1>, {{12, 5000}, {12, 7000}, {-1, 7000}}, {{0, 5000}, {11, 7000}}},
      {"repeated first segment",
       100,
       2,
       TwoSteady<3>,
       {{12, 5000}, {12, 7000}, {-1, 7000}},
       {{0, 5000}, {11 + 12 + 12, 7000}}},
      // A vertical step at 4000 of 15 blocks: the steady stretch before it
      // ends without a record of its own, the step writes one.
      {"vertical step",
       200,
       1,
       [](TestPreset& t) {
         t.Seg(0).Length = 5;
         t.Set2(0, VoicePidOf(0, VP_VOLUME), {{0, 10000}, {4000, 10000}, {4000, 3000}, {10000, 3000}});
       },
       {{6, 10000}, {9, 3000}, {-1, 3000}},
       {{0, 10000}, {5, 3000}}},
  };
  for (const ListCase& c : cases) {
    SCOPED_TRACE(c.Name);
    AdvancedOptions o;
    o.LenOfBlocks = c.BlockMs;
    EngineSetUp(o);
    TestPreset t(1, c.Segments);
    c.Build(t);
    ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
    EXPECT_EQ(Records(), c.Records);
    EXPECT_EQ(FirstHeard(), c.Heard);
  }
}

TEST_F(Sweeps, SteadySegmentOnTheDefaultCurvesIsOneRecord) {
  TestPreset t(1, 1, TestPreset::DefaultNodes);
  t.Seg(0).Length = 1000;  // 10 minutes of 200 ms blocks
  ASSERT_EQ(t.At(0, VoicePidOf(0, VP_BEAT)).NumNodes, 3);
  ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
  auto list = ListOf();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]->Blocks, 3000);
  EXPECT_EQ(list[1]->Blocks, -1);  // "Stop after the last segment"
  EXPECT_EQ(TestRecord.SweepDataVoices, 1);
}

TEST_F(Sweeps, ARampEndsOnARecordAtItsEndTime) {
  // 40 % to 90 % over 12 blocks of 100 ms, then 20 %: the ramp's final
  // value is heard for one block before the next segment starts.
  AdvancedOptions o;
  o.LenOfBlocks = 100;
  EngineSetUp(o);
  TestPreset t(1, 2);
  int vol = VoicePidOf(0, VP_VOLUME);
  t.Seg(0).Length = t.Seg(1).Length = 2;
  t.Set2(0, vol, {{0, 4000}, {10000, 9000}});
  t.Set2(1, vol, {{0, 2000}, {10000, 2000}});
  ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
  auto list = Records();
  ASSERT_EQ(list.size(), 15u);  // 13 records of the ramp, the second segment, the end
  EXPECT_EQ(list[12], std::make_pair(1, 9000));
  int32_t blocks = 0;
  for (int i = 0; i < 13; i++) blocks += list[static_cast<size_t>(i)].first;
  EXPECT_EQ(blocks, 13);
  auto heard = FirstHeard();
  ASSERT_GE(heard.size(), 2u);
  EXPECT_EQ(heard[heard.size() - 2], std::make_pair(11, 9000));
  EXPECT_EQ(heard.back(), std::make_pair(12, 2000));
}

TEST_F(Sweeps, LongStretchSplitsAt32760Blocks) {
  AdvancedOptions o;
  o.LenOfBlocks = 150;
  EngineSetUp(o);
  TestPreset t;
  t.Seg(0).Length = 20000;  // 80000 blocks
  int vol = VoicePidOf(0, VP_VOLUME);
  t.Set2(0, vol, {{0, 10000}, {5000, 10000}, {5000, 5000}, {10000, 5000}});
  ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
  auto list = ListOf();
  ASSERT_GE(list.size(), 4u);
  EXPECT_EQ(list[0]->Blocks, 32760);
  EXPECT_EQ(list[1]->Blocks, 7240);
  EXPECT_EQ(list[1]->Voice[0].Volume[0], 10000);
  EXPECT_EQ(list[0]->RepeatTarget, nullptr);
  // The jump to 50 % comes at block 40000 and lasts to the end unsplit.
  SweepRecord* after = list[list.size() - 2];
  EXPECT_EQ(after->Voice[0].Volume[0], 5000);
  EXPECT_EQ(after->Blocks, 40000);
  EXPECT_EQ(list.back()->Blocks, -1);
}

TEST_F(Sweeps, SegmentShorterThanABlockLastsOneBlock) {
  AdvancedOptions o;
  o.LenOfBlocks = 2000;
  EngineSetUp(o);
  TestPreset t;
  t.Seg(0).Length = 1;  // 0.6 s: rounds to 0 blocks
  ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
  auto list = ListOf();
  ASSERT_EQ(list.size(), 2u);
  EXPECT_EQ(list[0]->Blocks, 1);
}

TEST_F(Sweeps, RampFollowsTheResolution) {
  TestPreset t;
  t.Seg(0).Length = 1000;  // 3000 blocks
  int vol = VoicePidOf(0, VP_VOLUME);
  t.Set2(0, vol, {{0, 0}, {10000, 10000}});
  ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
  auto list = ListOf();
  // Volume resolution is 1 % (100 units), so about 100 records.
  EXPECT_GE(list.size(), 95u);
  EXPECT_LE(list.size(), 105u);
  int64_t total = 0;
  for (size_t i = 0; i + 1 < list.size(); i++) {
    total += list[i]->Blocks;
    if (i > 0) {
      int d = list[i]->Voice[0].Volume[0] - list[i - 1]->Voice[0].Volume[0];
      EXPECT_GE(d, 90) << i;
      EXPECT_LE(d, 110) << i;
    }
  }
  EXPECT_EQ(total, 3001);  // the record at the ramp's end lasts one block more
  EXPECT_EQ(list.back()->Voice[0].Volume[0], 10000);
}

TEST_F(Sweeps, RepeatedSegmentPlaysItsRecordsAgain) {
  TestPreset t(1, 2);
  t.Seg(0).Length = 4;  // 12 blocks
  t.Seg(0).Repeat = 3;
  t.Seg(1).Length = 2;  // 6 blocks
  int vol = VoicePidOf(0, VP_VOLUME);
  t.Set2(0, vol, {{0, 2000}, {5000, 2000}, {5000, 4000}, {10000, 4000}});
  t.Set2(1, vol, {{0, 7000}, {10000, 7000}});
  ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
  StartSweepWalk(TestRecord, FirstSweepRecord(TestRecord));
  std::vector<int> played;
  for (int i = 0; i < 1000 && AdvanceSweep(TestRecord) == 0; i++)
    played.push_back(TestRecord.CurrentRecord->Voice[0].Volume[0]);
  // 3 x (6 blocks at 20 %, 6 at 40 %), then 6 at 70 %; the first record of
  // the list is heard one block less.
  std::vector<int> pass;
  for (int i = 0; i < 6; i++) pass.push_back(2000);
  for (int i = 0; i < 6; i++) pass.push_back(4000);
  std::vector<int> expect;
  for (int r = 0; r < 3; r++) expect.insert(expect.end(), pass.begin(), pass.end());
  expect.erase(expect.begin());
  for (int i = 0; i < 6; i++) expect.push_back(7000);
  EXPECT_EQ(played, expect);
  EXPECT_EQ(AdvanceSweep(TestRecord), 1);
}

TEST_F(Sweeps, RewindingOverARepeatJumpGivesTheRepeatBack) {
  // As a freeze does: the walk runs ahead of the audible block, past the
  // first jump back, and is then put back on the audible block's mark.
  TestPreset t(1, 2);
  t.Seg(0).Length = 4;  // 12 blocks a pass, 11 heard in the first
  t.Seg(0).Repeat = 3;
  t.Seg(1).Length = 2;
  int vol = VoicePidOf(0, VP_VOLUME);
  t.Set2(0, vol, {{0, 2000}, {5000, 2000}, {5000, 4000}, {10000, 4000}});
  t.Set2(1, vol, {{0, 7000}, {10000, 7000}});
  ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
  for (int audible : {10, 11}) {
    SCOPED_TRACE(audible);
    // The list's repeat counts are consumed by a walk: calculate afresh.
    ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
    StartSweepWalk(TestRecord, FirstSweepRecord(TestRecord));
    WalkMark mark;
    for (int i = 1; i <= 17; i++) {
      ASSERT_EQ(AdvanceSweep(TestRecord), 0);
      if (i == audible) mark = MarkSweepWalk(TestRecord);
    }
    RewindSweepWalk(TestRecord, mark);
    int low = 0, high = 0;
    for (int i = 0; i < 1000 && AdvanceSweep(TestRecord) == 0; i++)
      (TestRecord.CurrentRecord->Voice[0].Volume[0] == 7000 ? high : low)++;
    // The rest of the first pass, two more passes, then the second segment.
    EXPECT_EQ(low, 11 - audible + 2 * 12);
    EXPECT_EQ(high, 6);
  }
}

TEST_F(Sweeps, FreezeHoldsTheRecord) {
  TestPreset t(1, 2);
  t.Seg(0).Length = 1;  // 3 blocks
  t.Seg(1).Length = 1;
  int vol = VoicePidOf(0, VP_VOLUME);
  t.Set2(1, vol, {{0, 3000}, {10000, 3000}});
  ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
  StartSweepWalk(TestRecord, FirstSweepRecord(TestRecord));
  for (int i = 0; i < 2; i++) ASSERT_EQ(AdvanceSweep(TestRecord), 0);  // the first record's 2 blocks
  TestRecord.FreezeState = 1;
  for (int i = 0; i < 10; i++) ASSERT_EQ(AdvanceSweep(TestRecord), 0);
  EXPECT_EQ(TestRecord.CurrentRecord->Voice[0].Volume[0], 10000);
  TestRecord.FreezeState = 0;
  ASSERT_EQ(AdvanceSweep(TestRecord), 0);
  EXPECT_EQ(TestRecord.CurrentRecord->Voice[0].Volume[0], 3000);
}

TEST_F(Sweeps, FinalRecordHoldsOnlyWhenAudible) {
  TestPreset t;
  t.P.data.ContinuePlaying = 1;
  ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
  EXPECT_EQ(ListOf().back()->Blocks, 0);
  StartSweepWalk(TestRecord, FirstSweepRecord(TestRecord));
  for (int i = 0; i < 5000; i++) ASSERT_EQ(AdvanceSweep(TestRecord), 0);
  EXPECT_FALSE(TestRecord.Advancing);  // held forever

  int vol = VoicePidOf(0, VP_VOLUME);
  t.Set2(0, vol, {{0, 10000}, {10000, 0}});
  ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
  EXPECT_EQ(ListOf().back()->Blocks, -1);  // silent at the end: playback ends
  t.P.data.Background = 3;
  ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
  EXPECT_EQ(ListOf().back()->Blocks, 0);
}

TEST_F(Sweeps, NoiseSwitchesNoiseOnAndAddsAShare) {
  TestPreset t;
  TestRecord.ExtraSourceShare = 1;  // a background is loaded
  ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
  EXPECT_FALSE(TestRecord.NoiseOn);
  EXPECT_EQ(TestRecord.ExtraSourceShare, 1);
  t.Set(0, PID_NOISEVOL + 1, {{0, 0}, {8000, 0}, {10000, 300}});
  TestRecord.ExtraSourceShare = 1;
  ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
  EXPECT_TRUE(TestRecord.NoiseOn);
  EXPECT_EQ(TestRecord.ExtraSourceShare, 2);
}

TEST_F(Sweeps, ProgressRunsForwardAndAbortStops) {
  TestPreset t(2, 3);
  for (int s = 0; s < 3; s++) t.Set2(s, VoicePidOf(0, VP_VOLUME), {{0, 0}, {10000, 10000}});
  struct Seen {
    std::vector<int> pos;
    int abortAt = -1;
  } seen;
  ProgressSink sink{[](void* c, int pos) {
                      auto* s = static_cast<Seen*>(c);
                      s->pos.push_back(pos);
                      return s->abortAt >= 0 && static_cast<int>(s->pos.size()) > s->abortAt;
                    },
                    &seen};
  ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, &sink), 0);
  ASSERT_FALSE(seen.pos.empty());
  EXPECT_EQ(seen.pos.front(), 500);
  for (size_t i = 1; i < seen.pos.size(); i++) ASSERT_GE(seen.pos[i], seen.pos[i - 1]);
  EXPECT_LE(seen.pos.back(), 9500);
  EXPECT_GE(seen.pos.back(), 9000);
  seen.pos.clear();
  seen.abortAt = 5;
  EXPECT_EQ(CalculatePreset(TestRecord, t.P, true, &sink), CALC_ABORTED);
}

TEST_F(Sweeps, BeatAndPitchGiveEarFrequencies) {
  TestPreset t;
  int beat = VoicePidOf(0, VP_BEAT), pitch = VoicePidOf(0, VP_PITCH);
  t.Set(0, beat, {{0, 10000}, {10000, 10000}});    // 10 Hz
  t.Set2(0, pitch, {{0, 20000}, {10000, 20000}});  // 200 Hz
  ASSERT_TRUE(EnsureSweepData(TestRecord, 2 * MAXSWEEPRECORD));
  SweepRecord* r = FirstSweepRecord(TestRecord);
  int status;
  ASSERT_NE(FillSweepRecord(TestRecord, t.P, 0, nullptr, 3000, r, &status), nullptr);
  EXPECT_EQ(r->Voice[0].Frequency[0], 195000);
  EXPECT_EQ(r->Voice[0].Frequency[1], 205000);
  t.Set(0, beat, {{0, 500000}, {10000, 500000}});  // 500 Hz
  ASSERT_NE(FillSweepRecord(TestRecord, t.P, 0, nullptr, 3000, r, &status), nullptr);
  EXPECT_EQ(r->Voice[0].Frequency[0], 50000);
  EXPECT_EQ(r->Voice[0].Frequency[1], 450000);
  // Separate pitch channels ignore the beat.
  HeaderOf(&t.At(0, pitch))->ChannelMode = 1;
  t.Set(0, pitch + 1, {{0, 21000}, {10000, 21000}});
  ASSERT_NE(FillSweepRecord(TestRecord, t.P, 0, nullptr, 3000, r, &status), nullptr);
  EXPECT_EQ(r->Voice[0].Frequency[0], 200000);
  EXPECT_EQ(r->Voice[0].Frequency[1], 210000);
}

TEST_F(Sweeps, DirectRecordEvaluatesCurvesAndClampsRanges) {
  TestPreset t;
  int vol = VoicePidOf(0, VP_VOLUME);
  t.Set(0, vol, {{0, 0}, {10000, 8000}});
  t.Set(0, vol + 1, {{0, 12000}, {10000, 12000}});  // hand-made: above 100 %
  t.Set(0, VoicePidOf(0, VP_MODDEPTH), {{0, 15000}, {10000, 15000}});
  t.Set(0, VoicePidOf(0, VP_MODPHASE), {{0, 9050}, {10000, 9050}});
  ASSERT_TRUE(EnsureSweepData(TestRecord, 2 * MAXSWEEPRECORD));
  SweepRecord* r = FirstSweepRecord(TestRecord);
  int status;
  ASSERT_NE(FillSweepRecord(TestRecord, t.P, 0, nullptr, 2500, r, &status), nullptr);
  EXPECT_EQ(r->Voice[0].Volume[0], 2000);
  EXPECT_EQ(r->Voice[0].Volume[1], 10000);
  EXPECT_EQ(r->Voice[0].Mod1Depth[0], 100);
  EXPECT_EQ(r->Voice[0].Mod1Phase, 90);
  EXPECT_EQ(r->Voice[0].Mod1Rate[0], 1000000);
}

TEST_F(Sweeps, AudioStrobeSlotCarriesBrightnessAndFlash) {
  TestPreset t;
  t.Set2(0, PID_VISBRIGHT, {{0, 10000}, {10000, 10000}});
  t.Set2(0, PID_VISFREQ, {{0, 10000}, {10000, 10000}});  // 10 Hz
  ASSERT_TRUE(EnsureSweepData(TestRecord, 2 * MAXSWEEPRECORD));
  SweepRecord* r = FirstSweepRecord(TestRecord);
  int status;
  ASSERT_NE(FillSweepRecord(TestRecord, t.P, 0, nullptr, 0, r, &status), nullptr);
  const VoiceEntry& s = StrobeSlot(r);
  EXPECT_EQ(s.Frequency[0], 19200000);
  EXPECT_EQ(s.Volume[0], 10000);  // (100 - 50) * 10000 / 100 + 50 * 100
  EXPECT_EQ(s.Mod1Depth[0], 50);
  EXPECT_EQ(s.Mod1Rate[0], -10000);
  t.Set2(0, PID_VISBRIGHT, {{0, 5000}, {10000, 5000}});
  ASSERT_NE(FillSweepRecord(TestRecord, t.P, 0, nullptr, 0, r, &status), nullptr);
  EXPECT_EQ(StrobeSlot(r).Volume[0], 7500);
  t.Set2(0, PID_VISBRIGHT, {{0, 0}, {10000, 0}});
  ASSERT_NE(FillSweepRecord(TestRecord, t.P, 0, nullptr, 0, r, &status), nullptr);
  EXPECT_EQ(StrobeSlot(r).Volume[0], 0);
}

TEST_F(Sweeps, RectangularAudioStrobeRebuildsTablesWithTheDutyCycle) {
  AdvancedOptions o;
  o.AudioStrobeDutyCycle = 25;
  EngineSetUp(o);
  TestPreset t;
  int8_t before = RectangularData8[static_cast<int>(120 * 8192 / 360)];
  ASSERT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), 0);
  EXPECT_EQ(before, 127);
  EXPECT_LT(RectangularData8[static_cast<int>(120 * 8192 / 360)], 127);  // top now ends at 90
}

TEST_F(Sweeps, TooManyWaveformsFailsWith1273) {
  TestPreset t(10, 1);
  t.Seg(0).Length = 100000;
  // Every ear sweeps the shape through all positions at its own sharpness:
  // 20 sharpness values times some 70 distinct shapes.
  for (int v = 0; v < 10; v++) {
    int wf = VoicePidOf(v, VP_WAVEFORM);
    t.Set(0, wf, {{0, (v * 100) << 16}, {10000, ((v * 100) << 16) | 1000}});
    t.Set(0, wf + 1, {{0, (v * 100 + 50) << 16}, {10000, ((v * 100 + 50) << 16) | 1000}});
  }
  EXPECT_EQ(CalculatePreset(TestRecord, t.P, true, nullptr), CALC_WAVEFORMS);
}

TEST_F(Sweeps, FilterValueIsQuantisedToSteps) {
  TestPreset t;
  int filter = VoicePidOf(0, VP_FILTER), wf = VoicePidOf(0, VP_WAVEFORM);
  t.Set2(0, wf, {{0, (500 << 16) | 1000}, {10000, (500 << 16) | 1000}});  // hard rectangle
  ASSERT_TRUE(EnsureSweepData(TestRecord, 2 * MAXSWEEPRECORD));
  SweepRecord* r = FirstSweepRecord(TestRecord);
  int status;
  auto tableFor = [&](int32_t f) {
    t.Set2(0, filter, {{0, f}, {10000, f}});
    EXPECT_NE(FillSweepRecord(TestRecord, t.P, 0, nullptr, 0, r, &status), nullptr);
    return r->Voice[0].Table[0];
  };
  const void* plain = tableFor(2000);
  EXPECT_EQ(static_cast<const int16_t*>(plain)[1], 32767);  // unfiltered
  const void* f1990 = tableFor(1990);
  EXPECT_NE(f1990, plain);
  EXPECT_EQ(tableFor(1980), f1990);
  EXPECT_EQ(tableFor(1999), f1990);
}

TEST_F(Sweeps, ASecondRecordLeavesTheFirstOnesListAndTables) {
  // Another playback calculated while one plays (the editor's test beside
  // the window's) must not write over the records or waveform tables the
  // first one's walk points into.
  TestPreset a, b(3, 2);
  a.Set2(0, VoicePidOf(0, VP_WAVEFORM), {{0, (500 << 16) | 1000}, {10000, (500 << 16) | 1000}});
  b.Set2(0, VoicePidOf(0, VP_WAVEFORM), {{0, (100 << 16) | 300}, {10000, (100 << 16) | 300}});
  ASSERT_EQ(CalculatePreset(TestRecord, a.P, true, nullptr), 0);
  auto list = ListOf();
  const auto* from = reinterpret_cast<const unsigned char*>(list.front());
  const auto* to = reinterpret_cast<const unsigned char*>(list.back()) + SweepRecordBytes(list.back()->NumVoices);
  std::vector<unsigned char> records(from, to);
  const auto* table = static_cast<const unsigned char*>(list.front()->Voice[0].Table[0]);
  std::vector<unsigned char> samples(table, table + WAVELEN * (TestRecord.Options.Bits16 ? 2 : 1));

  auto other = std::make_unique<PlaybackState>();
  TakeEngineOptions(*other, AdvancedOptions{});
  ASSERT_EQ(CalculatePreset(*other, b.P, true, nullptr), 0);
  ASSERT_NE(FirstSweepRecord(*other)->Voice[0].Table[0], list.front()->Voice[0].Table[0]);
  EXPECT_TRUE(std::equal(records.begin(), records.end(), from));
  EXPECT_TRUE(std::equal(samples.begin(), samples.end(), table));
}

TEST_F(Sweeps, OversizedWeightCountsAsTheSteepest) {
  TestPreset a, b;
  int vol = VoicePidOf(0, VP_VOLUME);
  a.Set2(0, vol, {{0, 0}, {10000, 10000}}, 20);
  b.Set2(0, vol, {{0, 0}, {10000, 10000}}, 200);  // hand-made file
  ASSERT_EQ(CalculatePreset(TestRecord, a.P, true, nullptr), 0);
  std::vector<int> va;
  for (SweepRecord* r : ListOf()) va.push_back(r->Voice[0].Volume[0] * 100000 + r->Blocks);
  ASSERT_EQ(CalculatePreset(TestRecord, b.P, true, nullptr), 0);
  std::vector<int> vb;
  for (SweepRecord* r : ListOf()) vb.push_back(r->Voice[0].Volume[0] * 100000 + r->Blocks);
  EXPECT_EQ(va, vb);
  EXPECT_GT(va.size(), 10u);
}

TEST_F(Sweeps, InterpolationAndNextChange) {
  ProgressRecord p{};
  for (int i = 0; i <= 20; i++) {
    p.WTimes[i] = 1000 + 100 * i;
    p.WValues[i] = 50 * i;
  }
  EXPECT_EQ(InterpolateProgress(p, 1000), 0);
  EXPECT_EQ(InterpolateProgress(p, 1150), 75);
  EXPECT_EQ(InterpolateProgress(p, 3000), 1000);
  EXPECT_EQ(NextChangeTime(75, 100, p, 1150), 1350);
  EXPECT_EQ(NextChangeTime(990, 100, p, 2980), 100000);
  // Falling curve: the target is below.
  for (int i = 0; i <= 20; i++) p.WValues[i] = 1000 - 50 * i;
  EXPECT_EQ(NextChangeTime(925, 100, p, 1150), 1350);
  // Packed: each half on its own, the earlier wins.
  for (int i = 0; i <= 20; i++) p.WValues[i] = ((10 * i) << 16) | (40 * i);
  EXPECT_EQ(InterpolatePackedProgress(p, 1150), (15 << 16) | 60);
  EXPECT_EQ(NextChangeTimePacked((15 << 16) | 60, 20, p, 1150), 1200);
  EXPECT_EQ(ParamStep(TestRecord, PN_VOLUME, 5000), 100);
  EXPECT_EQ(ParamStep(TestRecord, PN_BEAT, 15000), 95);  // (15000 * 5 + 20 * 1000) / 1000
  EXPECT_EQ(ParamStep(TestRecord, PN_BEAT, -15000), 95);
  EXPECT_EQ(ParamStep(TestRecord, PN_FILTER, 0), 20);
}

// The search aids of PrepareSweep (where the search for a piece starts, the
// bounds past which nothing is reached, the halves of packed values, the
// divisions without a 64-bit divide) against the plain rules, over sweeps
// with sorted, repeated and falling times, rising, falling, wavy, flat and
// full-range values, and times that mostly grow and sometimes go back.
namespace plain {
int Piece(const int32_t* times, int t) {
  for (int i = 0; i < 20; i++)
    if (times[i] <= t && t <= times[i + 1]) return i;
  return 19;
}
int32_t Interpolate(const int32_t* times, const int32_t* values, int t) {
  int i = Piece(times, t);
  int32_t dt = times[i + 1] - times[i];
  if (dt == 0) return values[i];
  int64_t v = values[i] + (static_cast<int64_t>(values[i + 1]) - values[i]) * (t - times[i]) / dt;
  return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}
int NextChange(int32_t value, int32_t step, const int32_t* times, const int32_t* values, int t) {
  int64_t target = values[0] < values[20] ? static_cast<int64_t>(value) + step : static_cast<int64_t>(value) - step;
  for (int i = Piece(times, t); i < 20; i++) {
    int64_t dv = static_cast<int64_t>(values[i + 1]) - values[i];
    if (dv == 0) continue;
    int64_t time = times[i] + static_cast<int64_t>(times[i + 1] - times[i]) * (target - values[i]) / dv;
    if (time <= times[i + 1]) return static_cast<int>(time);
  }
  return 100000;
}
}  // namespace plain

TEST(SweepSearch, AgreesWithThePlainRules) {
  std::mt19937 rng(19);
  auto uni = [&](int64_t lo, int64_t hi) { return std::uniform_int_distribution<int64_t>(lo, hi)(rng); };
  for (int trial = 0; trial < 3000; trial++) {
    ProgressRecord p{};
    int kind = trial % 6;
    int32_t t0 = static_cast<int32_t>(uni(0, 9000)), span = static_cast<int32_t>(uni(0, kind == 5 ? 30 : 3000));
    for (int i = 0; i <= 20; i++) {
      p.WTimes[i] = t0 + span * i / 20;
      if (trial % 7 == 3) p.WTimes[i] = t0 + static_cast<int32_t>(uni(-50, 50));  // hand-made: any order
    }
    int64_t v0 = uni(-100000, 100000), v1 = uni(-100000, 100000);
    if (kind == 4) v0 = uni(INT32_MIN, INT32_MAX), v1 = uni(INT32_MIN, INT32_MAX);
    const uint8_t* w = WeightTable[uni(0, 20)];
    for (int i = 0; i <= 20; i++) {
      int64_t v = v0 + (v1 - v0) * w[i] / 100;
      if (kind == 1) v += uni(-3000, 3000);                    // wavy
      if (kind == 2) v = v0;                                   // flat
      if (kind == 3) v = (uni(0, 1000) << 16) | uni(0, 1000);  // packed
      p.WValues[i] = static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
    }
    bool packed = kind == 3;
    PrepareSweep(p, packed);
    int32_t hi[21], lo[21];
    for (int i = 0; i <= 20; i++) {
      hi[i] = static_cast<int32_t>(static_cast<uint32_t>(p.WValues[i]) >> 16);
      lo[i] = static_cast<int32_t>(static_cast<uint32_t>(p.WValues[i]) & 0xFFFF);
    }
    int t = p.WTimes[0] - 5;
    for (int call = 0; call < 30; call++) {
      t += static_cast<int>(uni(0, 8) == 0 ? uni(-400, 0) : uni(0, span / 10 + 3));
      int32_t value = static_cast<int32_t>(uni(-200000, 200000)), step = static_cast<int32_t>(uni(2, 20000));
      if (kind == 4) value = static_cast<int32_t>(uni(INT32_MIN, INT32_MAX));
      if (kind == 1 || kind == 0) value = plain::Interpolate(p.WTimes, p.WValues, t);
      if (kind == 5 && call % 2) {  // a target next to the farthest one a rising or falling sweep reaches
        int64_t rise = 0, fall = 0;
        for (int i = 0; i < 20; i++) {
          rise = std::max<int64_t>(rise, static_cast<int64_t>(p.WValues[i + 1]) - p.WValues[i]);
          fall = std::min<int64_t>(fall, static_cast<int64_t>(p.WValues[i + 1]) - p.WValues[i]);
        }
        int64_t edge = p.WValues[0] < p.WValues[20] ? p.WValues[20] + rise - step : p.WValues[20] + fall + step;
        value = static_cast<int32_t>(edge + uni(-2, 2));
      }
      if (packed) {
        int32_t want = static_cast<int32_t>(static_cast<uint32_t>(plain::Interpolate(p.WTimes, hi, t)) << 16 |
                                            (static_cast<uint32_t>(plain::Interpolate(p.WTimes, lo, t)) & 0xFFFF));
        ASSERT_EQ(InterpolatePackedProgress(p, t), want) << trial << " " << call;
        int32_t vh = static_cast<int32_t>(static_cast<uint32_t>(value) >> 16), vl = value & 0xFFFF;
        ASSERT_EQ(NextChangeTimePacked(value, step, p, t),
                  std::min(plain::NextChange(vh, step, p.WTimes, hi, t), plain::NextChange(vl, step, p.WTimes, lo, t)))
            << trial << " " << call;
      } else {
        ASSERT_EQ(InterpolateProgress(p, t), plain::Interpolate(p.WTimes, p.WValues, t)) << trial << " " << call;
        ASSERT_EQ(NextChangeTime(value, step, p, t), plain::NextChange(value, step, p.WTimes, p.WValues, t))
            << trial << " " << call;
      }
    }
  }
}

}  // namespace
