// The modulations of the preset editor.
#include "main/modulation.h"

#include "main/arith.h"
#include "main/curveedit.h"
#include "main/preset.h"

namespace {

constexpr int kSoundNone = 16, kVisualNone = 23;  // the "No modulation" rows
constexpr int kInPhase = 12;

const Param* DepthOf(const Param* params, int voice, int base) { return &params[PARAMID(voice, base)]; }

// The right channel follows the left one to one.
void JoinRight(Param* params, const Segment& seg, int first, int paramNum) {
  Param& r = params[first + 1];
  r.Tracking = 1;
  r.TrackSource = static_cast<uint8_t>(first);
  r.Intercept = 0;
  r.Slope = 1000;
  r.MinLimit = ParamDef[paramNum].Min;
  r.MaxLimit = ParamDef[paramNum].Max;
  r.ChannelMode = 0;
  params[first].ChannelMode = 0;
  RecomputeTracked(params, seg, first + 1, first);
  RecomputeDependents(params, seg, first + 1);
}

}  // namespace

int ModulationBaseFor(int paramNum) {
  switch (paramNum) {
    case PN_VOLUME: return MOD_SOUND;
    case PN_BGVOLUME: return MOD_BACKGROUND;
    case PN_VISBRIGHT: return MOD_VISUAL;
    case PN_VISBRIGHT2:
    case PN_VISPHASE: return MOD_VISUAL2;
    case PN_NOISEVOL: return MOD_NOISE;
    default: return -1;
  }
}

bool ModulationIsOn(const Param* params, int voice, int base) {
  const Param* depth = DepthOf(params, voice, base);
  // The engine plays each channel from its own record.
  for (int c = 0; c < ParamDef[base].Channels; ++c) {
    const Param& p = depth[c];
    for (int i = 0; i < CurveNodes(p); ++i)
      if (p.Node[i].Value != 0) return true;
  }
  return false;
}

bool ModulationParamInUse(const Param* params, int voice, int base, int paramNum) {
  if (paramNum == base) return true;
  const int sel = DepthOf(params, voice, base)->EasySel;
  if (base == MOD_NOISE) return sel == 0;
  const int none = base == MOD_VISUAL || base == MOD_VISUAL2 ? kVisualNone : kSoundNone;
  return sel != none;
}

bool ApplyOceanWaves(Param* params, const Segment& seg, int easySel, int nodes) {
  static constexpr int32_t kPeriod[3] = {3000, 2000, 1250};  // ms, for 20, 21, 22
  if (easySel < 19 || easySel > 22) return false;
  if (easySel == 19) return true;
  const int period = PARAMID(0, PN_NOISEMODPERIOD), phase = PARAMID(0, PN_NOISEMODPHASE);
  SetFromEasySelection(params, seg, phase, kInPhase, phase, nodes);
  // The period has no Easy choices: a constant curve, user-defined.
  Param& q = params[period];
  const int32_t value = kPeriod[easySel - 20] * 1000;  // three decimals
  q.Tracking = 0;
  q.ChannelMode = 0;
  q.EasySel = 0;
  q.NumNodes = static_cast<uint8_t>(nodes);
  for (int i = 0; i < nodes; ++i) q.Node[i] = Node{value, static_cast<int16_t>(10000 / (nodes - 1) * i), 10, 1};
  q.Node[nodes - 1].SweepTime = 10000;
  JoinRight(params, seg, period, PN_NOISEMODPERIOD);
  return true;
}
