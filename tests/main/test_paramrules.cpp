// The rules of the parameter pages: which parameters are in use and what a
// pane shows, captions and name lines, every Easy choice's value and extra
// effects, and separating and joining channels.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "common/checks.h"
#include "main/arith.h"
#include "main/paramrules.h"
#include "main/preset.h"
#include "main/presetedit.h"

namespace {

struct Built {
  Preset p{};
  BackgroundParamRow bg;  // the preset's row 6
  explicit Built(int voices = 1) {
    NewDefaultPreset(p);
    for (int v = 1; v < voices; ++v) AddVoice(p, 0, 0, EditRules{false, 3, {}});
  }
  ~Built() { FreePreset(p); }
  Param* params() { return SegParams(p, 0); }
  Segment& seg() { return p.data.Segment[0]; }
  Param& At(int pid) { return params()[pid]; }
  Param& Of(int voice, int n) { return params()[PARAMID(voice, n)]; }
};

int32_t Wave(int low, int high) { return static_cast<int32_t>((uint32_t(high) << 16) | uint32_t(low)); }

TEST(ParamRules, WhichParametersAreInUse) {
  struct Case {
    const char* What;
    std::function<void(Built&)> Set;
    int ParamNum;
    bool InUse;
  };
  const Case cases[] = {
      {"filter of a sine wave", [](Built&) {}, PN_FILTER, false},
      {"filter of a triangle", [](Built& b) { b.Of(0, PN_WAVEFORM).EasySel = 3; }, PN_FILTER, true},
      {"filter of a drawn wave", [](Built& b) { b.Of(0, PN_WAVEFORM).EasySel = 0; }, PN_FILTER, true},
      {"sound modulation period without depth", [](Built&) {}, PN_SNDMODPERIOD, false},
      {"sound modulation phase, half depth", [](Built& b) { b.Of(0, PN_SNDMODDEPTH).EasySel = 17; }, PN_SNDMODPHASE,
       true},
      {"background modulation phase without depth", [](Built&) {}, PN_BGMODPHASE, false},
      {"visual modulation period without depth", [](Built&) {}, PN_VISMODPERIOD, false},
      {"second colour's period, full depth", [](Built& b) { b.Of(0, PN_VISMOD2DEPTH).EasySel = 25; }, PN_VISMOD2PERIOD,
       true},
      {"noise period without modulation", [](Built&) {}, PN_NOISEMODPERIOD, false},
      {"noise period with ocean waves", [](Built& b) { b.Of(0, PN_NOISEMODDEPTH).EasySel = 21; }, PN_NOISEMODPERIOD,
       false},
      {"noise phase, drawn depth", [](Built& b) { b.Of(0, PN_NOISEMODDEPTH).EasySel = 0; }, PN_NOISEMODPHASE, true},
      {"noise colour without noise", [](Built&) {}, PN_NOISESMOOTH, false},
      {"noise colour with noise", [](Built& b) { b.Of(0, PN_NOISEVOL).EasySel = 45; }, PN_NOISESMOOTH, true},
      {"background phase, no background", [](Built&) {}, PN_BGPHASE, false},
      {"background phase, a file", [](Built& b) { b.p.data.Background = AMBIX_OTHER; }, PN_BGPHASE, true},
      {"background parameter, no background", [](Built&) {}, PN_BGPARAM, false},
      {"background interval of a file",
       [](Built& b) {
         b.p.data.Background = AMBIX_OTHER;
         b.bg.Row = ParamDefSpare[1];
       },
       PN_BGPARAM, true},
      {"a library sound without a parameter",
       [](Built& b) {
         b.p.data.Background = 0;
         b.bg.Row = ParamDefSpare[0];
       },
       PN_BGPARAM, false},
      {"background volume, no background", [](Built&) {}, PN_BGVOLUME, true},
  };
  for (const Case& c : cases) {
    Built b;
    c.Set(b);
    EXPECT_EQ(ParamInUse(b.bg, b.params(), b.p, 0, c.ParamNum), c.InUse) << c.What;
    EXPECT_EQ(PaneContents(b.bg, b.params(), b.p, 0, c.ParamNum).InUse, c.InUse) << c.What;
  }
}

TEST(ParamRules, WhatAPaneShows) {
  Built b(2);
  // An Easy choice: only the combo box.
  PaneView v = PaneContents(BackgroundParamRow{}, b.params(), b.p, 1, PN_VOLUME);
  EXPECT_TRUE(v.Easy && !v.Chart && !v.Separate && !v.Track);
  EXPECT_TRUE(v.Modulation);
  EXPECT_EQ(v.EasySel, 42);
  EXPECT_EQ(v.Pid, VoicePidOf(1, VP_VOLUME));
  // A choice the table does not know is shown as a curve.
  b.Of(1, PN_VOLUME).EasySel = 99;
  EXPECT_TRUE(PaneContents(BackgroundParamRow{}, b.params(), b.p, 1, PN_VOLUME).Chart);
  // User-defined: the chart with every control but the radios.
  b.Of(1, PN_VOLUME).EasySel = 0;
  v = PaneContents(BackgroundParamRow{}, b.params(), b.p, 1, PN_VOLUME);
  EXPECT_TRUE(v.Easy && v.Chart && v.Separate && v.Track && !v.Radios && !v.TrackList && !v.ReadOnly);
  // Separate, right shown: the right record, the radios.
  b.Of(1, PN_VOLUME).ChannelMode = 2;
  v = PaneContents(BackgroundParamRow{}, b.params(), b.p, 1, PN_VOLUME);
  EXPECT_TRUE(v.Radios);
  EXPECT_EQ(v.Channel, 2);
  EXPECT_EQ(v.Pid, VoicePidOf(1, VP_VOLUME) + 1);
  // The pitch tracks the beat: read-only with its destination list; the
  // beat has neither "Track:" nor Easy choices.
  v = PaneContents(BackgroundParamRow{}, b.params(), b.p, 0, PN_PITCH);
  EXPECT_TRUE(v.Chart && !v.Easy && v.Track && v.TrackList && v.ReadOnly && !v.Modulation);
  v = PaneContents(BackgroundParamRow{}, b.params(), b.p, 0, PN_BEAT);
  EXPECT_TRUE(v.Chart && !v.Track && !v.Separate && !v.ReadOnly && !v.Derived);
  // Separate pitches make the beat their difference.
  b.Of(0, PN_PITCH).ChannelMode = 1;
  v = PaneContents(BackgroundParamRow{}, b.params(), b.p, 0, PN_BEAT);
  EXPECT_TRUE(v.Derived && v.ReadOnly);
  // Background Volume is there but disabled without a background.
  EXPECT_FALSE(PaneContents(BackgroundParamRow{}, b.params(), b.p, 0, PN_BGVOLUME).Enabled);
  b.p.data.Background = AMBIX_OTHER;
  EXPECT_TRUE(PaneContents(BackgroundParamRow{}, b.params(), b.p, 0, PN_BGVOLUME).Enabled);
  // The Visual tab's bottom pane opens the second colour's modulation.
  EXPECT_EQ(ModulationOfPane(PN_VISPHASE), PN_VISMOD2DEPTH);
  EXPECT_EQ(ModulationOfPane(PN_VISFREQ), -1);
}

TEST(ParamRules, ModulationButtonFollowsTheDepth) {
  for (int depth : {PN_SNDMODDEPTH, PN_BGMODDEPTH, PN_VISMODDEPTH, PN_VISMOD2DEPTH, PN_NOISEMODDEPTH}) {
    Built b(2);
    for (int v = 0; v < 2; ++v)
      for (int c = 0; c < 2; ++c) {
        Param& q = b.At(PARAMID(v, depth) + c);
        for (int i = 0; i < q.NumNodes; ++i) q.Node[i].Value = 0;
      }
    EXPECT_FALSE(ModulationOn(b.params(), 1, depth)) << depth;
    // The right channel's last node alone, in voice 2, is enough.
    Param& right = b.At(PARAMID(1, depth) + 1);
    right.Node[right.NumNodes - 1].Value = 1;
    EXPECT_TRUE(ModulationOn(b.params(), 1, depth)) << depth;
    // The sound modulation is the voice's own; the others the segment's.
    EXPECT_EQ(ModulationOn(b.params(), 0, depth), depth != PN_SNDMODDEPTH) << depth;
  }
  EXPECT_EQ(ModulationButtonText(0, false), "Mo&dulation (OFF)...");
  EXPECT_EQ(ModulationButtonText(1, true), "&Modulation (ON)...");
  EXPECT_EQ(ModulationButtonText(2, true), "M&odulation (ON)...");
}

TEST(ParamRules, TabCaptionsAndNameLines) {
  struct Caption {
    int Tab, Segments, Voices;
    const char* Text;
  };
  const Caption captions[] = {
      {1, 2, 2, "B(2): Sound"},   {2, 1, 2, "2: Waveform"}, {1, 2, 1, "B: Sound"},  {1, 1, 1, "Sound"},
      {3, 2, 2, "B: Background"}, {4, 1, 3, "Noise"},       {5, 3, 1, "B: Visual"}, {0, 3, 3, "General"},
  };
  const char* const names[] = {"General", "Sound", "Waveform", "Background", "Noise", "Visual"};
  for (const Caption& c : captions)
    EXPECT_EQ(TabCaption(c.Tab, names[c.Tab], "B", "2", c.Segments, c.Voices), c.Text) << c.Text;

  struct Line {
    int ParamNum, Voice, Voices, Channel;
    const char* Text;
  };
  const Line lines[] = {
      {PN_PITCH, 0, 1, 0, "Name"},          {PN_PITCH, 2, 3, 0, "Name (Voice 3)"},
      {PN_PITCH, 0, 1, 2, "Name: Right"},   {PN_PITCH, 1, 2, 1, "Name (Voice 2): Left"},
      {PN_NOISEVOL, 1, 2, 1, "Name: Left"},  // a segment parameter belongs to no voice
  };
  for (const Line& l : lines) EXPECT_EQ(PaneNameLine("Name", l.ParamNum, l.Voice, l.Voices, l.Channel), l.Text);
}

TEST(ParamRules, EasyListsKeepTheTableOrder) {
  EXPECT_EQ(EasyChoices(9), (std::vector<int>{32, 33, 35, 34, 36, 0}));
  EXPECT_EQ(EasyChoices(12), (std::vector<int>{46, 44, 45, 0}));
  EXPECT_EQ(EasyChoices(1), (std::vector<int>{1, 2, 31, 3, 4, 5, 6, 7, 0}));
  EXPECT_TRUE(EasyChoices(0).empty());
}

// Every choice gives a constant curve of its value on joined channels.
TEST(ParamRules, EveryEasyChoiceSetsItsValue) {
  struct Case {
    int ParamNum, EasySel;
    int32_t Stored;  // the value every node takes
  };
  // Stored units: display value x 10^Digits.
  const Case cases[] = {
      {PN_WAVEFORM, 1, Wave(500, 500)},
      {PN_WAVEFORM, 2, Wave(500, 250)},
      {PN_WAVEFORM, 31, Wave(500, 0)},
      {PN_WAVEFORM, 3, Wave(0, 500)},
      {PN_WAVEFORM, 4, Wave(0, 500)},
      {PN_WAVEFORM, 5, Wave(1000, 500)},
      {PN_WAVEFORM, 6, Wave(870, 500)},
      {PN_WAVEFORM, 7, Wave(750, 500)},
      {PN_FILTER, 8, 2000},
      {PN_FILTER, 9, 120},
      {PN_FILTER, 10, 220},
      {PN_FILTER, 11, 320},
      {PN_VISPHASE, 12, 0},
      {PN_VISPHASE, 13, 9000},
      {PN_SNDMODPHASE, 14, -9000},
      {PN_BGMODPHASE, 15, 18000},
      {PN_SNDMODDEPTH, 16, 0},
      {PN_SNDMODDEPTH, 18, 10000},
      {PN_BGMODDEPTH, 17, 5000},
      {PN_NOISEMODDEPTH, 19, 0},
      {PN_NOISEMODDEPTH, 20, 9000},
      {PN_NOISEMODDEPTH, 21, 9000},
      {PN_NOISEMODDEPTH, 22, 9000},
      {PN_VISMODDEPTH, 23, 0},
      {PN_VISMOD2DEPTH, 25, 10000},
      {PN_VISMODDEPTH, 24, 5000},
      {PN_NOISESMOOTH, 26, 0},
      {PN_NOISESMOOTH, 27, 5000},
      {PN_NOISESMOOTH, 28, 8000},
      {PN_BGPHASE, 32, 0},
      {PN_BGPHASE, 33, 10000},
      {PN_BGPHASE, 34, -10000},
      {PN_BGPHASE, 35, 25000},
      {PN_BGPHASE, 36, -25000},
      {PN_BGPARAM, 37, 0},
      {PN_BGPARAM, 38, 500},
      {PN_BGPARAM, 39, 1000},
      {PN_BGPARAM, 40, 1500},
      {PN_BGPARAM, 41, 2000},
      {PN_VOLUME, 42, 10000},
      {PN_BGVOLUME, 43, 5000},
      {PN_VOLUME, 50, 0},
      {PN_NOISEVOL, 44, 10000},
      {PN_NOISEVOL, 45, 5000},
      {PN_NOISEVOL, 46, 0},
      {PN_VISBRIGHT, 47, 10000},
      {PN_VISBRIGHT2, 48, 5000},
      {PN_VISBRIGHT, 49, 0},
  };
  for (int nodes : {2, 3}) {
    for (const Case& c : cases) {
      Built b(2);
      b.bg.Row = ParamDefSpare[1];  // "Background Interval", group 10
      const int pid = PARAMID(1, c.ParamNum);
      // A drawn, separated, tracking curve before the choice.
      Param& q = b.At(pid);
      q.EasySel = 0;
      q.NumNodes = 4;
      q.Tracking = 1;
      q.ChannelMode = 2;
      ApplyEasyChoice(b.bg, b.params(), b.seg(), 1, c.ParamNum, c.EasySel, nodes);
      EXPECT_EQ(q.EasySel, c.EasySel) << c.EasySel;
      EXPECT_EQ(q.Tracking, 0) << c.EasySel;
      EXPECT_EQ(q.ChannelMode, 0) << c.EasySel;
      ASSERT_EQ(q.NumNodes, nodes) << c.EasySel;
      for (int i = 0; i < nodes; ++i) {
        EXPECT_EQ(q.Node[i].Value, c.Stored) << c.EasySel << " node " << i;
        EXPECT_EQ(q.Node[i].SweepTime, 10000 / (nodes - 1) * i);
        EXPECT_EQ(q.Node[i].Weight, 10);
        EXPECT_EQ(q.Node[i].Symmetric, 1);
      }
      if (ParamRowOf(b.bg, c.ParamNum).Channels == 2) {
        // The right channel follows one to one.
        const Param& r = b.At(pid + 1);
        EXPECT_EQ(r.Tracking, 1) << c.EasySel;
        EXPECT_EQ(r.TrackSource, pid);
        EXPECT_EQ(r.Slope, 1000);
        EXPECT_EQ(r.Node[nodes - 1].Value, c.Stored) << c.EasySel;
      }
    }
  }
}

TEST(ParamRules, TheWaveformRuleSetsTheFilter) {
  struct Case {
    int FilterBefore;  // the filter's EasySel before (0: drawn)
    int Choice;
    int FilterAfter;  // -1: untouched
  };
  const Case cases[] = {
      {0, 4, 11},   // filtered triangle: three harmonics, even over a drawn filter
      {0, 1, 8},    // sine: no filtering
      {0, 3, -1},   // a drawn filter stays for other waves
      {9, 3, 8},    // a filter from the list goes back to no filtering
      {10, 31, 8},  //
      {8, 4, 11},   //
  };
  for (const Case& c : cases) {
    Built b;
    Param& filter = b.Of(0, PN_FILTER);
    filter.EasySel = static_cast<uint8_t>(c.FilterBefore);
    filter.Node[0].Value = 777;
    std::vector<int> changed = ApplyEasyChoice(BackgroundParamRow{}, b.params(), b.seg(), 0, PN_WAVEFORM, c.Choice, 3);
    if (c.FilterAfter < 0) {
      EXPECT_EQ(filter.Node[0].Value, 777) << c.Choice;
      EXPECT_EQ(changed, std::vector<int>{PARAMID(0, PN_WAVEFORM)});
      continue;
    }
    EXPECT_EQ(filter.EasySel, c.FilterAfter) << c.Choice;
    EXPECT_EQ(filter.Node[1].Value, c.FilterAfter == 11 ? 320 : 2000) << c.Choice;
    // The waveform is propagated before the filter.
    EXPECT_EQ(changed, (std::vector<int>{PARAMID(0, PN_WAVEFORM), PARAMID(0, PN_FILTER)}));
  }
  // "Sine wave" takes the filter out of use; "Filtered triangular wave" shows it.
  Built b;
  ApplyEasyChoice(BackgroundParamRow{}, b.params(), b.seg(), 0, PN_WAVEFORM, 4, 3);
  EXPECT_TRUE(ParamInUse(BackgroundParamRow{}, b.params(), b.p, 0, PN_FILTER));
  ApplyEasyChoice(BackgroundParamRow{}, b.params(), b.seg(), 0, PN_WAVEFORM, 1, 3);
  EXPECT_FALSE(ParamInUse(BackgroundParamRow{}, b.params(), b.p, 0, PN_FILTER));
}

TEST(ParamRules, OceanWavesSetPeriodAndPhase) {
  const int32_t periods[3] = {3000000, 2000000, 1250000};  // 3000 / 2000 / 1250 ms
  for (int sel = 20; sel <= 22; ++sel) {
    Built b;
    Param& period = b.At(PID_NOISEMODPERIOD);
    Param& phase = b.At(PID_NOISEMODPHASE);
    period.ChannelMode = 1;
    b.At(PID_NOISEMODPERIOD + 1).Tracking = 0;
    b.At(PID_NOISEMODPERIOD + 1).Node[0].Value = 5;
    phase.EasySel = 15;
    std::vector<int> changed = ApplyEasyChoice(BackgroundParamRow{}, b.params(), b.seg(), 0, PN_NOISEMODDEPTH, sel, 3);
    EXPECT_EQ(changed, (std::vector<int>{PID_NOISEMODDEPTH, PID_NOISEMODPERIOD, PID_NOISEMODPHASE}));
    EXPECT_EQ(b.At(PID_NOISEMODDEPTH).Node[1].Value, 9000);
    EXPECT_EQ(period.EasySel, 0);
    EXPECT_EQ(period.ChannelMode, 0);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(period.Node[i].Value, periods[sel - 20]) << sel;
      EXPECT_EQ(b.At(PID_NOISEMODPERIOD + 1).Node[i].Value, periods[sel - 20]) << sel;  // both ears
      EXPECT_EQ(phase.Node[i].Value, 0);
    }
    EXPECT_EQ(phase.EasySel, 12);
    EXPECT_FALSE(ParamInUse(BackgroundParamRow{}, b.params(), b.p, 0, PN_NOISEMODPERIOD));
    EXPECT_FALSE(ParamInUse(BackgroundParamRow{}, b.params(), b.p, 0, PN_NOISEMODPHASE));
  }
  // "No modulation" leaves period and phase as they are but propagates them.
  Built b;
  b.At(PID_NOISEMODPHASE).EasySel = 15;
  EXPECT_EQ(ApplyEasyChoice(BackgroundParamRow{}, b.params(), b.seg(), 0, PN_NOISEMODDEPTH, 19, 3),
            (std::vector<int>{PID_NOISEMODDEPTH, PID_NOISEMODPERIOD, PID_NOISEMODPHASE}));
  EXPECT_EQ(b.At(PID_NOISEMODPHASE).EasySel, 15);
}

