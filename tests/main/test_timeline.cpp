// The whole preset on one time axis: where each pass of each segment lies,
// the curve sampled into columns as it plays, the time labels.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "main/arith.h"
#include "main/preset.h"
#include "main/presetedit.h"
#include "main/timeline.h"

namespace {

constexpr int BEAT = 36, PITCH = 37, VOLUME = 39;

struct TimelinePreset {
  Preset p{};
  // Segments of the given lengths and repeats, one voice each, no linking.
  TimelinePreset(std::initializer_list<std::pair<int32_t, int32_t>> segs) {
    NewDefaultPreset(p);
    EditRules off{false, 3, {}};
    for (size_t s = 1; s < segs.size(); ++s) AddSegment(p, 0, off);
    int s = 0;
    for (auto [len, rep] : segs) {
      p.data.Segment[s].Length = len;
      p.data.Segment[s++].Repeat = rep;
    }
  }
  ~TimelinePreset() { FreePreset(p); }
  Param& At(int s, int pid) { return SegParams(p, s)[pid]; }
  void Set(int s, int pid, std::initializer_list<Node> nodes) {
    Param& q = At(s, pid);
    q.NumNodes = 0;
    for (const Node& n : nodes) q.Node[q.NumNodes++] = n;
    q.Tracking = 0;
    q.EasySel = 0;
  }
};

TEST(Timeline, EveryTimeFallsInItsSegmentAndPass) {
  // A 10 minutes; B 5 minutes three times; C 2.5 minutes.
  TimelinePreset b({{1000, 1}, {500, 3}, {250, 1}});
  const auto segs = TimelineSegments(b.p);
  ASSERT_EQ(TimelineLength(segs), 2750);
  struct Case {
    int64_t T;
    int Segment, Pass, Time;
  };
  const Case cases[] = {{0, 0, 0, 0},        {999, 0, 0, 9990},  {1000, 1, 0, 0}, {1250, 1, 0, 5000},
                        {1500, 1, 1, 0},     {2499, 1, 2, 9980}, {2500, 2, 0, 0}, {2750, 2, 0, 10000},
                        {9999, 2, 0, 10000}, {-5, 0, 0, 0}};
  for (const Case& c : cases) {
    TimelinePlace at = LocateTimeline(segs, c.T);
    EXPECT_EQ(at.Segment, c.Segment) << c.T;
    EXPECT_EQ(at.Pass, c.Pass) << c.T;
    EXPECT_EQ(at.Time, c.Time) << c.T;
  }
  EXPECT_EQ(TimelineTimeOf(segs, 1, 5000), 1250);  // the first pass
  // The longest preset passes 32 bits.
  TimelinePreset big({{MAXSEGLENGTH, MAXREPEAT}, {MAXSEGLENGTH, MAXREPEAT}});
  EXPECT_EQ(TimelineLength(TimelineSegments(big.p)), 2 * int64_t(MAXSEGLENGTH) * MAXREPEAT);
}

// Whether every column holds the value the engine's curve has at the
// column's start: the sampling places passes and repeats where they play.
void ExpectColumnsHoldTheCurve(const Preset& p, const TimelineParam& tp, int columns, int pid) {
  const auto segs = TimelineSegments(p);
  const int64_t total = TimelineLength(segs);
  const auto cols = SampleTimeline(BackgroundParamRow{}, p, tp, columns);
  ASSERT_EQ(int(cols.size()), columns);
  for (int c = 0; c < columns; ++c) {
    const TimelinePlace at = LocateTimeline(segs, total * c / columns);
    const int64_t v = CurveValue(SegParams(p, at.Segment)[pid], at.Time);
    const TimelineSpan& s = cols[size_t(c)].Curve[0];
    ASSERT_TRUE(s.Present) << c;
    EXPECT_LE(s.Min, v) << c;
    EXPECT_GE(s.Max, v) << c;
  }
}

TEST(Timeline, ColumnsFollowThePlayedCurveThroughRepeats) {
  TimelinePreset b({{1000, 1}, {400, 3}, {600, 2}});
  b.Set(0, VOLUME, {{0, 0, 3, 0}, {10000, 4000, 10, 1}, {10000, 10000, 10, 1}});
  b.Set(1, VOLUME, {{10000, 0, 17, 0}, {2000, 6000, 10, 0}, {10000, 10000, 10, 1}});
  b.Set(2, VOLUME, {{10000, 0, 10, 0}, {0, 10000, 10, 1}});
  for (int columns : {1300, 3000, 4000})  // coarser, equal to and finer than the hundredths
    ExpectColumnsHoldTheCurve(b.p, {PN_VOLUME, 0}, columns, VOLUME);
}

TEST(Timeline, WhatEachColumnShows) {
  struct Case {
    const char* What;
    int Row, Voice;
    std::function<void(TimelinePreset&)> Make;
    int Columns;
    std::function<void(TimelinePreset&, const std::vector<TimelineColumn>&)> Check;
  };
  const Case cases[] = {
      {"a spike shorter than a column shows whole", PN_VOLUME, 0,
       [](TimelinePreset& b) {
         b.Set(0, VOLUME, {{0, 0, 10, 0}, {9000, 2500, 10, 0}, {0, 2501, 10, 0}, {0, 10000, 10, 1}});
       },
       2,
       [](TimelinePreset&, const std::vector<TimelineColumn>& c) {
         EXPECT_EQ(c[0].Curve[0].Min, 0);
         EXPECT_EQ(c[0].Curve[0].Max, 9000);
         EXPECT_EQ(c[1].Curve[0].Max, 0);
       }},
      {"a column over many passes has the whole pass's extremes", PN_VOLUME, 0,
       [](TimelinePreset& b) {
         b.p.data.Segment[0].Length = 100;
         b.p.data.Segment[0].Repeat = MAXREPEAT;
         b.Set(0, VOLUME, {{2000, 0, 10, 0}, {7000, 5000, 10, 0}, {2000, 10000, 10, 1}});
       },
       10,
       [](TimelinePreset&, const std::vector<TimelineColumn>& c) {
         for (const TimelineColumn& k : c) {
           EXPECT_EQ(k.Curve[0].Min, 2000);
           EXPECT_EQ(k.Curve[0].Max, 7000);
         }
       }},
      {"a segment without the voice has no curve there", PN_VOLUME, 1,
       [](TimelinePreset& b) {
         EditRules off{false, 3, {}};
         AddSegment(b.p, 0, off);
         AddSegment(b.p, 0, off);
         AddVoice(b.p, 0, 0, off);
         AddVoice(b.p, 1, 0, off);  // voice 2 in the first two segments only
       },
       30,
       [](TimelinePreset&, const std::vector<TimelineColumn>& c) {
         EXPECT_TRUE(c[0].Curve[0].Present);
         EXPECT_TRUE(c[19].Curve[0].Present);
         EXPECT_FALSE(c[21].Curve[0].Present);
         EXPECT_FALSE(c[29].Curve[0].Present);
       }},
      {"separate channels draw the right ear on its own", PN_VOLUME, 0,
       [](TimelinePreset& b) {
         b.Set(0, VOLUME, {{1000, 0, 10, 0}, {1000, 10000, 10, 1}});
         b.Set(0, VOLUME + 1, {{8000, 0, 10, 0}, {8000, 10000, 10, 1}});
         b.At(0, VOLUME).ChannelMode = 1;
       },
       4,
       [](TimelinePreset&, const std::vector<TimelineColumn>& c) {
         EXPECT_EQ(c[2].Curve[0].Max, 1000);
         ASSERT_TRUE(c[2].Curve[1].Present);
         EXPECT_EQ(c[2].Curve[1].Min, 8000);
       }},
      {"joined channels are one curve", PN_VOLUME, 0,
       [](TimelinePreset& b) {
         b.Set(0, VOLUME + 1, {{8000, 0, 10, 0}, {8000, 10000, 10, 1}});
       },
       4, [](TimelinePreset&, const std::vector<TimelineColumn>& c) { EXPECT_FALSE(c[2].Curve[1].Present); }},
      {"the beat of separate pitches is right minus left, in the beat's decimals", PN_BEAT, 0,
       [](TimelinePreset& b) {
         b.Set(0, PITCH, {{20000, 0, 10, 0}, {20000, 10000, 10, 1}});      // 200 Hz
         b.Set(0, PITCH + 1, {{21050, 0, 10, 0}, {21050, 10000, 10, 1}});  // 210.5 Hz
         b.At(0, PITCH).ChannelMode = 1;
         b.Set(0, BEAT, {{1000, 0, 10, 0}, {1000, 10000, 10, 1}});  // what the record says no longer plays
       },
       3,
       [](TimelinePreset&, const std::vector<TimelineColumn>& c) {
         EXPECT_EQ(c[1].Curve[0].Min, 10500);
         EXPECT_EQ(c[1].Curve[0].Max, 10500);
       }},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.What);
    TimelinePreset b({{1000, 1}});
    k.Make(b);
    const auto cols = SampleTimeline(BackgroundParamRow{}, b.p, {k.Row, k.Voice}, k.Columns);
    ASSERT_EQ(int(cols.size()), k.Columns);
    k.Check(b, cols);
  }
}

