// The calculation over the widest values a preset file may hold: node values
// anywhere in the int32 range must sweep without wrapping.
#include <gtest/gtest.h>

#include <climits>

#include "data/synthesis/sweep.h"
#include "data/testrecord.h"
#include "testpreset.h"

namespace {

ProgressRecord Ramp(int32_t from, int32_t to) {
  ProgressRecord p{};
  for (int i = 0; i <= 20; i++) {
    p.WTimes[i] = 500 * i;
    p.WValues[i] = static_cast<int32_t>(from + (static_cast<int64_t>(to) - from) * i / 20);
  }
  return p;
}

}  // namespace

TEST(WideValues, InterpolationAndNextChangeAcrossTheWholeRange) {
  ProgressRecord up = Ramp(INT32_MIN, INT32_MAX);
  // Halfway through the first piece of a full-range ramp.
  int64_t expect = INT32_MIN + (static_cast<int64_t>(up.WValues[1]) - INT32_MIN) / 2;
  EXPECT_EQ(InterpolateProgress(up, 250), expect);
  EXPECT_EQ(InterpolateProgress(up, 10000), INT32_MAX);
  // Past the last point the last piece goes on, up to the limit.
  EXPECT_EQ(InterpolateProgress(up, 30000), INT32_MAX);
  EXPECT_EQ(InterpolateProgress(Ramp(INT32_MAX, INT32_MIN), 30000), INT32_MIN);
  // A step as large as the range: the next change lies past the ramp.
  EXPECT_EQ(NextChangeTime(INT32_MAX, INT32_MAX, up, 9999), 100000);
  // A step of a twentieth of the range from the start: the first point.
  EXPECT_EQ(NextChangeTime(INT32_MIN, up.WValues[1] - INT32_MIN, up, 0), 500);
  ProgressRecord down = Ramp(INT32_MAX, INT32_MIN);
  EXPECT_EQ(NextChangeTime(INT32_MIN, INT32_MAX, down, 9999), 100000);
  EXPECT_LE(NextChangeTime(INT32_MAX, down.WValues[0] - down.WValues[1], down, 0), 500);
}

TEST(WideValues, SweepPointsOfAFullRangeCurveRiseMonotonically) {
  EngineSetUp();
  TestPreset tp(1, 1);
  // Noise volume: the generator clamps it, the calculation must not wrap.
  for (int weight : {0, 10, 20}) {
    tp.Set2(0, PID_NOISEVOL, {{0, INT32_MIN}, {10000, INT32_MAX}}, weight);
    ASSERT_EQ(CalculatePreset(TestRecord, tp.P, false, nullptr), 0);
    const ProgressRecord& p = Progress[PID_NOISEVOL];
    EXPECT_EQ(p.WValues[0], INT32_MIN);
    EXPECT_EQ(p.WValues[20], INT32_MAX);
    for (int i = 0; i < 20; i++) EXPECT_LE(p.WValues[i], p.WValues[i + 1]) << "weight " << weight << " point " << i;
    // The straight line passes zero halfway.
    if (weight == 10) {
      EXPECT_NEAR(p.WValues[10], 0, 1);
    }
  }
}

// A difference that fits in 32 bits but whose product with the weight does
// not: the early division of the multiply-divide rounds up, and the point
// must still not pass the upper node (found by the render fuzzer).
TEST(WideValues, SweepPointsStayBetweenNodesWhenTheProductIsDividedEarly) {
  EngineSetUp();
  TestPreset tp(1, 1);
  for (int weight : {10, 14, 20}) {
    tp.Set2(0, PID_NOISEVOL, {{0, 6096}, {10000, INT32_MAX}}, weight);
    ASSERT_EQ(CalculatePreset(TestRecord, tp.P, false, nullptr), 0);
    const ProgressRecord& p = Progress[PID_NOISEVOL];
    EXPECT_EQ(p.WValues[0], 6096);
    EXPECT_EQ(p.WValues[20], INT32_MAX);
    for (int i = 0; i < 20; i++) EXPECT_LE(p.WValues[i], p.WValues[i + 1]) << "weight " << weight << " point " << i;
  }
}

TEST(WideValues, FrequenciesAndStrobeRatesSaturate) {
  EngineSetUp();
  ASSERT_TRUE(EnsureSweepData(TestRecord, 2 * MAXSWEEPRECORD));
  TestPreset tp(2, 1);
  // Voice 0: pitch and beat at opposite ends; voice 1: separate channels.
  tp.Set(0, VoicePidOf(0, VP_PITCH), {{0, INT32_MAX}, {10000, INT32_MAX}});
  tp.Set(0, VoicePidOf(0, VP_BEAT), {{0, INT32_MIN}, {10000, INT32_MIN}});
  tp.Set(0, VoicePidOf(1, VP_PITCH), {{0, INT32_MIN}, {10000, INT32_MIN}});
  tp.Set(0, VoicePidOf(1, VP_PITCH + 1), {{0, INT32_MAX}, {10000, INT32_MAX}});
  HeaderOf(&tp.At(0, VoicePidOf(1, VP_PITCH)))->ChannelMode = 1;
  tp.Set2(0, PID_VISFREQ, {{0, INT32_MIN}, {10000, INT32_MIN}});
  int status = 0;
  SweepRecord* r = FirstSweepRecord(TestRecord);
  ASSERT_NE(FillSweepRecord(TestRecord, tp.P, 0, nullptr, 0, r, &status), nullptr);
  for (int e = 0; e < 2; e++) {
    EXPECT_EQ(r->Voice[0].Frequency[e], INT32_MAX) << e;
    EXPECT_EQ(r->Voice[1].Frequency[e], INT32_MAX) << e;
    EXPECT_EQ(StrobeSlot(r).Mod1Rate[e], INT32_MAX) << e;
  }
}