TEST(ParamRules, UserDefinedKeepsTheConstantCurve) {
  Built b;
  ApplyEasyChoice(BackgroundParamRow{}, b.params(), b.seg(), 0, PN_VOLUME, 43, 3);
  EXPECT_TRUE(ApplyEasyChoice(BackgroundParamRow{}, b.params(), b.seg(), 0, PN_VOLUME, 0, 3).empty());
  const Param& q = b.Of(0, PN_VOLUME);
  EXPECT_EQ(q.EasySel, 0);
  EXPECT_EQ(q.Node[0].Value, 5000);
  EXPECT_EQ(q.Node[2].Value, 5000);
  EXPECT_TRUE(PaneContents(BackgroundParamRow{}, b.params(), b.p, 0, PN_VOLUME).Chart);
}

TEST(ParamRules, AChoiceOutsideTheGroupIsRefused) {
  Built b;
  ExpectCheckFailures cap;
  EXPECT_TRUE(
      ApplyEasyChoice(BackgroundParamRow{}, b.params(), b.seg(), 0, PN_VOLUME, 44, 3).empty());  // a noise-volume row
  EXPECT_EQ(b.Of(0, PN_VOLUME).EasySel, 42);
  EXPECT_TRUE(cap.Saw("EasySel"));
}

TEST(ParamRules, SeparatingThePitchEndsTrackingOfTheBeat) {
  Built b(2);
  const int beat = PARAMID(0, PN_BEAT), pitch = PARAMID(0, PN_PITCH);
  // Voice 0's volume and the visual frequency follow voice 0's beat; voice
  // 1's pitch follows its own beat and stays.
  b.At(pitch + 1).Node[1].Value = 12345;  // the right pitch as it was computed
  b.Of(0, PN_VOLUME).Tracking = 1;
  b.Of(0, PN_VOLUME).TrackSource = static_cast<uint8_t>(beat);
  std::vector<int> stopped = SeparateChannels(BackgroundParamRow{}, b.params(), b.seg(), 0, PN_PITCH);
  EXPECT_EQ(stopped, (std::vector<int>{PID_VISFREQ, pitch, PARAMID(0, PN_VOLUME)}));
  EXPECT_EQ(b.At(pitch).ChannelMode, 1);
  EXPECT_EQ(b.At(pitch + 1).Tracking, 0);
  EXPECT_EQ(b.At(pitch + 1).Node[1].Value, 12345);  // keeps its values
  EXPECT_EQ(b.Of(1, PN_PITCH).Tracking, 1);
  // A destination chain through the beat now runs through both pitches.
  EXPECT_TRUE(ChainReaches(b.params(), b.seg(), pitch + 1, beat));
}

