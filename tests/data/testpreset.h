// Presets for the engine tests, built from the default content.
#pragma once
#include <initializer_list>
#include <utility>

#include "data/synthesis/options.h"
#include "data/synthesis/state.h"
#include "data/synthesis/wavetab.h"
#include "data/testrecord.h"
#include "main/model.h"
#include "main/preset.h"

struct TestPreset {
  Preset P{};
  // Every curve is made steady at its first value: rewritten to two nodes,
  // or keeping the default content's three nodes (and their times).
  enum Nodes { TwoNodes, DefaultNodes };
  explicit TestPreset(int voices = 1, int segments = 1, Nodes nodes = TwoNodes) {
    NewDefaultPreset(P, 3);
    P.data.ContinuePlaying = 0;
    for (int s = 0; s < segments; s++) {
      Param* params = CommitSegmentSlot(P, s, voices);
      P.data.Segment[s] = P.data.Segment[0];
      FillDefaultSegment(params, P.data.Segment[s], voices, 3);
      RecomputeAllTracked(BackgroundParamRow{}, params, P.data.Segment[s]);
      P.data.Segment[s].Repeat = 1;
      P.data.Segment[s].Length = 1000;
      // Steady by default: each test moves what it needs.
      for (int j = 0; j < SegParamCount(P.data.Segment[s]); j++) {
        Param& p = params[j];
        int32_t v = p.Node[0].Value;
        if (nodes == DefaultNodes) {
          for (int k = 0; k < p.NumNodes; k++) p.Node[k].Value = v;
        } else {
          Set(s, j, {{0, v}, {10000, v}});
        }
      }
    }
    P.data.NumSegments = static_cast<uint8_t>(segments);
  }
  ~TestPreset() { FreePreset(P); }
  Param& At(int s, int pid) { return SegParams(P, s)[pid]; }
  Segment& Seg(int s) { return P.data.Segment[s]; }
  // Replaces a curve by straight-line nodes (time, value), tracking off.
  void Set(int s, int pid, std::initializer_list<std::pair<int, int32_t>> nodes, int weight = 10) {
    Param& p = At(s, pid);
    p.NumNodes = 0;
    for (auto [t, v] : nodes) {
      Node& n = p.Node[p.NumNodes++];
      n.Value = v;
      n.SweepTime = static_cast<int16_t>(t);
      n.Weight = static_cast<uint8_t>(weight);
      n.Symmetric = 1;
    }
    p.Tracking = 0;
  }
  // Both channels of a two-channel parameter.
  void Set2(int s, int pid, std::initializer_list<std::pair<int, int32_t>> nodes, int weight = 10) {
    Set(s, pid, nodes, weight);
    Set(s, pid + 1, nodes, weight);
  }
};

// Engine set-up shared by the tests: default options with the given changes.
inline void EngineSetUp(const AdvancedOptions& o = AdvancedOptions{}) {
  InitEngineTables();
  TakeEngineOptions(TestRecord, o);
  ResetWaveformCache(TestRecord);
  TestRecord.ExtraSourceShare = 0;
  TestRecord.AudioStrobeOn = 0;
  TestRecord.FreezeState = 0;
  TestRecord.BackgroundFrames = 0;
  ResetOscillators(TestRecord);
}