TEST(Timeline, ASamplerKeptBetweenEditsDrawsAsAFreshOne) {
  TimelinePreset b({{1000, 1}, {400, 3}, {600, 1}});
  EditRules off{false, 3, {}};
  AddVoice(b.p, 1, 0, off);
  TimelineSampler kept;
  auto expectFresh = [&](const TimelineParam& tp, int reworked) {
    const auto got = kept.Sample(BackgroundParamRow{}, b.p, tp, 500),
               want = SampleTimeline(BackgroundParamRow{}, b.p, tp, 500);
    ASSERT_EQ(got.size(), want.size());
    for (size_t c = 0; c < got.size(); ++c)
      for (int ch = 0; ch < 2; ++ch) {
        EXPECT_EQ(got[c].Curve[ch].Present, want[c].Curve[ch].Present) << c;
        EXPECT_EQ(got[c].Curve[ch].Min, want[c].Curve[ch].Min) << c;
        EXPECT_EQ(got[c].Curve[ch].Max, want[c].Curve[ch].Max) << c;
      }
    EXPECT_EQ(kept.Reworked(), reworked);
  };
  expectFresh({PN_VOLUME, 0}, 3);
  expectFresh({PN_VOLUME, 0}, 0);  // nothing changed
  b.Set(1, VOLUME, {{0, 0, 2, 0}, {9000, 7000, 10, 0}, {0, 10000, 10, 1}});
  expectFresh({PN_VOLUME, 0}, 1);   // the one segment edited
  b.At(2, VOLUME).ChannelMode = 1;  // the right ear apart: a curve more
  expectFresh({PN_VOLUME, 0}, 2);
  expectFresh({PN_VOLUME, 1}, 1);  // voice 2, in the middle segment only
  expectFresh({PN_PITCH, 0}, 3);
}

