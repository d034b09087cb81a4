// A tracking loop through a parameter that keeps its default content: the
// beat of voice 0 tracks the visual frequency, which by default tracks the
// beat. The loop break leaves the visual frequency with its own curve, which
// must be the default's computed nodes, so that the converted preset can be
// written and the beat computed from it.
#include <gtest/gtest.h>

#include "common/checks.h"
#include "convtest.h"
#include "file/fileread.h"
#include "file/filewrite.h"

TEST(TrackLoopDefaults, BrokenLoopThroughADefaultParameterKeepsItsNodes) {
  OldPresetSpec shape = OldTypicalPreset("loop", 1, 1);
  OldParamSpec& beat = shape.Segments[0].Params[6];  // voice 0, first voice parameter
  beat.Tracking = 1;
  beat.Type = 7;              // follows the visual frequency
  beat.Setting[1][7] = 1000;  // slope 1
  OwnedPresets out;
  const Preset& p = ConvertOne(out, shape);
  ASSERT_EQ(out.P.size(), 1u);
  const Param& vis = ParamOf(p, 0, PID_VISFREQ);
  const Param& b = ParamOf(p, 0, VoicePidOf(0, VP_BEAT));
  EXPECT_EQ(vis.Tracking, 0);
  EXPECT_GE(vis.NumNodes, 2);
  EXPECT_EQ(b.TrackSource, PID_VISFREQ);
  EXPECT_EQ(b.NumNodes, vis.NumNodes);
  // Every curve of the converted preset is one the writer accepts.
  Preset copy{};
  CopyPreset(copy, p);
  Bytes image;
  ByteDev dev = DevFromBuffer(image);
  EXPECT_EQ(WritePresetFile(dev, 0, &copy, 1), 0);
  FreePreset(copy);
}
