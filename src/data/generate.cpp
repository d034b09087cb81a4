// Voices and the AudioStrobe slot of the sample generator.
//
// Each slot is rendered by a routine specialised at compile time by output
// width, first or later slot, the two modulations and InvertSound. The volume
// of a tone only changes at its half cycles (index 0 and 4096), so instead of
// testing flags per sample the loop runs straight to the next frame at which
// either ear's accumulator reaches its next boundary, and the volume (with
// its modulation) is recomputed there. Phase accumulators are the 64-bit form
// of state.h; modulation indices are derived from their block-start value,
// start + n * step, which is exactly the accumulator after n steps.
#include "data/generate.h"

#include <algorithm>
#include <cmath>

#include "data/background.h"
#include "data/noise.h"
#include "data/options.h"
#include "data/state.h"
#include "data/walk.h"
#include "data/wavetab.h"

namespace {

constexpr double FRACSCALE = 268435456.0;  // 2^28

uint64_t StepOf(double x) {
  double ip = std::trunc(x);
  double frac = std::round((x - ip) * FRACSCALE);
  return (static_cast<uint64_t>(ip) << PHASE_FRACBITS) + static_cast<uint64_t>(frac);
}

// Advances before the first one that makes acc reach target (at least 1).
int64_t FramesUntil(uint64_t acc, uint64_t target, uint64_t step) {
  if (step == 0) return INT64_MAX;
  if (acc >= target) return 1;
  return static_cast<int64_t>((target - acc + step - 1) / step);
}

struct Ear {
  uint64_t Acc, Step;
  double Exact;
  bool Half, Refresh;
  int64_t Next;  // frames until the next boundary
  int32_t Index, Gain;
  // Modulation k (0, 1): start accumulator, step, exact rate, split volume.
  uint64_t ModStart[2], ModStep[2];
  double ModExact[2];
  int32_t Base[2], Depth[2];
  int32_t Offset[2];  // right ear phase offset in table entries
  bool ModOn[2];
};

void Boundary(Ear& e) {
  e.Next = e.Half ? FramesUntil(e.Acc, PHASE_LIMIT, e.Step) : FramesUntil(e.Acc, PHASE_HALF, e.Step);
}

template <bool M1, bool M2>
int32_t VolumeAt(const Ear& e, int32_t volume, int64_t n, const int8_t* modTable) {
  if constexpr (!M1 && !M2) {
    return volume;
  } else {
    int32_t part[2];
    bool on[2] = {M1 && e.ModOn[0], M2 && e.ModOn[1]};
    for (int k = 0; k < 2; k++) {
      if (!on[k]) continue;
      uint64_t acc = (e.ModStart[k] + static_cast<uint64_t>(n) * e.ModStep[k]) & PHASE_MASK;
      int idx = (static_cast<int>(acc >> PHASE_FRACBITS) + e.Offset[k]) & (WAVELEN - 1);
      part[k] = e.Base[k] + (modTable[idx] + 129) * e.Depth[k] / 256;
    }
    if (on[0] && on[1]) return part[0] * part[1] / 10000;
    if (on[0]) return part[0];
    if (on[1]) return part[1];
    return volume;
  }
}

template <bool Wide>
using Sample = std::conditional_t<Wide, int16_t, int8_t>;
template <bool Wide>
using Out = std::conditional_t<Wide, int16_t, uint8_t>;

// Renders `run` frames of both ears without any boundary inside.
template <bool Wide, bool First, bool Invert>
void Run(Out<Wide>* out, int64_t run, Ear& l, Ear& r, const Sample<Wide>* tl, const Sample<Wide>* tr) {
  constexpr int L = Invert ? 1 : 0, R = Invert ? 0 : 1;
  uint64_t al = l.Acc, ar = r.Acc;
  const uint64_t sl = l.Step, sr = r.Step;
  const int32_t gl = l.Gain, gr = r.Gain;
  for (int64_t i = 0; i < run; i++) {
    // trunc(trunc(w * ConvVol[I] * g / 1024) / 64) is one truncating
    // division by 65536; Gain holds ConvVol[I] * g.
    int32_t vl = tl[al >> PHASE_FRACBITS] * gl / 65536;
    int32_t vr = tr[ar >> PHASE_FRACBITS] * gr / 65536;
    if constexpr (First) {
      if constexpr (Wide) {
        out[2 * i + L] = static_cast<int16_t>(vl);
        out[2 * i + R] = static_cast<int16_t>(vr);
      } else {
        out[2 * i + L] = static_cast<uint8_t>(vl + 128);
        out[2 * i + R] = static_cast<uint8_t>(vr + 128);
      }
    } else {
      out[2 * i + L] = static_cast<Out<Wide>>(out[2 * i + L] + vl);
      out[2 * i + R] = static_cast<Out<Wide>>(out[2 * i + R] + vr);
    }
    al += sl;
    ar += sr;
  }
  l.Acc = al;
  r.Acc = ar;
}

void AfterRun(Ear& e, int64_t run) {
  if (e.Next == INT64_MAX) return;
  e.Next -= run;
  if (e.Next > 0) return;
  if (e.Acc >= PHASE_LIMIT) {
    e.Acc &= PHASE_MASK;
    e.Half = false;
    e.Refresh = true;
  } else if (e.Acc >= PHASE_HALF && !e.Half) {
    e.Half = true;
    e.Refresh = true;
  }
  Boundary(e);
}

template <bool Wide, bool First, bool M1, bool M2, bool Invert>
void RenderSlotT(SlotState& st, const VoiceEntry& v, void* buffer, int frames, int gain, const int8_t* modTable) {
  const int rate = EngineOptions.SamplesPerSec;
  Ear ear[2];
  const uint8_t* depth[2] = {v.Mod1Depth, v.Mod2Depth};
  const int32_t* rates[2] = {v.Mod1Rate, v.Mod2Rate};
  const int16_t phase[2] = {v.Mod1Phase, v.Mod2Phase};
  for (int e = 0; e < 2; e++) {
    Ear& x = ear[e];
    x.Acc = st.Tone[e] & PHASE_MASK;
    x.Step = ToneStep(v.Frequency[e], rate, &x.Exact);
    uint64_t idx = x.Acc >> PHASE_FRACBITS;
    x.Half = idx >= 4096;
    x.Refresh = idx == 0;
    x.Index = st.VolumeIndex[e];
    x.Gain = ConvVol[std::clamp(x.Index, 0, 10000)] * gain;
    uint64_t starts[2] = {st.Mod1[e], st.Mod2[e]};
    for (int k = 0; k < 2; k++) {
      x.ModOn[k] = depth[k][e] != 0;
      x.ModStart[k] = starts[k] & PHASE_MASK;
      x.ModStep[k] = 0;
      x.ModExact[k] = 0;
      int32_t vol = v.Volume[e];
      x.Depth[k] = x.ModOn[k] ? vol * depth[k][e] / 100 : 0;
      x.Base[k] = vol - x.Depth[k];
      if (x.ModOn[k]) x.ModStep[k] = RateStep(rates[k][e], rate, &x.ModExact[k]);
      x.Offset[k] = e == 0 ? 0 : phase[k] * 8192 / 360 + 8192;
    }
    Boundary(x);
  }
  auto* out = static_cast<Out<Wide>*>(buffer);
  const auto* tl = static_cast<const Sample<Wide>*>(v.Table[0]);
  const auto* tr = static_cast<const Sample<Wide>*>(v.Table[1]);
  int64_t n = 0;
  while (n < frames) {
    for (Ear& x : ear) {
      if (!x.Refresh) continue;
      x.Index = VolumeAt<M1, M2>(x, v.Volume[&x - ear], n, modTable);
      x.Gain = ConvVol[x.Index] * gain;
      x.Refresh = false;
    }
    int64_t run = std::min({ear[0].Next, ear[1].Next, static_cast<int64_t>(frames) - n});
    Run<Wide, First, Invert>(out + 2 * n, run, ear[0], ear[1], tl, tr);
    n += run;
    AfterRun(ear[0], run);
    AfterRun(ear[1], run);
  }
  for (int e = 0; e < 2; e++) {
    Ear& x = ear[e];
    st.Tone[e] = x.Acc & PHASE_MASK;
    st.VolumeIndex[e] = x.Index;
    if (x.ModOn[1]) st.Mod2[e] = (x.ModStart[1] + static_cast<uint64_t>(frames) * x.ModStep[1]) & PHASE_MASK;
    if (x.ModOn[0]) {
      // Modulation 1 keeps its exact rate and follows the tone's rounding
      // drift: start + F * exact step + (F * quantised tone step - F * exact
      // tone step), in table entries, reduced to 0..8192 and truncated to a
      // 28-bit fraction.
      double start = static_cast<double>(x.ModStart[0]) / FRACSCALE;
      double toneAdvance = static_cast<double>(static_cast<uint64_t>(frames) * x.Step) / FRACSCALE;
      double phaseNow = start + frames * x.ModExact[0] + (toneAdvance - frames * x.Exact);
      phaseNow = std::fmod(phaseNow, 8192.0);
      if (phaseNow < 0) phaseNow += 8192.0;
      st.Mod1[e] = static_cast<uint64_t>(phaseNow * FRACSCALE) & PHASE_MASK;
    }
  }
}

using SlotFn = void (*)(SlotState&, const VoiceEntry&, void*, int, int, const int8_t*);

template <bool Wide, bool First, bool M1, bool M2>
SlotFn Pick4(bool invert) {
  return invert ? RenderSlotT<Wide, First, M1, M2, true> : RenderSlotT<Wide, First, M1, M2, false>;
}
template <bool Wide, bool First>
SlotFn Pick3(bool m1, bool m2, bool invert) {
  if (m1) return m2 ? Pick4<Wide, First, true, true>(invert) : Pick4<Wide, First, true, false>(invert);
  return m2 ? Pick4<Wide, First, false, true>(invert) : Pick4<Wide, First, false, false>(invert);
}
SlotFn Pick(bool wide, bool first, bool m1, bool m2, bool invert) {
  if (wide) return first ? Pick3<true, true>(m1, m2, invert) : Pick3<true, false>(m1, m2, invert);
  return first ? Pick3<false, true>(m1, m2, invert) : Pick3<false, false>(m1, m2, invert);
}

const int8_t* StrobeModTable() {
  switch (EngineOptions.AudioStrobeWaveform) {
    case ASWAVE_TRIANGULAR: return TriangularData8;
    case ASWAVE_RECTANGULAR: return RectangularData8;
    case ASWAVE_STEEP: return SteepRectangularData8;
    default: return SineData8;
  }
}

}  // namespace

