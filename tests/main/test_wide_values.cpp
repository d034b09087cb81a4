// Whole-preset arithmetic over the widest values a preset file may hold.
#include <gtest/gtest.h>

#include <cstdint>

#include "main/preset.h"

TEST(WideValues, PresetLengthOfTheLongestPresetSaturates) {
  PresetFixed p{};
  p.data.NumSegments = MAXSEGMENTS;
  for (Segment& s : p.data.Segment) s.Length = MAXSEGLENGTH, s.Repeat = MAXREPEAT;
  EXPECT_EQ(PresetLength(p), INT32_MAX);
  // Just below the limit the sum is exact.
  p.data.NumSegments = 2;
  p.data.Segment[0].Repeat = 2000;
  p.data.Segment[1].Length = 147483, p.data.Segment[1].Repeat = 1;
  EXPECT_EQ(PresetLength(p), 2000147483);
}
