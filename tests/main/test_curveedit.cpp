// Edits of one curve: node values and times, insert, delete, the symmetric
// rule and the node dialog's sweep.
#include <gtest/gtest.h>

#include <cstring>

#include "common/checks.h"
#include "main/curveedit.h"
#include "main/preset.h"

namespace {

ChartValueDef ChartDefOf(int paramNum) {
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

Param EditedCurve(std::initializer_list<Node> nodes) {
  Param p{};
  for (const Node& n : nodes) p.Node[p.NumNodes++] = n;
  return p;
}

TEST(CurveEdit, InsertSplitsTheFocusedSweepWhereItsWeightReaches) {
  struct Case {
    int Weight;
    int32_t Value;
    int16_t Time;
  };
  // 0 -> 1000 over 0..10000: weight 10 is the middle; weights beyond 1..19
  // count as 1 and 19.
  const Case cases[] = {{10, 500, 5000}, {20, 950, 500}, {19, 950, 500}, {0, 50, 9500}, {4, 200, 8000}};
  for (const Case& c : cases) {
    Param p = EditedCurve({{0, 0, static_cast<uint8_t>(c.Weight), 0}, {1000, 10000, 10, 1}});
    ASSERT_EQ(InsertNodeAfter(p, ChartDefOf(PN_VOLUME), 0), 0);
    ASSERT_EQ(p.NumNodes, 3);
    EXPECT_EQ(p.Node[1].Value, c.Value) << c.Weight;
    EXPECT_EQ(p.Node[1].SweepTime, c.Time) << c.Weight;
    EXPECT_EQ(p.Node[1].Weight, c.Weight) << c.Weight;  // copied from the focused node
    EXPECT_EQ(p.Node[1].Symmetric, 0);
    EXPECT_EQ(p.Node[2].SweepTime, 10000);
  }
}

TEST(CurveEdit, InsertOnZHalvesAndItsRefusals) {
  Param w = EditedCurve({{(1000 << 16) | 0, 0, 10, 1}, {(0 << 16) | 500, 10000, 10, 1}});
  ASSERT_EQ(InsertNodeAfter(w, ChartDefOf(PN_WAVEFORM), 0), 0);
  EXPECT_EQ(w.Node[1].Value, (500 << 16) | 250);  // each half on its own, no borrow between them
  Param p = EditedCurve({{0, 0, 10, 1}, {1000, 10000, 10, 1}});
  EXPECT_EQ(InsertNodeAfter(p, ChartDefOf(PN_VOLUME), 1), INSERT_REFUSED);  // the last node
  EXPECT_EQ(p.NumNodes, 2);
  Param full{};
  full.NumNodes = 100;
  for (int i = 0; i < 100; ++i) full.Node[i] = {0, static_cast<int16_t>(i * 100), 10, 1};
  Param before = full;
  EXPECT_EQ(InsertNodeAfter(full, ChartDefOf(PN_VOLUME), 5), 1285);
  EXPECT_EQ(std::memcmp(&full, &before, sizeof full), 0);
}

TEST(CurveEdit, DeleteAndTimesKeepTheEnds) {
  Param p = EditedCurve({{0, 0, 10, 1}, {10, 3000, 7, 0}, {20, 6000, 3, 1}, {30, 10000, 10, 1}});
  EXPECT_FALSE(DeleteNode(p, 0));
  EXPECT_FALSE(DeleteNode(p, 3));
  EXPECT_FALSE(SetNodeTime(p, 0, 500));
  EXPECT_FALSE(SetNodeTime(p, 3, 500));
  EXPECT_TRUE(SetNodeTime(p, 1, 9000));  // stops at the next node
  EXPECT_EQ(p.Node[1].SweepTime, 6000);
  EXPECT_TRUE(SetNodeTime(p, 2, 8000));
  EXPECT_TRUE(SetNodeTime(p, 2, -50));  // and at the previous one
  EXPECT_EQ(p.Node[2].SweepTime, 6000);
  ASSERT_TRUE(DeleteNode(p, 1));
  EXPECT_EQ(p.NumNodes, 3);
  EXPECT_EQ(p.Node[1].Value, 20);
  EXPECT_EQ(p.Node[2].Value, 30);
  EXPECT_EQ(p.Node[3].Value, 0);  // the freed slot is cleared
}

TEST(CurveEdit, ValuesSnapClampAndTouchOnlyTheirHalf) {
  Param p = EditedCurve({{0, 0, 10, 1}, {10000, 10000, 10, 1}});
  EXPECT_FALSE(SetNodeValue(p, ChartDefOf(PN_VOLUME), 0, false, 4567));
  EXPECT_EQ(p.Node[0].Value, 4500);
  EXPECT_TRUE(SetNodeValue(p, ChartDefOf(PN_VOLUME), 1, false, 10500));
  EXPECT_EQ(p.Node[1].Value, 10000);
  Param w = EditedCurve({{(500 << 16) | 500, 0, 10, 1}, {(500 << 16) | 500, 10000, 10, 1}});
  SetNodeValue(w, ChartDefOf(PN_WAVEFORM), 0, true, 1200);  // Z, clamped at 100.0 %
  EXPECT_EQ(w.Node[0].Value, (1000 << 16) | 500);
  SetNodeValue(w, ChartDefOf(PN_WAVEFORM), 0, false, 250);
  EXPECT_EQ(w.Node[0].Value, (1000 << 16) | 250);
}

TEST(CurveEdit, SymmetricNodesMirrorTheirWeights) {
  // Node 1 symmetric: whichever handle moves, the other follows (4 and 16).
  Param p = EditedCurve({{0, 0, 10, 1}, {10, 5000, 10, 1}, {0, 10000, 10, 0}});
  p.Node[1].Weight = 16;  // outgoing handle of node 1
  NodeRange r = SymmetricPropagate(p, 1);
  EXPECT_EQ(p.Node[0].Weight, 4);
  EXPECT_EQ(r.First, 0);
  p.Node[0].Weight = 7;  // incoming handle of node 1: propagate from node 0
  SymmetricPropagate(p, 0);
  EXPECT_EQ(p.Node[1].Weight, 13);
  EXPECT_EQ(p.Node[0].Weight, 7);
  // A chain of symmetric nodes alternates; a plain node stops it.
  Param c = EditedCurve(
      {{0, 0, 5, 0}, {0, 2000, 10, 1}, {0, 4000, 10, 1}, {0, 6000, 10, 0}, {0, 8000, 10, 1}, {0, 10000, 10, 1}});
  c.Node[2].Weight = 3;
  r = SymmetricPropagate(c, 2);
  EXPECT_EQ(c.Node[1].Weight, 17);
  EXPECT_EQ(c.Node[0].Weight, 3);   // node 1 is symmetric: its incoming sweep follows
  EXPECT_EQ(c.Node[3].Weight, 10);  // node 3 is not: the chain stops
  EXPECT_EQ(r.First, 0);
  EXPECT_EQ(r.Last, 1);
}

TEST(CurveEdit, SweepDialogValuesTimesAndWeight) {
  // 10-minute segment; node 1 of four.
  Param p = EditedCurve({{0, 0, 10, 1}, {1000, 2000, 10, 0}, {2000, 6000, 10, 0}, {0, 10000, 10, 1}});
  ChartValueDef d = ChartDefOf(PN_VOLUME);
  SweepEdit e = ReadSweepEdit(p, d, 1, 1000);
  EXPECT_EQ(e.From, 1000);
  EXPECT_EQ(e.To, 2000);
  EXPECT_EQ(e.TimeFrom, 200);  // 2.00 minutes
  EXPECT_EQ(e.TimeTo, 600);
  EXPECT_EQ(e.WeightPercent, 50);
  SweepEditScope s = SweepScope(p, 1, 1000);
  EXPECT_TRUE(s.StartTime);
  EXPECT_TRUE(s.EndTime);
  EXPECT_EQ(s.TimeMin, 0);
  EXPECT_EQ(s.TimeMax, 1000);
  // Reversed times are swapped; the weight rounds (52 % -> 10, 47 % -> 9).
  e.TimeFrom = 700;
  e.TimeTo = 100;
  e.WeightPercent = 47;
  e.Symmetric = true;
  NodeRange r = ApplySweepEdit(p, d, 1, e, 1000);
  EXPECT_EQ(p.Node[1].SweepTime, 1000);
  EXPECT_EQ(p.Node[2].SweepTime, 7000);
  EXPECT_EQ(p.Node[1].Weight, 9);
  EXPECT_EQ(p.Node[0].Weight, 11);  // node 1 symmetric now
  EXPECT_EQ(r.First, 0);
  EXPECT_EQ(r.Last, 2);
  e.WeightPercent = 52;
  ApplySweepEdit(p, d, 1, e, 1000);
  EXPECT_EQ(p.Node[1].Weight, 10);
  // The first node keeps time 0; for the node before the last one the end
  // time stays at the segment's end.
  EXPECT_FALSE(SweepScope(p, 0, 1000).StartTime);
  EXPECT_FALSE(SweepScope(p, 2, 1000).EndTime);
  e = ReadSweepEdit(p, d, 2, 1000);
  e.TimeFrom = 900;
  e.TimeTo = 300;
  ApplySweepEdit(p, d, 2, e, 1000);
  EXPECT_EQ(p.Node[2].SweepTime, 3000);
  EXPECT_EQ(p.Node[3].SweepTime, 10000);
  // The last node: only its own value.
  SweepEditScope last = SweepScope(p, 3, 1000);
  EXPECT_FALSE(last.Sweep);
  e = ReadSweepEdit(p, d, 3, 1000);
  e.From = 4200;
  e.WeightPercent = 0;
  ApplySweepEdit(p, d, 3, e, 1000);
  EXPECT_EQ(p.Node[3].Value, 4200);
  EXPECT_EQ(p.Node[3].SweepTime, 10000);
  EXPECT_EQ(p.Node[3].Weight, 10);
}

TEST(CurveEdit, SweepDialogLeavesTimesItShowedUnchangedAlone) {
  // A 12.50-minute segment: 6500 shows as 8.13 minutes, which reads back as
  // 6504. OK without touching the times must not move the node.
  Param p = EditedCurve({{0, 0, 10, 0}, {1000, 4200, 10, 0}, {2000, 6500, 10, 0}, {0, 8100, 10, 0}, {0, 10000, 10, 0}});
  ChartValueDef d = ChartDefOf(PN_VOLUME);
  for (int i : {1, 2}) {
    SweepEdit e = ReadSweepEdit(p, d, i, 1250);
    e.From += 100;  // a value edit only
    ApplySweepEdit(p, d, i, e, 1250);
  }
  EXPECT_EQ(p.Node[1].SweepTime, 4200);
  EXPECT_EQ(p.Node[2].SweepTime, 6500);
  EXPECT_EQ(p.Node[3].SweepTime, 8100);
  EXPECT_EQ(p.Node[2].Value, 2100);
  // A time typed in is converted as shown.
  SweepEdit e = ReadSweepEdit(p, d, 2, 1250);
  e.TimeTo = 1014;  // 10.14 minutes
  ApplySweepEdit(p, d, 2, e, 1250);
  EXPECT_EQ(p.Node[2].SweepTime, 6500);
  EXPECT_EQ(p.Node[3].SweepTime, 8112);
}

TEST(CurveEdit, SegmentTimesInMinutes) {
  EXPECT_EQ(SegTimeToMinutes(2500, 1000), 250);
  EXPECT_EQ(SegTimeToMinutes(3333, 1), 0);
  EXPECT_EQ(SegMinutesToTime(250, 1000), 2500);
  EXPECT_EQ(SegMinutesToTime(5000, 1000), 10000);  // past the end: the end
  EXPECT_EQ(SegMinutesToTime(1, 3), 3333);
}

}  // namespace