uint64_t ToneStep(int32_t millihertz, int rate, double* exact) {
  double f = millihertz / 1000.0;
  double x = f * 8192 / rate;
  *exact = x;
  return StepOf(x);
}

uint64_t RateStep(int32_t r, int sampleRate, double* exact) {
  double f = r > 0 ? 1000000.0 / r : (r < 0 ? -static_cast<double>(r) / 1000.0 : 0.0);
  double x = f * 8192 / sampleRate;
  *exact = x;
  return StepOf(x);
}

int VoiceGain(bool strobe) {
  int sources = std::max(1, SweepDataVoices + ExtraSourceShare);
  int p = strobe ? (100 - EngineOptions.AudioStrobeMaxLevel / 2) / sources : 100 / sources;
  return p * 64 / 100;
}

void RenderSlot(int slot, const VoiceEntry& v, void* out, int frames, int gain, bool first, const int8_t* modTable) {
  bool m1 = v.Mod1Depth[0] || v.Mod1Depth[1], m2 = v.Mod2Depth[0] || v.Mod2Depth[1];
  Pick(EngineOptions.Bits16 != 0, first, m1, m2, EngineOptions.InvertSound != 0)(Osc[slot], v, out, frames, gain,
                                                                                 modTable);
}

int GenerateBlock(void* buffer) {
  if (AdvanceSweep()) return 1;
  std::lock_guard<std::mutex> lock(hBackgroundMutex);
  const SweepRecord* r = CurrentRecord;
  bool wide = EngineOptions.Bits16 != 0;
  int frames = BlockBytes / (wide ? 4 : 2);
  bool strobe = AudioStrobeOn.load(std::memory_order_relaxed) != 0;
  int gain = VoiceGain(strobe);
  for (int i = 0; i < r->NumVoices; i++) RenderSlot(i, r->Voice[i], buffer, frames, gain, i == 0, SineData8);
  if (strobe) RenderSlot(MAXVOICES, StrobeSlot(r), buffer, frames, STROBE_GAIN, false, StrobeModTable());
  bool invert = EngineOptions.InvertSound != 0;
  MixBackground(buffer, frames, gain, r, wide, invert);
  if (NoiseOn) MixNoise(buffer, frames, gain, r, wide, invert);
  return 0;
}