TEST(Timeline, ValueAtATimeIsTheCurvesOwn) {
  TimelinePreset b({{1000, 1}, {500, 2}});
  b.Set(1, VOLUME, {{0, 0, 4, 0}, {10000, 10000, 10, 1}});
  const auto segs = TimelineSegments(b.p);
  for (int time : {0, 1234, 5000, 9999}) {
    // The same segment time in either pass.
    for (int pass : {0, 1}) {
      const int64_t t = segs[1].Start + pass * 500 + int64_t(time) * 500 / 10000;
      const TimelineColumn v = TimelineValueAt(BackgroundParamRow{}, b.p, {PN_VOLUME, 0}, t);
      const int at = LocateTimeline(segs, t).Time;
      ASSERT_TRUE(v.Curve[0].Present);
      EXPECT_EQ(v.Curve[0].Min, CurveValue(b.At(1, VOLUME), at)) << time << " " << pass;
    }
  }
}

TEST(Timeline, TimeLabels) {
  struct Step {
    int64_t Total;
    int Pixels, Label;
    int64_t Expected;
  };
  const Step steps[] = {
      {6000, 600, 60, 1000},                  // an hour on 600 px: every 10 minutes
      {100, 600, 60, 10},                     // a minute: every 6 s
      {1000000000, 100, 50, 72000LL * 8192},  // past 12 hours the step doubles
      {6000, 0, 60, 0},                       // nothing to draw on
  };
  for (const Step& s : steps) EXPECT_EQ(TimelineTimeStep(s.Total, s.Pixels, s.Label), s.Expected) << s.Total;
  EXPECT_EQ(FormatTimelineTime(0, false), "0:00");
  EXPECT_EQ(FormatTimelineTime(6000, false), "1:00");
  EXPECT_EQ(FormatTimelineTime(9050, false), "1:30");
  EXPECT_EQ(FormatTimelineTime(150, true), "0:01:30");
  EXPECT_EQ(FormatTimelineTime(2 * int64_t(MAXSEGLENGTH) * MAXREPEAT, false), "3333333:20");
}

}  // namespace
