// Parameter tables, default content and whole-record operations.
#include <gtest/gtest.h>

#include <cstring>

#include "common/checks.h"
#include "main/arith.h"
#include "main/preset.h"

namespace {

struct ScopedPreset {
  Preset p{};
  ScopedPreset() { NewDefaultPreset(p); }
  ~ScopedPreset() { FreePreset(p); }
};

TEST(ParamTables, VoiceIdentifiersRepeatFourteenLower) {
  for (int pid = 50; pid < NPARAMS; ++pid) EXPECT_EQ(ParamNumOfPid(pid), ParamNumOfPid(pid - 14)) << pid;
  // Single-channel segment parameters map to their own rows only.
  EXPECT_EQ(ParamNumOfPid(4), PN_BGPHASE);
  EXPECT_EQ(ParamNumOfPid(5), PN_NOISEVOL);
  EXPECT_EQ(ParamNumOfPid(35), PN_VISPHASE);
  EXPECT_EQ(ParamNumOfPid(34), PN_NOISEMODPHASE);
  // Both channels of a two-channel row.
  EXPECT_EQ(ParamNumOfPid(37), PN_PITCH);
  EXPECT_EQ(ParamNumOfPid(38), PN_PITCH);
  EXPECT_EQ(ParamNumOfPid(36 + 14 * 9 + 13), PN_SNDMODPHASE);
}

TEST(ParamTables, EveryIdentifierIsCoveredExactlyByItsRow) {
  int seen[NSPAR + NVPAR] = {};
  for (int n = 0; n < PDBK; ++n)
    for (int c = 0; c < ParamDef[n].Channels; ++c) ++seen[ParamDef[n].FirstPid + c];
  for (int pid = 0; pid < NSPAR + NVPAR; ++pid) EXPECT_EQ(seen[pid], 1) << pid;
}

TEST(ParamTables, ParamIdAndPagePositions) {
  EXPECT_EQ(PARAMID(0, PN_BEAT), 36);
  EXPECT_EQ(PARAMID(3, PN_BEAT), 36 + 42);
  EXPECT_EQ(PARAMID(9, PN_SNDMODPHASE), 49 + 126);
  EXPECT_EQ(PARAMID(7, PN_NOISEVOL), 5);  // segment parameters do not move
  EXPECT_EQ(PagePosition(0), PN_BEAT);
  EXPECT_EQ(PagePosition(5), -1);
  EXPECT_EQ(PagePosition(6), PN_BGVOLUME);
  EXPECT_EQ(PagePosition(8), PN_BGPARAM);
  EXPECT_EQ(PagePosition(11), -1);  // Brightness of colour 2 has no position
  EXPECT_EQ(PagePosition(14), PN_VISPHASE);
  EXPECT_EQ(PagePosition(15), PN_SNDMODDEPTH);
  EXPECT_EQ(PagePosition(29), PN_NOISEMODPHASE);
  ExpectCheckFailures expect;
  PARAMID(0, PDBK);
  ParamNumOfPid(176);
  EXPECT_TRUE(expect.Saw("ParamNum<sizeof(CalcMax)/sizeof(CalcMax[0])"));
  EXPECT_TRUE(expect.Saw("pid>=0 && pid<NSPAR+NVPAR*MAXVOICES"));
  EXPECT_EQ(expect.Failures().back().Module, "main");
}

TEST(EasyMode, LookupByValue) {
  EXPECT_EQ(FindEasyEntry(1), 0);
  EXPECT_EQ(FindEasyEntry(31), 2);
  EXPECT_EQ(FindEasyEntry(0), 50);
  EXPECT_EQ(FindEasyEntry(51), -1);
  // Every type-group listed in table order matches its ParamDef Easy column.
  for (const EasyModeType& e : EasyMode) EXPECT_GE(FindEasyEntry(e.EasySel), 0);
}

TEST(DefaultPreset, RecordFields) {
  ScopedPreset sp;
  const Preset& p = sp.p;
  EXPECT_STREQ(p.Name, "<new>");
  EXPECT_EQ(p.data.NumSegments, 1);
  EXPECT_EQ(p.data.Background, AMBIX_NONE);
  EXPECT_EQ(p.data.ContinuePlaying, 1);
  EXPECT_EQ(p.data.VisOpt.NumColors, 2);
  EXPECT_EQ(p.data.VisOpt.Colors[0], 0x00FF0000u);
  EXPECT_EQ(p.data.VisOpt.Colors[1], 0x0000FF00u);
  EXPECT_EQ(p.data.VisOpt.Colors[2], 0u);
  EXPECT_STREQ(p.data.Segment[0].Name, "A");
  EXPECT_EQ(p.data.Segment[0].Length, 1000);
  EXPECT_EQ(p.data.Segment[0].Repeat, 1);
  EXPECT_EQ(p.data.Segment[0].NumVoices, 1);
  EXPECT_EQ(p.Loaded, 1);
  ASSERT_NE(p.Description, nullptr);
  EXPECT_STREQ(p.Description, "");
}

TEST(DefaultPreset, CurvesAndTracking) {
  ScopedPreset sp;
  const Param* pp = SegParams(sp.p, 0);
  const Param& beat = pp[36];
  ASSERT_EQ(beat.NumNodes, 3);
  EXPECT_EQ(beat.Node[0].Value, 15000);
  EXPECT_EQ(beat.Node[1].Value, 10000);
  EXPECT_EQ(beat.Node[2].Value, 5000);
  EXPECT_EQ(beat.Node[1].SweepTime, 5000);
  EXPECT_EQ(beat.Tracking, 0);
  EXPECT_EQ(beat.TrackSource, 36);
  // Audible pitch is 50 x the beat frequency, both channels.
  for (int pid : {37, 38}) {
    EXPECT_EQ(pp[pid].Tracking, 1) << pid;
    EXPECT_EQ(pp[pid].Node[0].Value, 75000) << pid;
    EXPECT_EQ(pp[pid].Node[2].Value, 25000) << pid;
  }
  EXPECT_EQ(pp[37].Slope, 50000);
  EXPECT_EQ(pp[38].TrackSource, 37);
  EXPECT_EQ(pp[38].Slope, 1000);
  // Visual frequency follows the first voice's beat one to one.
  EXPECT_EQ(pp[PID_VISFREQ].Node[0].Value, 15000);
  EXPECT_EQ(pp[PID_VISFREQ].Slope, 1000);
  // Easy defaults.
  EXPECT_EQ(pp[39].EasySel, 42);
  EXPECT_EQ(pp[39].Node[1].Value, 10000);
  EXPECT_EQ(pp[41].EasySel, 1);
  EXPECT_EQ(pp[41].Node[0].Value, (500 << 16) | 500);
  EXPECT_EQ(pp[43].Node[0].Value, 2000);
  EXPECT_EQ(pp[PID_NOISEVOL].EasySel, 46);
  EXPECT_EQ(pp[PID_NOISEVOL].Node[0].Value, 0);
  EXPECT_EQ(pp[PID_NOISESMOOTH].Node[0].Value, 5000);
  EXPECT_EQ(pp[47].Node[2].Value, 1000000);  // 1000 ms modulation period
  EXPECT_EQ(pp[PID_VISPHASE].TrackSource, 49);
  EXPECT_EQ(pp[PID_VISMODDEPTH].TrackSource, 14);
  // Tracking defaults from the CalcMax ratio and the row's limits.
  EXPECT_EQ(pp[PID_BGPHASE].Slope, 1000 * 1000 / 15);
  EXPECT_EQ(pp[PID_BGPHASE].MinLimit, -1000);
  EXPECT_EQ(pp[PID_BGPHASE].MaxLimit, 1000);
  EXPECT_EQ(PresetLength(sp.p), 1000);
}

TEST(DefaultSegment, OnlyNodesTwoOrThree) {
  Preset p{};
  Param* pp = CommitSegmentSlot(p, 0, 1);
  Segment seg{};
  {
    ExpectCheckFailures expect;
    FillDefaultSegment(pp, seg, 1, 4);
    EXPECT_TRUE(expect.Saw("Nodes==2||Nodes==3"));
  }
  FillDefaultSegment(pp, seg, 1, 2);
  EXPECT_EQ(pp[36].NumNodes, 2);
  EXPECT_EQ(pp[36].Node[1].SweepTime, 10000);
  EXPECT_EQ(pp[36].Node[1].Value, 5000);
  FreePreset(p);
}

TEST(SegmentMemory, AbsentVoicesAreNotBacked) {
  Preset p{};
  Param* pp = CommitSegmentSlot(p, 3, 1);
  ASSERT_NE(pp, nullptr);
  EXPECT_EQ(pp, p.ParamMem + 3 * NPARAMS);
  pp[49].Node[99].Value = 1;  // the last parameter of voice 0 is usable
  // Commits are whole pages, so look a page past the last backed parameter.
  EXPECT_DEATH(pp[56].Node[0].Value = 1, "");
  Param* full = CommitSegmentSlot(p, 3, 10);
  full[175].Node[99].Value = 2;
  EXPECT_EQ(full[49].Node[99].Value, 1);  // growing keeps the contents
  FreePreset(p);
}

TEST(Easy, SetsConstantCurveAndJoinsChannels) {
  ScopedPreset sp;
  Param* pp = SegParams(sp.p, 0);
  const Segment& seg = sp.p.data.Segment[0];
  pp[PID_NOISEVOL].ChannelMode = 1;
  pp[PID_NOISEVOL + 1].Tracking = 0;
  SetFromEasySelection(BackgroundParamRow{}, pp, seg, PID_NOISEVOL, 45, 37, 2);
  EXPECT_EQ(pp[PID_NOISEVOL].NumNodes, 2);
  EXPECT_EQ(pp[PID_NOISEVOL].Node[0].Value, 5000);
  EXPECT_EQ(pp[PID_NOISEVOL].ChannelMode, 0);
  EXPECT_EQ(pp[PID_NOISEVOL].EasySel, 45);
  EXPECT_EQ(pp[PID_NOISEVOL + 1].Tracking, 1);
  EXPECT_EQ(pp[PID_NOISEVOL + 1].NumNodes, 2);
  EXPECT_EQ(pp[PID_NOISEVOL + 1].Node[1].Value, 5000);
  // Phase shifts are in hundredths of a millisecond.
  SetFromEasySelection(BackgroundParamRow{}, pp, seg, PID_BGPHASE, 36, 36, 3);
  EXPECT_EQ(pp[PID_BGPHASE].Node[2].Value, -25000);
  // Filter choices carry two decimals.
  SetFromEasySelection(BackgroundParamRow{}, pp, seg, 43, 10, 36, 3);
  EXPECT_EQ(pp[43].Node[0].Value, 220);
  int32_t v = 0;
  EXPECT_TRUE(EasySelectionValue(BackgroundParamRow{}, PN_WAVEFORM, 6, &v));
  EXPECT_EQ(v, (500 << 16) | 870);
  EXPECT_FALSE(EasySelectionValue(BackgroundParamRow{}, PN_VOLUME, 99, &v));
}

// Two presets' background rows handed in turn: each call reads the
// background's parameter in the row it is given, none in the other's.
TEST(BackgroundRow, EachPresetIsReadInItsOwnRow) {
  const BackgroundParamRow none;  // the table's own row 6: 0..100, 2 decimals
  BackgroundParamRow library;     // a library's own parameter: 0..50 s, 1 decimal
  library.Row = ParamDefSpare[1];
  library.Row.Name = 0;
  library.Row.Digits = 1;
  library.Row.Max = 50;
  struct Case {
    const BackgroundParamRow* Bg;
    int32_t TenSeconds;  // the Easy choice "10 seconds" (39), stored
    int32_t MaxLimit;    // the tracking defaults' upper limit
    int32_t Tracked;     // following an 80 Hz beat one to one, within the row's range
  };
  const Case cases[] = {
      {&none, 1000, 100, 8000}, {&library, 100, 50, 500}, {&none, 1000, 100, 8000}, {&library, 100, 50, 500}};
  ScopedPreset sp;
  Param* pp = SegParams(sp.p, 0);
  const Segment& seg = sp.p.data.Segment[0];
  const int beat = VoicePidOf(0, VP_BEAT);
  pp[beat].Node[0].Value = 80000;
  for (const Case& c : cases) {
    const int32_t digits = c.Bg->Row.Digits;
    int32_t v = 0;
    ASSERT_TRUE(EasySelectionValue(*c.Bg, PN_BGPARAM, 39, &v));
    EXPECT_EQ(v, c.TenSeconds) << digits;
    Param& q = pp[PID_BGPARAM];
    q.TrackSource = static_cast<uint8_t>(beat);
    ResetTrackingDefaults(*c.Bg, pp, PID_BGPARAM);
    EXPECT_EQ(q.MaxLimit, c.MaxLimit) << digits;
    q.Tracking = 1;
    q.Slope = 1000;
    q.MaxLimit = 1000;  // the row's range alone bounds it
    EXPECT_EQ(TrackedValue(*c.Bg, pp, seg, PID_BGPARAM, 0), c.Tracked) << digits;
  }
}

TEST(CopyCompare, EqualCopyIsUnchangedDescriptionChangeIsChanged) {
  ScopedPreset a, b;
  b.p.LastUse = a.p.LastUse;
  EXPECT_EQ(ComparePresets(a.p, b.p), 0);
  EXPECT_FALSE(CopyPreset(b.p, a.p));
  std::strcpy(a.p.Description, "For the evening.");
  EXPECT_EQ(ComparePresets(a.p, b.p), 1);
  EXPECT_TRUE(CopyPreset(b.p, a.p));
  EXPECT_STREQ(b.p.Description, "For the evening.");
  EXPECT_NE(b.p.Description, a.p.Description);  // dest keeps its own buffer
  EXPECT_NE(b.p.ParamMem, a.p.ParamMem);
  EXPECT_EQ(ComparePresets(a.p, b.p), 0);
}

TEST(CopyCompare, BothWaveformHalvesCount) {
  ScopedPreset a, b;
  b.p.LastUse = a.p.LastUse;
  SegParams(a.p, 0)[41].Node[1].Value = (300 << 16) | 500;  // only Z differs
  EXPECT_EQ(ComparePresets(a.p, b.p), 1);
  EXPECT_TRUE(CopyPreset(b.p, a.p));
  EXPECT_EQ(SegParams(b.p, 0)[41].Node[1].Value, (300 << 16) | 500);
  EXPECT_FALSE(CopyPreset(b.p, a.p));
}

TEST(CopyCompare, CopiesEverySegmentAndVoice) {
  ScopedPreset a;
  Preset dest{};
  a.p.data.NumSegments = 2;
  Segment& seg = a.p.data.Segment[1];
  std::strcpy(seg.Name, "B");
  seg.Length = 500;
  seg.Repeat = 3;
  Param* pp = CommitSegmentSlot(a.p, 1, 10);
  FillDefaultSegment(pp, seg, 10, 3);
  RecomputeAllTracked(BackgroundParamRow{}, pp, seg);
  pp[175].Node[0].Value = 12345;
  EXPECT_TRUE(CopyPreset(dest, a.p));
  ASSERT_NE(dest.ParamMem, nullptr);
  EXPECT_EQ(SegParams(dest, 1)[175].Node[0].Value, 12345);
  EXPECT_EQ(ComparePresets(dest, a.p), 0);
  EXPECT_EQ(PresetLength(dest), 1000 + 1500);
  FreePreset(dest);
}

}  // namespace
