#include "benchpreset.h"

#include <cstring>

#include "data/engine.h"
#include "engine/startup.h"
#include "main/preset.h"

PlaybackState BenchPlayback;

void BenchStartUp() {
  static bool done = false;
  if (done) return;
  done = true;
  EngineSetup setup;
  setup.ScanLibraries = false;
  EngineStartup(setup);
}

void BenchRecord(int voices, bool wide, bool mod, bool noise) {
  AdvancedOptions o;
  o.Bits16 = wide ? 1 : 0;
  TakeEngineOptions(BenchPlayback, o);
  ResetWaveformCache(BenchPlayback);
  ResetOscillators(BenchPlayback);
  EnsureSweepData(BenchPlayback, 2 * MAXSWEEPRECORD);
  auto* r = FirstSweepRecord(BenchPlayback);
  std::memset(static_cast<void*>(r), 0, MAXSWEEPRECORD);
  r->NumVoices = static_cast<uint8_t>(voices);
  for (int i = 0; i <= voices; i++) {
    VoiceEntry& v = r->Voice[i];
    GetWaveformTable(BenchPlayback, BenchPlayback.Options.Bits16 != 0, ASWAVE_SINE, FILTER_NONE, &v.Table[0]);
    v.Table[1] = v.Table[0];
    v.Frequency[0] = 100000 + 37000 * i;
    v.Frequency[1] = v.Frequency[0] + 10000;
    v.Volume[0] = v.Volume[1] = 10000;
    if (mod) {
      v.Mod1Depth[0] = v.Mod1Depth[1] = 50;
      v.Mod1Rate[0] = v.Mod1Rate[1] = 700000;
      v.Mod1Phase = 90;
      v.Mod2Depth[0] = v.Mod2Depth[1] = 30;
      v.Mod2Rate[0] = v.Mod2Rate[1] = -3000;
    }
  }
  r->NoiseVolume[0] = r->NoiseVolume[1] = noise ? 5000 : 0;
  r->NoiseSmoothness[0] = r->NoiseSmoothness[1] = 40;
  r->NoiseModDepth[0] = r->NoiseModDepth[1] = mod ? 50 : 0;
  r->NoiseModRate[0] = r->NoiseModRate[1] = 5000000;
  BenchPlayback.SweepDataVoices = voices;
  BenchPlayback.ExtraSourceShare = noise ? 1 : 0;
  BenchPlayback.NoiseOn = noise;
  BenchPlayback.AudioStrobeOn = 0;
  BenchPlayback.FreezeState = 0;
  StartSweepWalk(BenchPlayback, r);
}

void BenchPreset(Preset& p, int segments, int voices, int nodes) {
  NewDefaultPreset(p, 3);
  p.data.NumSegments = static_cast<uint8_t>(segments);
  for (int s = 0; s < segments; s++) {
    Param* params = CommitSegmentSlot(p, s, voices);
    p.data.Segment[s] = p.data.Segment[0];
    FillDefaultSegment(params, p.data.Segment[s], voices, 3);
    RecomputeAllTracked(BackgroundParamRow{}, params, p.data.Segment[s]);
    if (nodes <= 3) continue;
    for (int j = 0; j < SegParamCount(p.data.Segment[s]); j++) {
      Param& q = params[j];
      int32_t v0 = q.Node[0].Value, v1 = q.Node[q.NumNodes - 1].Value;
      bool packed = ParamNumOfPid(j) == PN_WAVEFORM;
      q.NumNodes = static_cast<uint8_t>(nodes);
      q.Tracking = 0;
      for (int k = 0; k < nodes; k++) {
        Node& n = q.Node[k];
        n.SweepTime = static_cast<int16_t>(k == nodes - 1 ? 10000 : k * 10000 / (nodes - 1));
        // A straight course from start to end with a wiggle of 1 %.
        int64_t v = v0 + static_cast<int64_t>(v1 - v0) * k / (nodes - 1);
        if (!packed) v += (k % 2 ? 1 : -1) * (v / 100);
        n.Value = packed ? v0 : static_cast<int32_t>(v);
        n.Weight = static_cast<uint8_t>(k % 21);
        n.Symmetric = 1;
      }
    }
  }
}
