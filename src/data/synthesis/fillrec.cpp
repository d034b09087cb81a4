// One sweep record from the parameter values at a segment time.
#include <algorithm>
#include <climits>
#include <cstdint>

#include "data/synthesis/options.h"
#include "data/synthesis/sweep.h"
#include "data/synthesis/wavetab.h"
#include "main/arith.h"
#include "main/preset.h"

namespace {

// Values from hand-made files can lie outside the parameter ranges; the
// generator indexes ConvVol by volume and reads modulation offsets by phase,
// so these are clamped here once rather than tested per sample.
int16_t Volume(int32_t v) { return static_cast<int16_t>(std::clamp<int32_t>(v, 0, 10000)); }
uint8_t Percent(int32_t stored) { return static_cast<uint8_t>(std::clamp<int32_t>(stored / 100, 0, 100)); }
int16_t Degrees(int32_t stored) { return static_cast<int16_t>(std::clamp<int32_t>(stored / 100, -360, 360)); }

bool IsPacked(int pid) { return ParamNumOfPid(pid) == PN_WAVEFORM; }

void SegmentValues(const PlaybackState& pb, SweepRecord* r, const int32_t* v) {
  for (int e = 0; e < 2; e++) {
    r->BackgroundVolume[e] = Volume(v[PID_BGVOLUME + e]);
    r->BackgroundModDepth[e] = Percent(v[PID_BGMODDEPTH + e]);
    r->BackgroundModRate[e] = v[PID_BGMODPERIOD + e];
    int32_t div = PowerOfTen[PlayParamDef(pb, PN_BGPARAM).Digits];
    r->BackgroundInterval[e] = pb.PlayBackground.IntervalMode
                                   ? MulDiv(v[PID_BGPARAM + e], pb.Options.SamplesPerSec, div)
                                   : v[PID_BGPARAM + e] / div;
    r->NoiseVolume[e] = Volume(v[PID_NOISEVOL + e]);
    r->NoiseSmoothness[e] = Percent(v[PID_NOISESMOOTH + e]);
    r->NoiseModDepth[e] = Percent(v[PID_NOISEMODDEPTH + e]);
    r->NoiseModRate[e] = v[PID_NOISEMODPERIOD + e];
    r->VisualFrequency[e] = v[PID_VISFREQ + e];
    r->VisualBrightness[e] = v[PID_VISBRIGHT + e];
    r->VisualBrightness2[e] = v[PID_VISBRIGHT2 + e];
    r->VisualModDepth[e] = Percent(v[PID_VISMODDEPTH + e]);
    r->VisualModRate[e] = v[PID_VISMODPERIOD + e];
    r->VisualMod2Depth[e] = Percent(v[PID_VISMOD2DEPTH + e]);
    r->VisualMod2Rate[e] = v[PID_VISMOD2PERIOD + e];
  }
  r->BackgroundPhaseShift = static_cast<int16_t>(std::clamp<int32_t>(v[PID_BGPHASE] / 100, -32768, 32767));
  r->BackgroundModPhase = Degrees(v[PID_BGMODPHASE]);
  r->NoiseModPhase = Degrees(v[PID_NOISEMODPHASE]);
  r->VisualPhase = Degrees(v[PID_VISPHASE]);
  r->VisualModPhase = Degrees(v[PID_VISMODPHASE]);
  r->VisualMod2Phase = Degrees(v[PID_VISMOD2PHASE]);
  r->Reserved = 0;
}

int VoiceValues(PlaybackState& pb, bool wide, VoiceEntry* ve, const Param* params, int voice, const int32_t* v) {
  auto at = [&](int k) { return v[VoicePidOf(voice, k)]; };
  // Pitch is stored in hundredths of a hertz, frequencies in millihertz.
  int scale = PowerOfTen[ParamDef[PN_BEAT].Digits - ParamDef[PN_PITCH].Digits];
  // Values from files span the int32 range: the sums are taken in 64 bits and
  // the frequency saturates.
  int64_t f[2];
  if (HeaderOf(&params[VoicePidOf(voice, VP_PITCH)])->ChannelMode != 0) {
    f[0] = static_cast<int64_t>(at(VP_PITCH)) * scale;
    f[1] = static_cast<int64_t>(at(VP_PITCH + 1)) * scale;
  } else {
    int32_t beat = at(VP_BEAT);
    f[0] = static_cast<int64_t>(at(VP_PITCH)) * scale - beat / 2;
    f[1] = f[0] + beat;
  }
  for (int e = 0; e < 2; e++) {
    ve->Frequency[e] = static_cast<int32_t>(std::min<int64_t>(f[e] < 0 ? -f[e] : f[e], INT32_MAX));
    ve->Volume[e] = Volume(at(VP_VOLUME + e));
    ve->Mod1Depth[e] = Percent(at(VP_MODDEPTH + e));
    ve->Mod1Rate[e] = at(VP_MODPERIOD + e);
    ve->Mod2Depth[e] = 0;
    ve->Mod2Rate[e] = 0;
    if (GetWaveformTable(pb, wide, at(VP_WAVEFORM + e), at(VP_FILTER + e) / 20 * 20, &ve->Table[e]) != 0)
      return CALC_WAVEFORMS;
  }
  ve->Mod1Phase = Degrees(at(VP_MODPHASE));
  ve->Mod2Phase = 0;
  return 0;
}

// The AudioStrobe slot: a 19.2 kHz sine whose volume carries the flash
// (modulation 1, keyed at the visual frequency) and the slow brightness
// modulation (modulation 2). It is filled in every record so that the output
// can switch to AudioStrobe while playing.
int StrobeValues(PlaybackState& pb, const AdvancedOptions& o, VoiceEntry* ve, const SweepRecord* r) {
  int maxLevel = o.AudioStrobeMaxLevel;
  int m = std::min(maxLevel, o.AudioStrobeZeroLevel);
  for (int e = 0; e < 2; e++) {
    int32_t b = std::clamp<int32_t>(r->VisualBrightness[e], 0, 10000);
    ve->Frequency[e] = 19200000;
    ve->Volume[e] = static_cast<int16_t>(b == 0 ? 0 : (maxLevel - m) * b / 100 + m * 100);
    ve->Mod1Rate[e] = -std::max(r->VisualFrequency[e], -INT32_MAX);  // INT32_MIN has no negative
    ve->Mod1Depth[e] = static_cast<uint8_t>(r->VisualFrequency[e] != 0 ? 100 - m : 0);
    ve->Mod2Depth[e] = static_cast<uint8_t>((100 - m) * r->VisualModDepth[e] / 100);
    ve->Mod2Rate[e] = r->VisualModRate[e];
  }
  ve->Mod1Phase = r->VisualPhase;
  ve->Mod2Phase = r->VisualModPhase;
  if (GetWaveformTable(pb, o.Bits16 != 0, ASWAVE_SINE, FILTER_NONE, &ve->Table[0]) != 0) return CALC_WAVEFORMS;
  ve->Table[1] = ve->Table[0];
  return 0;
}

}  // namespace

