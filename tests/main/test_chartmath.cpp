// The parameter chart's arithmetic: grid steps, the displayed range, the
// value mapping, handle weights, the notification code and the derived curve.
#include <gtest/gtest.h>

#include <cmath>

#include "common/checks.h"
#include "main/chartmath.h"
#include "main/preset.h"

namespace {

ChartValueDef DefOf(int paramNum) {
  const ParamDefType& r = ParamDef[paramNum];
  ChartValueDef d;
  d.ParamNum = paramNum;
  d.Min = r.Min;
  d.Max = r.Max;
  d.Digits = r.Digits;
  d.Shown = r.FlagB;
  d.FixedRange = r.FlagA != 0;
  d.Z = paramNum == PN_WAVEFORM;
  return d;
}

TEST(GridStep, RoundStepsForTheLabelsThatFit) {
  struct Case {
    int From, To, Require, Length, Step;
  };
  const Case cases[] = {
      {0, 100, 1, 10, 20},        // step 11: first divisor of 100 in 11..21
      {-1000, 1000, 1, 12, 200},  // zero inside: divides the range and the lower bound
      {-360, 360, 1, 9, 90},     {0, 10, 1, 20, 1}, {0, 7, 1, 1, 8},  // no divisor of 7 in 8..15: the step itself
      {0, 1000, 70, 560, 200},  // a 10-minute segment with 8 labels: 2-minute steps
      {0, 100, 1, 2, 50},       // the step would be the range itself: halved
      {0, 37, 1, 3, 14},        // no divisor: the odd step 13 is made even
      {0, 100, 20, 10, 102},    // no room for a label: past the range, made even
      {-7, 3, 1, 5, 3},         // no step near 3 divides -7: one from how often -7 fits
  };
  for (const Case& c : cases) EXPECT_EQ(GridStep(c.From, c.To, c.Require, c.Length), c.Step) << c.From << ".." << c.To;
  ExpectCheckFailures expect;
  EXPECT_EQ(GridStep(5, 5, 1, 10), -1);
  EXPECT_EQ(GridStep(0, 5, 0, 10), -1);
  EXPECT_EQ(expect.Failures().size(), 2u);
}

TEST(ChartRange, AutoRangesRoundOutwardsAndStayInsideTheLimits) {
  struct Case {
    int ParamNum;
    int64_t Lo, Hi;  // stored values shown
    int Min, Max;    // the displayed range
  };
  const Case cases[] = {
      {PN_VOLUME, 1000, 2000, 0, 100},             // fixed range
      {PN_PITCH, 10000, 30000, 0, 400},            // steps of 200 Hz
      {PN_PITCH, 50000, 50000, 200, 800},          // a constant: 200 Hz either side, then rounded
      {PN_PITCH, 1999000, 2000000, 19800, 20000},  // at the top
      {PN_BEAT, 5000, 15000, 4, 16},               // even numbers
      {PN_BEAT, 10000, 10000, 8, 12},
      {PN_BEAT, 1000000, 1000000, 998, 1000},
      {PN_BEAT, -3500, 2500, -4, 4},    // rounded down below zero
      {PN_FILTER, 2000, 2000, 18, 20},  // no rounding step; clamped
      {PN_FILTER, 0, 0, 0, 2},
      {PN_FILTER, 300, 400, 3, 5},      // less than 2 apart: upper moves up
      {PN_FILTER, 1950, 2000, 18, 20},  // at the maximum: lower moves down
      {PN_SNDMODPERIOD, 1000000, 1000000, 500, 1500},
      {PN_BGPHASE, -1234, 500, -20, 10},  // steps of 10 ms
  };
  for (const Case& c : cases) {
    ChartRange r{-99, 99};
    RecomputeChartRange(DefOf(c.ParamNum), c.Lo, c.Hi, true, true, &r);
    EXPECT_EQ(r.Min, c.Min) << c.ParamNum << " " << c.Lo << ".." << c.Hi;
    EXPECT_EQ(r.Max, c.Max) << c.ParamNum << " " << c.Lo << ".." << c.Hi;
  }
}

TEST(ChartRange, OnlyTheBoundAskedForMovesAndTheChangeIsReported) {
  ChartValueDef d = DefOf(PN_PITCH);
  ChartRange r{0, 400};
  EXPECT_FALSE(RecomputeChartRange(d, 10000, 30000, true, true, &r));
  EXPECT_TRUE(RecomputeChartRange(d, 10000, 90000, false, true, &r));
  EXPECT_EQ(r.Min, 0);
  EXPECT_EQ(r.Max, 1000);
  // The lower bound alone: the upper one stays although the values shrank.
  EXPECT_TRUE(RecomputeChartRange(d, 50000, 60000, true, false, &r));
  EXPECT_EQ(r.Min, 400);
  EXPECT_EQ(r.Max, 1000);
}

TEST(ChartMapping, ValuesAndLogicalHeight) {
  ChartRange r{0, 100};
  EXPECT_EQ(ValueToY(r, 2, 0), 0);
  EXPECT_EQ(ValueToY(r, 2, 5000), 1500);
  EXPECT_EQ(ValueToY(r, 2, 10000), 3000);
  EXPECT_EQ(ValueToY(r, 2, 12000), 3600);  // above the range
  EXPECT_EQ(YToValue(r, 2, 1500), 5000);
  EXPECT_EQ(YToValue(r, 2, -300), -1000);
  ChartRange beat{-4, 16};
  EXPECT_EQ(ValueToY(beat, 3, -4000), 0);
  EXPECT_EQ(YToValue(beat, 3, ValueToY(beat, 3, 6000)), 6000);
}

TEST(ChartMapping, EditsSnapToTheShownResolutionAndClampAtTheLimits) {
  struct Case {
    int ParamNum;
    int64_t In;
    int32_t Out;
    bool Clamped;
  };
  const Case cases[] = {
      {PN_VOLUME, 5555, 5500, false},  // whole percent
      {PN_VOLUME, -1, 0, false},       // truncated first
      {PN_VOLUME, -150, 0, true},       {PN_VOLUME, 10099, 10000, false},  {PN_VOLUME, 12000, 10000, true},
      {PN_BEAT, 12345, 12300, false},  // one decimal shown of three
      {PN_BEAT, -12345, -12300, false}, {PN_BEAT, 1000100, 1000000, true}, {PN_PITCH, 2000100, 2000000, true},
  };
  for (const Case& c : cases) {
    bool clamped = false;
    EXPECT_EQ(SnapNodeValue(DefOf(c.ParamNum), c.In, &clamped), c.Out) << c.ParamNum << " " << c.In;
    EXPECT_EQ(clamped, c.Clamped) << c.ParamNum << " " << c.In;
  }
}

TEST(ChartMapping, ZHalvesAreSetApart) {
  ChartValueDef d = DefOf(PN_WAVEFORM);
  int32_t v = (250 << 16) | 500;
  EXPECT_EQ(NodeLow(d, v), 500);
  EXPECT_EQ(NodeZ(v), 250);
  EXPECT_EQ(WithHalf(d, v, true, 1000), (1000 << 16) | 500);
  EXPECT_EQ(WithHalf(d, v, false, 0), 250 << 16);
  EXPECT_EQ(WithHalf(DefOf(PN_VOLUME), v, true, 77), 77);  // a plain value is replaced whole
}

TEST(SweepShape, TwentyOnePointsThroughTheWeightTable) {
  int64_t t = 0, v = 0;
  SweepPoint(0, 0, 10000, 1000, 10, 5, &t, &v);
  EXPECT_EQ(t, 2500);
  EXPECT_EQ(v, 250);
  SweepPoint(2000, 1000, 4000, 0, 20, 1, &t, &v);  // falls at once
  EXPECT_EQ(t, 2100);
  EXPECT_EQ(v, 1000 - 650);
  SweepPoint(0, 0, 100, 100, 35, 1, &t, &v);  // a weight from a hand-made file draws as 20
  EXPECT_EQ(v, 65);
  SweepPoint(0, 0, 100, 100, 0, 20, &t, &v);
  EXPECT_EQ(t, 100);
  EXPECT_EQ(v, 100);
}

TEST(Handles, WeightFromTheAngle) {
  struct Case {
    double Dx, Dy;
    int Weight;
  };
  const Case cases[] = {
      {10, 10, 10},                   // 45 degrees: linear
      {10, 0, 0},                     // flat: starts slowly
      {0, 5, 20},                     // straight towards the other value
      {0, -5, 20},                    // dx 0
      {-5, 5, 20},                    // behind the node but beyond it
      {10, -10, 0},                   // away from the other value
      {1, 1000, 20}, {10, 4.142, 5},  // 22.5 degrees
  };
  for (const Case& c : cases) EXPECT_EQ(WeightFromHandle(c.Dx, c.Dy), c.Weight) << c.Dx << "," << c.Dy;
  // A handle drawn for a weight reads back as that weight.
  for (int w = 0; w <= 20; ++w)
    EXPECT_EQ(WeightFromHandle(40 * std::cos(HandleAngle(w)), 40 * std::sin(HandleAngle(w))), w) << w;
}

TEST(Notifications, NodesChangedBitLayout) {
  EXPECT_EQ(NodesChangedCode(2, 5, 3, 1), 0x01030502u);
  EXPECT_EQ(NodesChangedCode(NODES_ALL, NODES_ALL, 7, 0), 0x0007FFFFu);
  NodesChanged c = DecodeNodesChanged(NodesChangedCode(99, 99, 98, NODES_FLAG_RANGE));
  EXPECT_EQ(c.First, 99);
  EXPECT_EQ(c.Last, 99);
  EXPECT_EQ(c.Moved, 98);
  EXPECT_EQ(c.Flags, NODES_FLAG_RANGE);
  EXPECT_FALSE(c.All());
  EXPECT_TRUE(DecodeNodesChanged(NodesChangedCode(NODES_ALL, NODES_ALL, 0, 0)).All());
}

TEST(DerivedCurve, RightMinusLeftAtEverySubdivisionOfBoth) {
  Param left{}, right{};
  left.NumNodes = 2;
  left.Node[0] = {20000, 0, 10, 1};  // 200.00 Hz
  left.Node[1] = {20000, 10000, 10, 1};
  right.NumNodes = 3;
  right.Node[0] = {21000, 0, 10, 1};  // 210.00 Hz, down to 205.00
  right.Node[1] = {20500, 5000, 10, 1};
  right.Node[2] = {20500, 10000, 10, 1};
  std::vector<DerivedPoint> pts = DerivedCurve(left, right, 2, 3);
  // Twentieths of 10000 (left) and of two halves (right), merged: every 250.
  ASSERT_EQ(pts.size(), 41u);
  EXPECT_EQ(pts.front().Time, 0);
  EXPECT_EQ(pts.front().Value, 10000);  // 10.000 Hz in the beat's digits
  EXPECT_EQ(pts[20].Time, 5000);
  EXPECT_EQ(pts[20].Value, 5000);
  EXPECT_EQ(pts.back().Time, 10000);
  for (size_t i = 1; i < pts.size(); ++i) EXPECT_LT(pts[i - 1].Time, pts[i].Time);
}

}  // namespace
