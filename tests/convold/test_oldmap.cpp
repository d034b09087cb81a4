// Mapping of old presets onto current ones: fixed part, backgrounds, every
// converted parameter and its factor, the curves kept at their defaults,
// tracking, easy selections from the per-voice bytes.
#include <gtest/gtest.h>

#include <climits>
#include <cstring>

#include "common/checks.h"
#include "convold/convtest.h"
#include "convold/oldformat.h"
#include "main/arith.h"
#include "main/preset.h"

namespace {

std::vector<int32_t> Values(const Param& p) {
  std::vector<int32_t> v;
  for (int i = 0; i < p.NumNodes; ++i) v.push_back(p.Node[i].Value);
  return v;
}

TEST(OldMap, FixedPart) {
  OldPresetSpec shape = OldTypicalPreset("Relax", 3, 2);
  shape.Flag1 = 1;
  shape.Flag2 = 1;
  shape.Description = "Slow down.";
  shape.Segments[0].Minutes = 15;
  shape.Segments[1].Minutes = 1;
  shape.Segments[1].Repeat = 7;
  shape.Segments[2].Name = "Zq";
  shape.Segments[2].NumVoices = 3;
  shape.Segments[2] = OldTypicalSegment(3, 10000);
  shape.Segments[2].Name = "Zq";
  OwnedPresets out;
  const Preset& p = ConvertOne(out, shape);
  EXPECT_STREQ(p.Name, "Relax");
  EXPECT_EQ(p.BuiltIn, 0);
  EXPECT_EQ(p.IsSchedule, 0);  // the old flag bytes are not carried over
  EXPECT_EQ(p.Deleted, 0);
  EXPECT_EQ(p.Loaded, 1);
  EXPECT_EQ(p.RecordSize, 0);
  EXPECT_EQ(p.data.ContinuePlaying, 1);
  EXPECT_EQ(p.data.VisOpt.NumColors, 0);  // the old format had no colours
  EXPECT_STREQ(p.Description, "Slow down.");
  ASSERT_EQ(p.data.NumSegments, 3);
  EXPECT_EQ(p.data.Segment[0].Length, 1500);
  EXPECT_EQ(p.data.Segment[0].Repeat, 1);
  EXPECT_EQ(p.data.Segment[1].Length, 100);
  EXPECT_EQ(p.data.Segment[1].Repeat, 7);
  EXPECT_EQ(p.data.Segment[2].Length, 1000000);
  EXPECT_STREQ(p.data.Segment[0].Name, "A");
  EXPECT_STREQ(p.data.Segment[2].Name, "Zq");
  EXPECT_EQ(p.data.Segment[0].NumVoices, 2);
  EXPECT_EQ(p.data.Segment[2].NumVoices, 3);
  EXPECT_EQ(p.data.Segment[0].NoiseInsideHead, 0);
}

TEST(OldMap, BuiltInByNamePrefix) {
  struct {
    const char* Name;
    int BuiltIn;
  } cases[] = {{"BUILTIN: Alpha", 1}, {"BUILTIN: ", 1}, {"BUILTIN:Alpha", 0}, {"BUILTIN:  x", 1},
               {"builtin: alpha", 0}, {"BUILTIN", 0},   {" BUILTIN: x", 0}};
  for (auto c : cases) {
    OwnedPresets out;
    EXPECT_EQ(ConvertOne(out, OldTypicalPreset(c.Name)).BuiltIn, c.BuiltIn) << c.Name;
  }
}

TEST(OldMap, BackgroundCodes) {
  // The old codes of the two libraries' recordings.
  struct Lib {
    int Code;
    const char* File;
    int Number;
  } libs[] = {{100, "Ambix.dll", 1},    {101, "Ambiplus.dll", 1}, {102, "Ambix.dll", 2},     {103, "Ambix.dll", 3},
              {104, "Ambiplus.dll", 2}, {105, "Ambix.dll", 4},    {106, "Ambiplus.dll", 3},  {107, "Ambiplus.dll", 4},
              {108, "Ambiplus.dll", 5}, {109, "Ambiplus.dll", 6}, {111, "Ambiplus.dll", 7},  {112, "Ambix.dll", 5},
              {113, "Ambiplus.dll", 8}, {114, "Ambiplus.dll", 9}, {115, "Ambiplus.dll", 10}, {116, "Ambix.dll", 6},
              {117, "Ambiplus.dll", 11}};
  for (int code = -128; code <= 127; ++code) {
    OldPresetSpec shape = OldTypicalPreset("bg");
    shape.BackgroundCode = static_cast<int8_t>(code);
    shape.BackgroundPath = "C:\\Sounds\\rain.wav";
    OwnedPresets out;
    const Preset& p = ConvertOne(out, shape);
    const Lib* lib = nullptr;
    for (const Lib& l : libs)
      if (l.Code == code) lib = &l;
    if (lib) {
      EXPECT_EQ(p.data.Background, lib->Number) << code;
      EXPECT_STREQ(p.data.BackgroundFile, lib->File) << code;
    } else if (code == -1) {
      EXPECT_EQ(p.data.Background, AMBIX_OTHER);
      EXPECT_STREQ(p.data.BackgroundFile, "C:\\Sounds\\rain.wav");
    } else {
      EXPECT_EQ(p.data.Background, AMBIX_NONE) << code;
      EXPECT_STREQ(p.data.BackgroundFile, "") << code;
    }
    int noise = code == -2 || code == -3;
    EXPECT_EQ(p.data.Segment[0].NoiseInsideHead, noise) << code;
  }
}

TEST(OldMap, WavPathThatDoesNotFit) {
  OldPresetSpec shape = OldTypicalPreset("wav");
  shape.BackgroundCode = -1;
  shape.BackgroundPath = std::string(255, 'p');
  OwnedPresets out;
  EXPECT_EQ(ConvertOne(out, shape).data.Background, AMBIX_OTHER);
  EXPECT_EQ(std::strlen(out.P[0].data.BackgroundFile), 255u);
  // 256 characters cannot be held; nor can a path without its NUL.
  shape.BackgroundPath = std::string(256, 'p');
  OwnedPresets longer;
  EXPECT_EQ(ConvertOne(longer, shape).data.Background, AMBIX_NONE);
  EXPECT_STREQ(longer.P[0].data.BackgroundFile, "");
  OldImage img = WriteOldImage({shape});
  std::fill(img.Data.begin() + static_cast<long>(img.Records[0] + OLD_REC_PATH),
            img.Data.begin() + static_cast<long>(img.Records[0] + 1296), 'q');
  OwnedPresets unended;
  ASSERT_EQ(ConvertImage(img.Data, &unended), 0);
  EXPECT_EQ(unended.P[0].data.Background, AMBIX_NONE);
}

// Distinct old curves on every converted parameter of two voices.
OldPresetSpec DistinctPreset(int8_t code) {
  OldPresetSpec shape = OldTypicalPreset("map", 1, 2);
  shape.BackgroundCode = code;
  auto& prm = shape.Segments[0].Params;
  prm[0] = OldRamp(80, 20);
  prm[1] = OldRamp(30, 70);
  for (int v = 0; v < 2; ++v) {
    const size_t b = 6 + 5 * static_cast<size_t>(v);
    prm[b + 0] = OldRamp(1250 + v, 475);  // 12.50 Hz -> 4.75 Hz
    prm[b + 1] = OldRamp(90 - v, 60);     // percent
    prm[b + 2] = OldRamp(180 + v, 440);   // Hz
    prm[b + 3] = OldRamp(25, 75 + v);     // percent
    prm[b + 4] = OldRamp(1500, 250 + v);  // ms
  }
  return shape;
}

TEST(OldMap, EveryConvertedParameterAndItsFactor) {
  OwnedPresets out;
  const Preset& p = ConvertOne(out, DistinctPreset(100));
  using V = std::vector<int32_t>;
  EXPECT_EQ(Values(ParamOf(p, 0, PID_BGVOLUME)), (V{8000, 2000}));
  EXPECT_EQ(Values(ParamOf(p, 0, PID_BGPARAM)), (V{30, 70}));  // stored as it was
  for (int v = 0; v < 2; ++v) {
    EXPECT_EQ(Values(ParamOf(p, 0, VoicePidOf(v, VP_BEAT))), (V{12500 + 10 * v, 4750})) << v;
    EXPECT_EQ(Values(ParamOf(p, 0, VoicePidOf(v, VP_VOLUME))), (V{9000 - 100 * v, 6000})) << v;
    EXPECT_EQ(Values(ParamOf(p, 0, VoicePidOf(v, VP_PITCH))), (V{18000 + 100 * v, 44000})) << v;
    EXPECT_EQ(Values(ParamOf(p, 0, VoicePidOf(v, VP_MODDEPTH))), (V{2500, 7500 + 100 * v})) << v;
    EXPECT_EQ(Values(ParamOf(p, 0, VoicePidOf(v, VP_MODPERIOD))), (V{1500000, 250000 + 1000 * v})) << v;
    // Second channels follow the converted first ones.
    EXPECT_EQ(Values(ParamOf(p, 0, VoicePidOf(v, VP_VOLUME) + 1)), Values(ParamOf(p, 0, VoicePidOf(v, VP_VOLUME))));
    EXPECT_EQ(Values(ParamOf(p, 0, VoicePidOf(v, VP_PITCH) + 1)), Values(ParamOf(p, 0, VoicePidOf(v, VP_PITCH))));
    EXPECT_EQ(ParamOf(p, 0, VoicePidOf(v, VP_BEAT)).EasySel, 0);
  }
  EXPECT_EQ(Values(ParamOf(p, 0, PID_BGVOLUME + 1)), (V{8000, 2000}));
  // Old parameters 2..5 are not converted: the noise stays at its default.
  EXPECT_EQ(ParamOf(p, 0, PID_NOISEVOL).EasySel, 46);
  EXPECT_EQ(ParamOf(p, 0, PID_NOISESMOOTH).EasySel, 27);
  // The visual frequency tracks the first voice's beat one to one.
  EXPECT_EQ(Values(ParamOf(p, 0, PID_VISFREQ)), (V{12500, 4750}));
}

TEST(OldMap, NoiseMode) {
  for (int8_t code : {int8_t{-2}, int8_t{-3}}) {
    OwnedPresets out;
    const Preset& p = ConvertOne(out, DistinctPreset(code));
    EXPECT_EQ(Values(ParamOf(p, 0, PID_NOISEVOL)), (std::vector<int32_t>{8000, 2000}));
    EXPECT_EQ(Values(ParamOf(p, 0, PID_NOISESMOOTH)), (std::vector<int32_t>{3000, 7000}));
    EXPECT_EQ(ParamOf(p, 0, PID_BGVOLUME).EasySel, 42);
    EXPECT_EQ(ParamOf(p, 0, PID_BGPARAM).EasySel, 37);
    EXPECT_EQ(p.data.Background, AMBIX_NONE);
    EXPECT_EQ(p.data.Segment[0].NoiseInsideHead, 1);
  }
}

TEST(OldMap, CurvesKeptAtTheirDefaults) {
  // Background parameter without a library background.
  for (int8_t code : {int8_t{0}, int8_t{-1}, int8_t{110}}) {
    OwnedPresets out;
    const Preset& p = ConvertOne(out, DistinctPreset(code));
    EXPECT_EQ(ParamOf(p, 0, PID_BGPARAM).EasySel, 37) << int{code};
    EXPECT_EQ(Values(ParamOf(p, 0, PID_BGVOLUME)), (std::vector<int32_t>{8000, 2000}));
  }
  // Flat at 100: background volume and voice volumes; flat at 0: depths.
  OldPresetSpec shape = OldTypicalPreset("flat", 1, 2);
  auto& prm = shape.Segments[0].Params;
  prm[11 + 1] = OldFlat(99);                                 // voice 1 volume: not flat at 100
  prm[11 + 3] = OldFlat(1);                                  // voice 1 depth: not flat at 0
  prm[6 + 1].Nodes = {{100, 0}, {100, 5000}, {100, 10000}};  // three nodes are not "flat"
  OwnedPresets out;
  const Preset& p = ConvertOne(out, shape);
  EXPECT_EQ(ParamOf(p, 0, PID_BGVOLUME).EasySel, 42);
  EXPECT_EQ(ParamOf(p, 0, VoicePidOf(0, VP_MODDEPTH)).EasySel, 16);
  EXPECT_EQ(ParamOf(p, 0, VoicePidOf(0, VP_VOLUME)).NumNodes, 3);
  EXPECT_EQ(ParamOf(p, 0, VoicePidOf(0, VP_VOLUME)).EasySel, 0);
  EXPECT_EQ(Values(ParamOf(p, 0, VoicePidOf(1, VP_VOLUME))), (std::vector<int32_t>{9900, 9900}));
  EXPECT_EQ(Values(ParamOf(p, 0, VoicePidOf(1, VP_MODDEPTH))), (std::vector<int32_t>{100, 100}));
  // The pitch and period are always converted, whatever their values.
  EXPECT_EQ(Values(ParamOf(p, 0, VoicePidOf(0, VP_MODPERIOD))), (std::vector<int32_t>{1000000, 1000000}));
  // In noise mode parameter 0 is kept when flat at 0, converted when flat at 100.
  OldPresetSpec noise = OldTypicalPreset("noise");
  noise.BackgroundCode = -2;
  noise.Segments[0].Params[0] = OldFlat(0);
  OwnedPresets n0;
  EXPECT_EQ(ParamOf(ConvertOne(n0, noise), 0, PID_NOISEVOL).EasySel, 46);
  noise.Segments[0].Params[0] = OldFlat(100);
  OwnedPresets n100;
  EXPECT_EQ(Values(ParamOf(ConvertOne(n100, noise), 0, PID_NOISEVOL)), (std::vector<int32_t>{10000, 10000}));
}

TEST(OldMap, NodesCarryPositionWeightAndSymmetric) {
  OldPresetSpec shape = OldTypicalPreset("nodes");
  shape.Segments[0].Params[6].Nodes = {{1000, 0, 0, 0}, {1100, 1234, 20, 10}, {1200, 1234, 7, 1}, {900, 10000, 13, 0}};
  OwnedPresets out;
  const Param& beat = ParamOf(ConvertOne(out, shape), 0, VoicePidOf(0, VP_BEAT));
  ASSERT_EQ(beat.NumNodes, 4);
  EXPECT_EQ(beat.Node[1].Value, 11000);
  EXPECT_EQ(beat.Node[1].SweepTime, 1234);
  EXPECT_EQ(beat.Node[1].Weight, 20);
  EXPECT_EQ(beat.Node[1].Symmetric, 10);
  EXPECT_EQ(beat.Node[3].SweepTime, 10000);
  EXPECT_EQ(beat.Node[3].Weight, 13);
  EXPECT_EQ(beat.Node[4].Value, 0);  // unused slots are empty
}

TEST(OldMap, ValuesBeyondThirtyTwoBitsAreHeld) {
  OldPresetSpec shape = OldTypicalPreset("big");
  shape.Segments[0].Params[6] = OldRamp(INT32_MAX / 5, INT32_MIN / 3);
  OwnedPresets out;
  EXPECT_EQ(Values(ParamOf(ConvertOne(out, shape), 0, VoicePidOf(0, VP_BEAT))),
            (std::vector<int32_t>{INT32_MAX, INT32_MIN}));
}

// Old type t tracked by the voice-1 modulation depth (the period for type 3,
// whose row is the depth itself).
TEST(OldMap, TrackingTypesAndSettings) {
  struct {
    int Type;
    int Pid;       // expected source outside noise mode
    int NoisePid;  // in noise mode
  } cases[] = {{0, 50, 50}, {1, 53, 53}, {2, 51, 51}, {3, 59, 59}, {4, 61, 61}, {5, 0, 5},
               {6, 2, 7},   {7, 14, 14}, {8, 16, 16}, {9, 20, 20}, {10, 22, 22}};
  for (bool noise : {false, true}) {
    for (auto c : cases) {
      OldPresetSpec shape = OldTypicalPreset("trk", 1, 2);
      shape.BackgroundCode = noise ? -3 : 100;
      int old = c.Type == 3 ? 6 + 5 + 4 : 6 + 5 + 3;
      OldParamSpec& prm = shape.Segments[0].Params[static_cast<size_t>(old)];
      prm = OldRamp(10, 20);
      prm.Tracking = 1;
      prm.Type = static_cast<uint8_t>(c.Type);
      prm.Mode = 1;
      for (int a = 0; a < 4; ++a)
        for (int t = 0; t < 11; ++t) prm.Setting[a][t] = 1000 * a + t + 1;
      OwnedPresets out;
      const Preset& p = ConvertOne(out, shape);
      const Param& d = ParamOf(p, 0, c.Type == 3 ? VoicePidOf(1, VP_MODPERIOD) : VoicePidOf(1, VP_MODDEPTH));
      EXPECT_EQ(d.Tracking, 1) << c.Type;
      EXPECT_EQ(d.TrackSource, noise ? c.NoisePid : c.Pid) << c.Type;
      EXPECT_EQ(d.Intercept, c.Type + 1);
      EXPECT_EQ(d.Slope, 1000 + c.Type + 1);
      EXPECT_EQ(d.MinLimit, 2000 + c.Type + 1);
      EXPECT_EQ(d.MaxLimit, 3000 + c.Type + 1);
      EXPECT_EQ(d.TrackingMode, 1);
      EXPECT_EQ(d.ChannelMode, 0);
      EXPECT_EQ(d.EasySel, 0);
    }
  }
}

TEST(OldMap, SegmentWideParametersTrackTheFirstVoice) {
  OldPresetSpec shape = OldTypicalPreset("sw", 1, 3);
  shape.BackgroundCode = 100;
  OldParamSpec& prm = shape.Segments[0].Params[1];
  prm = OldRamp(5, 6);
  prm.Tracking = 1;
  prm.Type = 2;  // pitch
  OwnedPresets out;
  EXPECT_EQ(ParamOf(ConvertOne(out, shape), 0, PID_BGPARAM).TrackSource, VoicePidOf(0, VP_PITCH));
}

TEST(OldMap, TrackedValuesAreRecomputed) {
  // The depth tracks the beat at twice its value: 15 Hz -> 30 %, 5 Hz -> 10 %.
  OldPresetSpec shape = OldTypicalPreset("rec");
  OldParamSpec& depth = shape.Segments[0].Params[9];
  depth = OldRamp(1, 2);
  depth.Tracking = 1;
  depth.Type = 0;
  depth.Setting[OLD_SLOPE][0] = 2000;
  depth.Setting[OLD_MAXLIMIT][0] = 100;
  OwnedPresets out;
  const Preset& p = ConvertOne(out, shape);
  EXPECT_EQ(Values(ParamOf(p, 0, VoicePidOf(0, VP_MODDEPTH))), (std::vector<int32_t>{3000, 1000}));
  EXPECT_EQ(Values(ParamOf(p, 0, VoicePidOf(0, VP_MODDEPTH) + 1)), (std::vector<int32_t>{3000, 1000}));
  // The pitch keeps its own curve; its right channel follows it.
  EXPECT_EQ(Values(ParamOf(p, 0, VoicePidOf(0, VP_PITCH) + 1)), (std::vector<int32_t>{20000, 15000}));
}

TEST(OldMap, TypeWithoutSettingsStopsTracking) {
  OldPresetSpec shape = OldTypicalPreset("t11");
  OldParamSpec& pitch = shape.Segments[0].Params[8];
  pitch = OldRamp(300, 100);
  pitch.Tracking = 1;
  pitch.Type = 11;
  pitch.Mode = 4;
  OwnedPresets out;
  const Param& d = ParamOf(ConvertOne(out, shape), 0, VoicePidOf(0, VP_PITCH));
  EXPECT_EQ(d.Tracking, 0);
  EXPECT_EQ(d.TrackSource, VoicePidOf(0, VP_BEAT));
  EXPECT_EQ(d.Slope, 50000);  // the default settings
  EXPECT_EQ(d.TrackingMode, 4);
  EXPECT_EQ(Values(d), (std::vector<int32_t>{30000, 10000}));
}

TEST(OldMap, TrackingLoopsAreBroken) {
  // Beat tracks pitch and pitch tracks beat; the background volume tracks
  // itself.
  OldPresetSpec shape = OldTypicalPreset("loop");
  auto& prm = shape.Segments[0].Params;
  prm[6].Tracking = 1;
  prm[6].Type = 2;
  prm[6].Setting[OLD_SLOPE][2] = 1000;
  prm[6].Setting[OLD_MAXLIMIT][2] = 1000;
  prm[8].Tracking = 1;
  prm[8].Type = 0;
  prm[8].Setting[OLD_SLOPE][0] = 50000;
  prm[8].Setting[OLD_MAXLIMIT][0] = 20000;
  prm[0] = OldRamp(50, 60);
  prm[0].Tracking = 1;
  prm[0].Type = 5;
  OwnedPresets out;
  const Preset& p = ConvertOne(out, shape);
  const Param* params = SegParams(p, 0);
  // The lower pid of each loop keeps its own curve.
  EXPECT_EQ(params[VoicePidOf(0, VP_BEAT)].Tracking, 0);
  EXPECT_EQ(params[VoicePidOf(0, VP_PITCH)].Tracking, 1);
  EXPECT_EQ(params[PID_BGVOLUME].Tracking, 0);
  EXPECT_EQ(Values(params[PID_BGVOLUME]), (std::vector<int32_t>{5000, 6000}));
  EXPECT_EQ(Values(params[VoicePidOf(0, VP_PITCH)]), (std::vector<int32_t>{75000, 25000}));
  for (int pid = 0; pid < SegParamCount(p.data.Segment[0]); ++pid)
    EXPECT_FALSE(params[pid].Tracking && ChainReaches(params, p.data.Segment[0], pid, params[pid].TrackSource)) << pid;
}

TEST(OldMap, VoiceFlagsAndWaveforms) {
  OldPresetSpec shape = OldTypicalPreset("wave", 1, 4);
  OldSegmentSpec& seg = shape.Segments[0];
  seg.VoiceFlag[1] = 1;
  seg.VoiceFlag[3] = 10;
  // Codes 1..5 map to easy selections; 0 and codes the old program did not
  // write keep the sine wave.
  uint8_t codes[4] = {1, 5, 0, 9};
  std::memcpy(seg.Waveform, codes, 4);
  OwnedPresets out;
  const Preset& p = ConvertOne(out, shape);
  int expectWave[4] = {2, 7, 1, 1};
  for (int v = 0; v < 4; ++v) {
    const Param& phase = ParamOf(p, 0, VoicePidOf(v, VP_MODPHASE));
    bool flagged = v == 1 || v == 3;
    EXPECT_EQ(phase.EasySel, flagged ? 15 : 12) << v;
    EXPECT_EQ(Values(phase), (std::vector<int32_t>(2, flagged ? 18000 : 0))) << v;
    EXPECT_EQ(phase.TrackSource, VoicePidOf(v, VP_BEAT));
    const Param& wave = ParamOf(p, 0, VoicePidOf(v, VP_WAVEFORM));
    EXPECT_EQ(wave.EasySel, expectWave[v]) << v;
    EXPECT_EQ(wave.TrackSource, VoicePidOf(v, VP_BEAT));
    EXPECT_EQ(wave.Tracking, 0);
    int32_t value = 0;
    ASSERT_TRUE(EasySelectionValue(BackgroundParamRow{}, PN_WAVEFORM, expectWave[v], &value));
    EXPECT_EQ(Values(wave), (std::vector<int32_t>(2, value))) << v;
    const Param& right = ParamOf(p, 0, VoicePidOf(v, VP_WAVEFORM) + 1);
    EXPECT_EQ(right.Tracking, 1);
    EXPECT_EQ(Values(right), Values(wave)) << v;
  }
  // Each of the five codes.
  int easy[6] = {1, 2, 3, 5, 6, 7};
  for (int code = 1; code <= 5; ++code) {
    OldPresetSpec one = OldTypicalPreset("code");
    one.Segments[0].Waveform[0] = static_cast<uint8_t>(code);
    OwnedPresets o;
    EXPECT_EQ(ParamOf(ConvertOne(o, one), 0, VoicePidOf(0, VP_WAVEFORM)).EasySel, easy[code]) << code;
  }
}

TEST(OldMap, EasySelectionClearsTrackingModeAndChannelMode) {
  OldPresetSpec shape = OldTypicalPreset("clear");
  shape.Segments[0].VoiceFlag[0] = 1;
  shape.Segments[0].Waveform[0] = 3;
  OwnedPresets out;
  const Preset& p = ConvertOne(out, shape);
  for (int pid : {VoicePidOf(0, VP_MODPHASE), VoicePidOf(0, VP_WAVEFORM)}) {
    EXPECT_EQ(ParamOf(p, 0, pid).TrackingMode, 0);
    EXPECT_EQ(ParamOf(p, 0, pid).ChannelMode, 0);
    EXPECT_EQ(ParamOf(p, 0, pid).NumNodes, 2);
  }
}

TEST(OldMap, SegmentsConvertIndependently) {
  OldPresetSpec shape = OldTypicalPreset("segs", 3, 1);
  shape.Segments[1] = OldTypicalSegment(4, 20);
  shape.Segments[1].Waveform[3] = 2;
  shape.Segments[2].Params[6] = OldRamp(777, 888);
  OwnedPresets out;
  const Preset& p = ConvertOne(out, shape);
  EXPECT_EQ(p.data.Segment[1].NumVoices, 4);
  EXPECT_EQ(p.data.Segment[1].Length, 2000);
  EXPECT_EQ(ParamOf(p, 1, VoicePidOf(3, VP_WAVEFORM)).EasySel, 3);
  EXPECT_EQ(Values(ParamOf(p, 1, VoicePidOf(3, VP_BEAT))), (std::vector<int32_t>{18000, 8000}));
  EXPECT_EQ(Values(ParamOf(p, 2, VoicePidOf(0, VP_BEAT))), (std::vector<int32_t>{7770, 8880}));
  EXPECT_EQ(Values(ParamOf(p, 0, VoicePidOf(0, VP_BEAT))), (std::vector<int32_t>{15000, 5000}));
}

}  // namespace