TEST(ParamRules, JoiningMakesTheRightChannelFollowTheLeft) {
  struct Case {
    const char* What;
    bool LeftTracksRight;  // the left channel followed the right one (a loop once joined)
  };
  for (const Case& c : {Case{"plain", false}, Case{"left followed right", true}}) {
    Built b;
    const int vol = PARAMID(0, PN_VOLUME);
    SeparateChannels(BackgroundParamRow{}, b.params(), b.seg(), 0, PN_VOLUME);
    ShowChannel(b.params(), 0, PN_VOLUME, 2);
    b.At(vol).Node[0].Value = 2500;
    b.At(vol + 1).Node[0].Value = 7000;
    b.At(vol + 1).Intercept = 77;
    if (c.LeftTracksRight) {
      b.At(vol).Tracking = 1;
      b.At(vol).TrackSource = static_cast<uint8_t>(vol + 1);
    }
    // Something following the right channel follows it still.
    b.At(PID_BGVOLUME).Tracking = 1;
    b.At(PID_BGVOLUME).TrackSource = static_cast<uint8_t>(vol + 1);
    b.At(PID_BGVOLUME).Slope = 1000;
    JoinChannels(BackgroundParamRow{}, b.params(), b.seg(), 0, PN_VOLUME);
    const Param& r = b.At(vol + 1);
    EXPECT_EQ(b.At(vol).ChannelMode, 0) << c.What;
    EXPECT_EQ(b.At(vol).Tracking, 0) << c.What;
    EXPECT_EQ(r.Tracking, 1);
    EXPECT_EQ(r.TrackSource, vol);
    EXPECT_EQ(r.Intercept, 0);
    EXPECT_EQ(r.Slope, 1000);
    EXPECT_EQ(r.MinLimit, ParamDef[PN_VOLUME].Min);
    EXPECT_EQ(r.MaxLimit, ParamDef[PN_VOLUME].Max);
    const int32_t left0 = b.At(vol).Node[0].Value;
    EXPECT_EQ(r.Node[0].Value, left0) << c.What;
    EXPECT_EQ(b.At(PID_BGVOLUME).Node[0].Value, left0) << c.What;
  }
}

