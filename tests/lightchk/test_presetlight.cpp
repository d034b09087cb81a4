// A preset's own light over time, and whether a file's light follows it.
#include <gtest/gtest.h>

#include "data/playback/playback.h"
#include "data/synthesis/generate.h"
#include "data/testpreset.h"
#include "data/testrecord.h"
#include "lightchk/presetlight.h"
#include "platform/rand.h"

namespace {

// Two segments: 3 s sweeping the left eye 10 -> 20 Hz (right 5 Hz), played
// twice, then 6 s at 30 Hz; brightness 40 % then 80 %.
struct TwoSegments : TestPreset {
  explicit TwoSegments(bool continues) : TestPreset(1, 2) {
    P.data.ContinuePlaying = continues ? 1 : 0;
    Seg(0).Length = 5;
    Seg(0).Repeat = 2;
    Seg(1).Length = 10;
    At(0, PID_VISFREQ).ChannelMode = 1;
    Set(0, PID_VISFREQ, {{0, 10000}, {10000, 20000}});
    Set(0, PID_VISFREQ + 1, {{0, 5000}, {10000, 5000}});
    Set2(0, PID_VISBRIGHT, {{0, 4000}, {10000, 4000}});
    Set2(1, PID_VISFREQ, {{0, 30000}, {10000, 30000}});
    Set2(1, PID_VISBRIGHT, {{0, 8000}, {10000, 8000}});
  }
};

TEST(PresetLight, FollowsSegmentsRepeatsAndTheEnd) {
  struct Case {
    bool Continues;
    double T;
    float Left, Right, Brightness;  // Left < 0: no point at T
  } cases[] = {
      {false, 0.125, 10.42f, 5, 40},                                 // the middle of the first step
      {false, 1.625, 15.42f, 5, 40}, {false, 4.625, 15.42f, 5, 40},  // the repeat
      {false, 6.125, 30, 30, 80},    {false, 11.875, 30, 30, 80},   {false, 12.125, -1, 0, 0},  // ended
      {true, 30.125, 30, 30, 80},                                                               // holds the end
  };
  for (const Case& c : cases) {
    TwoSegments p(c.Continues);
    std::vector<LightCurvePoint> curve = PresetLightCurve(p.P, 0.25, 40);
    size_t i = static_cast<size_t>(c.T / 0.25);  // the step whose middle c.T is
    if (c.Left < 0) {
      EXPECT_LE(curve.size(), i) << c.T;
      continue;
    }
    ASSERT_LT(i, curve.size()) << c.T;
    EXPECT_DOUBLE_EQ(curve[i].T, c.T);
    EXPECT_NEAR(curve[i].Frequency[0], c.Left, 0.01) << c.T;
    EXPECT_NEAR(curve[i].Frequency[1], c.Right, 0.01) << c.T;
    EXPECT_NEAR(curve[i].Brightness[1], c.Brightness, 0.01) << c.T;
  }
}

TEST(PresetLight, AFileFollowsOnlyItsOwnPreset) {
  TwoSegments own(false), other(false);
  other.Set2(1, PID_VISFREQ, {{0, 12000}, {10000, 12000}});
  AdvancedOptions o;
  o.LenOfBlocks = 50;
  TestRecord.AudioStrobeOn.store(1);
  plat::SeedRandom(1);
  ASSERT_EQ(PreparePlayback(TestRecord, own.P, o, false, nullptr), 0);
  LightDecoder* d = LightDecoderCreate(44100, 2, LightLevels());
  std::vector<int16_t> block(static_cast<size_t>(TestRecord.BlockBytes / 2));
  while (GenerateBlock(TestRecord, block.data()) == 0) LightDecoderFeed(d, block.data(), TestRecord.BlockBytes / 4);
  TestRecord.AudioStrobeOn.store(0);
  LightDecoderFinish(d);
  LightReport r;
  SummarizeLight(d, &r);
  LightDecoderFree(d);
  EXPECT_TRUE(LightFollowsCurve(r, PresetLightCurve(own.P, 0.25, 40)));
  EXPECT_FALSE(LightFollowsCurve(r, PresetLightCurve(other.P, 0.25, 40)));
  EXPECT_FALSE(LightFollowsCurve(LightReport(), PresetLightCurve(own.P, 0.25, 40)));
}

}  // namespace