SweepRecord* NextSweepRecord(PlaybackState& pb, SweepRecord* rec, bool commit) {
  SweepRecord* next = FollowingRecord(rec);
  if (commit) {
    size_t end = static_cast<size_t>(reinterpret_cast<unsigned char*>(next) - pb.SweepData.Base) + 2 * MAXSWEEPRECORD;
    if (!EnsureSweepData(pb, end)) return nullptr;
  }
  return next;
}

SweepRecord* FillSweepRecord(PlaybackState& pb, const Preset& preset, int segIndex, ProgressRecord* progress, int time,
                             SweepRecord* rec, int* status) {
  const Segment& seg = preset.data.Segment[segIndex];
  const Param* params = SegParams(preset, segIndex);
  int voices = std::clamp<int>(seg.NumVoices, 1, MAXVOICES);
  int count = NSPAR + NVPAR * voices;
  size_t need = static_cast<size_t>(reinterpret_cast<unsigned char*>(rec) - pb.SweepData.Base) + 2 * MAXSWEEPRECORD;
  if (!EnsureSweepData(pb, need)) {
    *status = CALC_TOOCOMPLEX;
    return nullptr;
  }
  int32_t v[NPARAMS];
  for (int j = 0; j < count; j++) {
    bool packed = IsPacked(j);
    if (progress) {
      progress[j].CurValue =
          packed ? InterpolatePackedProgress(progress[j], time) : InterpolateProgress(progress[j], time);
      v[j] = progress[j].CurValue;
    } else {
      v[j] = packed ? CurveValuePacked(params[j], time) : CurveValue(params[j], time);
    }
  }
  rec->Blocks = 0;
  rec->RepeatCount = 0;
  rec->NumVoices = static_cast<uint8_t>(voices);
  rec->NoiseInsideHead = seg.NoiseInsideHead ? 1 : 0;
  rec->RepeatTarget = nullptr;
  SegmentValues(pb, rec, v);
  for (int i = 0; i < voices; i++) {
    if (VoiceValues(pb, pb.Options.Bits16 != 0, &rec->Voice[i], params, i, v) != 0) {
      *status = CALC_WAVEFORMS;
      return nullptr;
    }
  }
  if (StrobeValues(pb, pb.Options, &rec->Voice[voices], rec) != 0) {
    *status = CALC_WAVEFORMS;
    return nullptr;
  }
  *status = 0;
  return FollowingRecord(rec);
}
