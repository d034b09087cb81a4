// Curves copied from one parameter and pasted into another: the values
// follow the target, times fill the target segment, and the program's own
// clipboard form reads back exactly.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <tuple>

#include "main/curveclip.h"
#include "main/preset.h"

namespace {

Param CurveOf(std::initializer_list<Node> nodes) {
  Param p{};
  for (const Node& n : nodes) p.Node[p.NumNodes++] = n;
  return p;
}

TEST(CurvePaste, ValuesFollowTheTargetsDecimalsAndLimits) {
  struct Case {
    const char* What;
    int From, To;  // rows
    int32_t Value, TargetZ, Expected;
  };
  const Case cases[] = {
      {"same row: unchanged", PN_VOLUME, PN_VOLUME, 5050, 0, 5050},
      {"pitch (2 decimals) into beat (3)", PN_PITCH, PN_BEAT, 1234, 0, 12340},
      {"beat into pitch rounds half away from zero", PN_BEAT, PN_PITCH, 12345, 0, 1235},
      {"beat below the pitch's minimum", PN_BEAT, PN_PITCH, -5000, 0, 0},
      {"pitch above the beat's maximum", PN_PITCH, PN_BEAT, 150000, 0, 1000000},
      {"volume into waveform keeps the target's Z", PN_VOLUME, PN_WAVEFORM, 5050, 700, (700 << 16) | 505},
      {"waveform into volume takes the shape half", PN_WAVEFORM, PN_VOLUME, (300 << 16) | 505, 0, 5050},
      {"waveform into waveform brings its Z", PN_WAVEFORM, PN_WAVEFORM, (300 << 16) | 505, 700, (300 << 16) | 505},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.What);
    const Param src = CurveOf({{c.Value, 0, 3, 0}, {c.Value, 2500, 17, 1}, {c.Value, 10000, 10, 1}});
    const CurveClip clip = CopyCurve(BackgroundParamRow{}, src, c.From, 1000);
    Param target = CurveOf({{(c.TargetZ << 16) | 100, 0, 10, 1}, {(c.TargetZ << 16) | 100, 10000, 10, 1}});
    target.Tracking = 1;
    target.EasySel = 42;
    ASSERT_EQ(PasteCurve(BackgroundParamRow{}, clip, target, c.To), 0);
    ASSERT_EQ(target.NumNodes, 3);
    for (int i = 0; i < 3; ++i) {
      EXPECT_EQ(target.Node[i].Value, c.Expected) << i;
      // Times are fractions of the segment: the shape fills the target.
      EXPECT_EQ(target.Node[i].SweepTime, src.Node[i].SweepTime) << i;
      EXPECT_EQ(target.Node[i].Weight, src.Node[i].Weight) << i;
      EXPECT_EQ(target.Node[i].Symmetric, src.Node[i].Symmetric) << i;
    }
    EXPECT_EQ(target.Tracking, 0);
    EXPECT_EQ(target.EasySel, 0);
  }
}

TEST(CurvePaste, RefusalsLeaveTheTargetAlone) {
  const Param hz = CurveOf({{100, 0, 10, 0}, {200, 10000, 10, 1}});
  CurveClip bad = CopyCurve(BackgroundParamRow{}, hz, PN_PITCH, 1000);
  bad.Nodes[1].SweepTime = 9000;  // does not end at the segment's end
  const Param before = CurveOf({{0, 0, 10, 0}, {0, 5000, 10, 0}, {0, 10000, 10, 1}});
  for (const auto& [what, clip, row] :
       {std::tuple{"Hz into %", CopyCurve(BackgroundParamRow{}, hz, PN_PITCH, 1000), int(PN_VOLUME)},
        std::tuple{"not a curve", bad, int(PN_PITCH)}}) {
    Param target = before;
    EXPECT_EQ(PasteCurve(BackgroundParamRow{}, clip, target, row), 1520) << what;
    EXPECT_EQ(std::memcmp(&target, &before, sizeof target), 0) << what;
  }
}

TEST(CurvePaste, TheProgramsOwnFormReadsBackAndRejectsDamage) {
  const Param src = CurveOf({{(250 << 16) | 40, 0, 0, 0}, {(900 << 16) | 1000, 3333, 20, 10}, {7, 10000, 10, 1}});
  const CurveClip clip = CopyCurve(BackgroundParamRow{}, src, PN_WAVEFORM, 12345);
  const std::string bytes = EncodeCurveClip(clip);
  CurveClip back;
  ASSERT_TRUE(DecodeCurveClip(bytes, &back));
  EXPECT_EQ(EncodeCurveClip(back), bytes);
  EXPECT_EQ(back.Length, 12345);
  EXPECT_EQ(std::memcmp(back.Nodes, src.Node, 3 * sizeof(Node)), 0);
  auto damaged = [&](size_t at, char v) {
    std::string b = bytes;
    b[at] = v;
    return b;
  };
  for (const std::string& b : {bytes.substr(0, bytes.size() - 1), bytes + "x", damaged(0, 'X'), damaged(4, 9),
                               damaged(22, 1) /* one node */, damaged(23 + 8 + 5, 0x7f) /* a time past the end */}) {
    CurveClip out;
    EXPECT_FALSE(DecodeCurveClip(b, &out));
  }
}

}  // namespace