TEST(ParamRules, SeparateNoiseColoursLeaveTheHead) {
  Built b;
  b.seg().NoiseInsideHead = 1;
  SeparateChannels(BackgroundParamRow{}, b.params(), b.seg(), 0, PN_VOLUME);
  EXPECT_EQ(b.seg().NoiseInsideHead, 1);
  SeparateChannels(BackgroundParamRow{}, b.params(), b.seg(), 0, PN_NOISESMOOTH);
  EXPECT_EQ(b.seg().NoiseInsideHead, 0);
}

}  // namespace

namespace {

TEST(ParamTracking, TheTrackListOffers) {
  struct Case {
    const char* What;
    int ParamNum;
    std::function<void(Built&)> Set;
    std::vector<int> Pids;  // voice 1's (base 50)
  };
  const int B = VoicePidOf(1, 0);
  const Case cases[] = {
      {"sound volume", PN_VOLUME, [](Built&) {}, {B, B + 1}},
      {"waveform", PN_WAVEFORM, [](Built&) {}, {B, B + 1, B + 3, B + 7}},
      {"filter", PN_FILTER, [](Built&) {}, {B, B + 1, B + 3, B + 5}},
      {"beat", PN_BEAT, [](Built&) {}, {B + 1, B + 3}},
      {"background parameter", PN_BGPARAM, [](Built&) {}, {B, B + 1, B + 3, PID_BGVOLUME, PID_BGPHASE}},
      {"background phase", PN_BGPHASE, [](Built&) {}, {B, B + 1, B + 3, PID_BGVOLUME}},
      {"visual frequency", PN_VISFREQ, [](Built&) {}, {B, B + 1, B + 3, PID_VISBRIGHT, PID_VISBRIGHT2}},
      {"second brightness", PN_VISBRIGHT2, [](Built&) {}, {B, B + 1, B + 3, PID_VISFREQ, PID_VISBRIGHT}},
      {"separate pitches: no beat, both pitches",
       PN_VISPHASE,
       [](Built& b) { b.Of(1, PN_PITCH).ChannelMode = 1; },
       {B + 1, B + 2, B + 3}},
      {"separate volumes", PN_NOISEVOL, [](Built& b) { b.Of(1, PN_VOLUME).ChannelMode = 2; }, {B, B + 1, B + 3, B + 4}},
  };
  for (const Case& c : cases) {
    Built b(2);
    c.Set(b);
    EXPECT_EQ(TrackDestinations(b.params(), 1, c.ParamNum), c.Pids) << c.What;
  }
  Built b(2);
  b.Of(0, PN_VOLUME).ChannelMode = 1;
  EXPECT_EQ(DestinationName(b.params(), VoicePidOf(0, VP_VOLUME) + 1, 1), "Sound Volume (Voice 1): Right");
  EXPECT_EQ(DestinationName(b.params(), B + 1, 1), "Audible Pitch");
}

TEST(ParamTracking, TrackBoxKeepsOrFindsADestination) {
  const int vol = PARAMID(0, PN_VOLUME), beat = PARAMID(0, PN_BEAT);
  struct Case {
    const char* What;
    int Pid;
    std::function<void(Built&)> Set;
    int Result, Dest;
  };
  const Case cases[] = {
      {"the stored destination", vol, [](Built&) {}, 0, beat},
      {"a stored one that depends on it: the first possible", vol,
       [=](Built& b) {
         b.At(beat).Tracking = 1;  // the beat follows the volume; the pitch the beat
         b.At(beat).TrackSource = static_cast<uint8_t>(vol);
       },
       0, PARAMID(0, PN_FILTER)},
      {"a beat while the pitches are separate", PID_BGVOLUME,
       [](Built& b) {
         b.Of(0, PN_PITCH).ChannelMode = 1;
         b.At(PID_BGVOLUME).TrackSource = 36;
       },
       0, 37},
      {"a voice the segment lacks", PID_NOISEVOL, [](Built& b) { b.At(PID_NOISEVOL).TrackSource = 64; }, 0, 36},
      {"everything depends on it", PID_BGVOLUME,
       [](Built& b) {
         for (int pid = NSPAR; pid < NSPAR + NVPAR; ++pid) {
           b.At(pid).Tracking = 1;
           b.At(pid).TrackSource = PID_BGVOLUME;
         }
       },
       1326, -1},
  };
  for (const Case& c : cases) {
    Built b;
    c.Set(b);
    const Param before = b.At(c.Pid);
    EXPECT_EQ(StartTracking(BackgroundParamRow{}, b.params(), b.seg(), 0, c.Pid), c.Result) << c.What;
    if (c.Result == 0) {
      EXPECT_EQ(b.At(c.Pid).Tracking, 1) << c.What;
      EXPECT_EQ(b.At(c.Pid).TrackSource, c.Dest) << c.What;
    } else {
      EXPECT_EQ(b.At(c.Pid).Tracking, before.Tracking) << c.What;
      EXPECT_EQ(b.At(c.Pid).TrackSource, before.TrackSource) << c.What;
    }
  }
}

TEST(ParamTracking, ChoosingADestination) {
  const int beat = PARAMID(0, PN_BEAT), pitch = PARAMID(0, PN_PITCH);
  struct Case {
    const char* What;
    int Pid, Dest;
    std::function<void(Built&)> Set;
    int Result;
  };
  const Case cases[] = {
      {"a deleted voice", PID_NOISEVOL, VoicePidOf(3, 0), [](Built&) {}, 1327},
      {"directly back", beat, PID_VISFREQ, [](Built&) {}, 1280},  // the visual frequency tracks the beat
      {"itself", PID_VISFREQ, PID_VISFREQ, [](Built&) {}, 1280},
      {"through a chain", PID_BGVOLUME, PID_VISFREQ,
       [=](Built& b) {
         b.At(beat).Tracking = 1;
         b.At(beat).TrackSource = PID_BGVOLUME;
       },
       1280},
      {"through the pitches of a derived beat", PID_BGVOLUME, beat,
       [=](Built& b) {
         b.At(pitch).ChannelMode = 1;
         b.At(pitch + 1).Tracking = 1;  // the right pitch follows the background volume
         b.At(pitch + 1).TrackSource = PID_BGVOLUME;
       },
       1280},
      {"a free one", PID_BGVOLUME, pitch, [](Built&) {}, 0},
  };
  for (const Case& c : cases) {
    Built b;
    c.Set(b);
    b.At(c.Pid).Tracking = 1;
    const uint8_t old = b.At(c.Pid).TrackSource;
    EXPECT_EQ(ChooseDestination(BackgroundParamRow{}, b.params(), b.seg(), c.Pid, c.Dest), c.Result) << c.What;
    EXPECT_EQ(b.At(c.Pid).TrackSource, c.Result == 0 ? c.Dest : old) << c.What;
    EXPECT_EQ(b.At(c.Pid).Tracking, c.Result == 1327 ? 0 : 1) << c.What;
  }
}

TEST(ParamTracking, ANewDestinationMapsItsRangeOntoThisOne) {
  struct Case {
    int ParamNum;
    int32_t A1, A2;
    int DestNum;
    int32_t B1, B2;
    int32_t Intercept, Slope;
  };
  const Case cases[] = {
      {PN_VOLUME, 2000, 8000, PN_NOISEVOL, 0, 10000, 20000, 600},  // 20..80 % from 0..100 %
      {PN_VOLUME, 0, 10000, PN_BEAT, 1500, 7000, -27271, 18181},   // 0..100 % from 1.5..7 Hz
      {PN_PITCH, 14000, 14000, PN_BEAT, 5000, 5000, 140000, 0},    // an empty range: flat at a1
      {PN_FILTER, 120, 320, PN_WAVEFORM, 0, 1000, 1200, 20},       // 1.2..3.2 from 0..100 %
      {PN_BGPHASE, -10000, 10000, PN_BGVOLUME, 0, 10000, -100000, 2000},
  };
  for (const Case& c : cases) {
    const TrackCoefficients k = RangeCoefficients(BackgroundParamRow{}, c.ParamNum, c.A1, c.A2, c.DestNum, c.B1, c.B2);
    EXPECT_EQ(k.Slope, c.Slope) << c.ParamNum << " from " << c.DestNum;
    EXPECT_EQ(k.Intercept, c.Intercept) << c.ParamNum << " from " << c.DestNum;
    // And back: the destination's range gives this one's (the direct mode's
    // "from" and "to"), to the rounding of the slope.
    EXPECT_NEAR(MapThroughCoefficients(BackgroundParamRow{}, k, c.ParamNum, c.DestNum, c.B1), c.A1, 1) << c.ParamNum;
    if (c.B1 != c.B2) {
      EXPECT_NEAR(MapThroughCoefficients(BackgroundParamRow{}, k, c.ParamNum, c.DestNum, c.B2), c.A2, 1) << c.ParamNum;
    }
  }
  // Chosen in the list: the volume then spans what it spanned before.
  Built b;
  const int vol = PARAMID(0, PN_VOLUME);
  b.At(vol).EasySel = 0;
  b.At(vol).Node[0].Value = 2000;
  b.At(vol).Node[1].Value = 5000;
  b.At(vol).Node[2].Value = 8000;
  // The stored destination (the beat) keeps its coefficients.
  ASSERT_EQ(ChooseDestination(BackgroundParamRow{}, b.params(), b.seg(), vol, PARAMID(0, PN_BEAT)), 0);
  EXPECT_EQ(b.At(vol).Slope, 6666);
  b.At(vol).Node[0].Value = 2000;
  b.At(vol).Node[1].Value = 5000;
  b.At(vol).Node[2].Value = 8000;
  // The pitch (750, 500, 250 Hz) is a new one.
  ASSERT_EQ(ChooseDestination(BackgroundParamRow{}, b.params(), b.seg(), vol, PARAMID(0, PN_PITCH)), 0);
  EXPECT_EQ(b.At(vol).Node[0].Value, 8000);  // 750 Hz, the top of its range
  EXPECT_EQ(b.At(vol).Node[1].Value, 5000);
  EXPECT_EQ(b.At(vol).Node[2].Value, 2000);
  // The waveform's Z half takes no part in the range.
  int32_t lo, hi;
  Param w{};
  w.NumNodes = 2;
  w.Node[0].Value = Wave(100, 900);
  w.Node[1].Value = Wave(300, 0);
  NodeRangeOf(w, PN_WAVEFORM, &lo, &hi);
  EXPECT_EQ(lo, 100);
  EXPECT_EQ(hi, 300);
}

}  // namespace

namespace {

// The tree as lines: two spaces per level, "*" before a destination's text
// and its pid after it.
void Lines(const std::vector<DestinationItem>& items, int depth, std::vector<std::string>& out) {
  for (const DestinationItem& i : items) {
    std::string line(static_cast<size_t>(2 * depth), ' ');
    line += i.Pid >= 0 ? "*" + i.Text + " " + std::to_string(i.Pid) : i.Text;
    out.push_back(line);
    Lines(i.Children, depth + 1, out);
  }
}

TEST(ParamTracking, TheDestinationTree) {
  Built b(2);
  b.Of(1, PN_PITCH).ChannelMode = 1;  // voice 2: no beat, pitch in two
  b.At(PID_NOISEVOL).ChannelMode = 1;
  std::vector<std::string> lines;
  Lines(DestinationTree(b.params(), b.seg(), PARAMID(0, PN_VOLUME) + 1), 0, lines);  // editing voice 1's volume
  const std::vector<std::string> expected = {
      "Voice 1 Parameters",
      "  *Binaural Beat Frequency 36",
      "  *Audible Pitch 37",
      "  Sound Volume",  // edited: kept only for its modulation
      "    *Sound Modulation Depth 45",
      "    *Sound Modulation Period 47",
      "    *Sound Modulation Phase 49",
      "  *Waveform Filter 43",
      "Voice 2 Parameters",
      "  Audible Pitch",
      "    *Left 51",
      "    *Right 52",
      "  *Sound Volume 53",
      "    *Sound Modulation Depth 59",
      "    *Sound Modulation Period 61",
      "    *Sound Modulation Phase 63",
      "  *Waveform Filter 57",
      "Segment Parameters",
      "  *Background Volume 0",
      "    *Background Modulation Depth 9",
      "    *Background Modulation Period 11",
      "    *Background Modulation Phase 13",
      "  *Background Phase Shift 4",
      "  Noise Volume",
      "    *Left 5",
      "    *Right 6",
      "    *Noise Modulation Depth 30",
      "    *Noise Modulation Period 32",
      "    *Noise Modulation Phase 34",
      "  *Noise Smoothness 7",
      "  *Visual Frequency 14",
      "  *Visual Brightness 16",
      "    *Visual Modulation Depth 20",
      "    *Visual Modulation Period 22",
      "    *Visual Modulation Phase 24",
      "  *Visual Phase Difference 35",
  };
  EXPECT_EQ(lines, expected);
  // A parameter without a modulation is left out when edited.
  lines.clear();
  Lines(DestinationTree(b.params(), b.seg(), PID_NOISESMOOTH), 0, lines);
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "  *Noise Smoothness 7"), 0);
}

}  // namespace
