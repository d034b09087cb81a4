// A plain per-sample rendering of voices and noise written directly from the
// generator's rules (two-word accumulators, refresh flags per sample), used to
// check the optimised generator sample for sample.
#pragma once
#include <cmath>
#include <cstdint>

#include "data/synthesis/noise.h"
#include "data/synthesis/records.h"
#include "data/synthesis/wavetab.h"

namespace ref {

struct Acc {
  int32_t Index = 0;
  int32_t Frac = 0;
};
struct Step {
  int32_t Int = 0, Frac = 0;
  double Exact = 0;
};
struct Slot {
  Acc Tone[2];
  Acc Mod[2][2] = {{{6144, 0}, {6144, 0}}, {{6144, 0}, {6144, 0}}};  // [k][ear]
  int32_t Volume[2] = {0, 0};
};

inline Step StepFor(double hz, int rate) {
  double x = hz * 8192 / rate;
  Step s;
  s.Exact = x;
  s.Int = static_cast<int32_t>(std::trunc(x));
  s.Frac = static_cast<int32_t>(std::round((x - std::trunc(x)) * 268435456.0));
  return s;
}
inline double RateHz(int32_t p) { return p > 0 ? 1000000.0 / p : (p < 0 ? -static_cast<double>(p) / 1000.0 : 0.0); }

// Returns true when the index wrapped past 8191.
inline bool Advance(Acc& a, const Step& s) {
  a.Frac += s.Frac;
  if (a.Frac > 268435455) {
    a.Frac -= 268435456;
    a.Index += 1;
  }
  a.Index += s.Int;
  bool wrapped = a.Index > 8191;
  a.Index %= 8192;
  return wrapped;
}

inline void RenderSlot(Slot& st, const VoiceEntry& v, void* out, int frames, int g, bool first, const int8_t* mt,
                       bool wide, bool invert, int rate) {
  Step tone[2], mod[2][2];
  int32_t D[2][2], B[2][2], O[2];
  bool on[2][2];
  const uint8_t* depth[2] = {v.Mod1Depth, v.Mod2Depth};
  const int32_t* rates[2] = {v.Mod1Rate, v.Mod2Rate};
  int16_t phase[2] = {v.Mod1Phase, v.Mod2Phase};
  int flags[2];
  Acc toneStart[2], mod1Start[2];
  for (int e = 0; e < 2; e++) {
    tone[e] = StepFor(v.Frequency[e] / 1000.0, rate);
    for (int k = 0; k < 2; k++) {
      on[k][e] = depth[k][e] != 0;
      D[k][e] = on[k][e] ? v.Volume[e] * depth[k][e] / 100 : 0;
      B[k][e] = v.Volume[e] - D[k][e];
      mod[k][e] = on[k][e] ? StepFor(RateHz(rates[k][e]), rate) : Step{};
    }
    flags[e] = (st.Tone[e].Index >= 4096 ? 2 : 0) | (st.Tone[e].Index == 0 ? 1 : 0);
    toneStart[e] = st.Tone[e];
    mod1Start[e] = st.Mod[0][e];
  }
  for (int k = 0; k < 2; k++) O[k] = phase[k] * 8192 / 360 + 8192;
  for (int n = 0; n < frames; n++) {
    for (int e = 0; e < 2; e++) {
      if (flags[e] & 1) {
        int32_t part[2];
        for (int k = 0; k < 2; k++) {
          int idx = e == 0 ? st.Mod[k][e].Index : (st.Mod[k][e].Index + O[k]) % 8192;
          part[k] = B[k][e] + (mt[idx] + 129) * D[k][e] / 256;
        }
        if (on[0][e] && on[1][e])
          st.Volume[e] = part[0] * part[1] / 10000;
        else if (on[0][e])
          st.Volume[e] = part[0];
        else if (on[1][e])
          st.Volume[e] = part[1];
        else
          st.Volume[e] = v.Volume[e];
        flags[e] &= ~1;
      }
      int32_t w = wide ? static_cast<const int16_t*>(v.Table[e])[st.Tone[e].Index]
                       : static_cast<const int8_t*>(v.Table[e])[st.Tone[e].Index];
      int32_t s = (w * ConvVol[st.Volume[e]] * g / 1024) / 64;
      int ch = invert ? 1 - e : e;
      if (wide) {
        int16_t* o = static_cast<int16_t*>(out) + 2 * n + ch;
        *o = static_cast<int16_t>(first ? s : *o + s);
      } else {
        uint8_t* o = static_cast<uint8_t*>(out) + 2 * n + ch;
        *o = static_cast<uint8_t>(first ? s + 128 : *o + s);
      }
      if (Advance(st.Tone[e], tone[e]))
        flags[e] = 1;
      else if (st.Tone[e].Index >= 4096 && !(flags[e] & 2))
        flags[e] = 3;
    }
    for (int e = 0; e < 2; e++)
      for (int k = 0; k < 2; k++)
        if (on[k][e]) Advance(st.Mod[k][e], mod[k][e]);
  }
  for (int e = 0; e < 2; e++) {
    if (!on[0][e]) continue;
    // The tone advanced by exactly F quantised steps.
    double quant = static_cast<double>(static_cast<uint64_t>(frames) * ((static_cast<uint64_t>(tone[e].Int) << 28) +
                                                                        static_cast<uint64_t>(tone[e].Frac))) /
                   268435456.0;
    double start = mod1Start[e].Index + mod1Start[e].Frac / 268435456.0;
    double p = start + frames * mod[0][e].Exact + (quant - frames * tone[e].Exact);
    p = std::fmod(p, 8192.0);
    if (p < 0) p += 8192.0;
    uint64_t fixed = static_cast<uint64_t>(p * 268435456.0) & ((uint64_t(8192) << 28) - 1);
    st.Mod[0][e].Index = static_cast<int32_t>(fixed >> 28);
    st.Mod[0][e].Frac = static_cast<int32_t>(fixed & 268435455);
  }
}

struct Noise {
  int32_t Y[2] = {0, 0};
  Acc Mod[2] = {{6144, 0}, {6144, 0}};
};

inline void MixNoise(Noise& st, void* out, int frames, int g, const SweepRecord* r, bool wide, bool invert, int rate,
                     uint32_t seed) {
  NoiseCoefficients c[2];
  Step ms[2];
  int32_t D[2], B[2];
  for (int e = 0; e < 2; e++) {
    c[e] = NoiseCoefficientsOf(r->NoiseSmoothness[e]);
    if (c[e].A == 128) st.Y[e] = 0;
    D[e] = r->NoiseVolume[e] * r->NoiseModDepth[e] / 100;
    B[e] = r->NoiseVolume[e] - D[e];
    ms[e] = StepFor(RateHz(r->NoiseModRate[e]), rate);
  }
  int32_t O = r->NoiseModPhase * 8192 / 360 + 8192;
  uint32_t x = seed;
  for (int n = 0; n < frames; n++) {
    int32_t v[2];
    for (int e = 0; e < 2; e++) {
      if (e == 1 && r->NoiseInsideHead) {
        v[1] = -v[0];
        break;
      }
      x = x * 22695477u + 1;
      uint32_t rr = x >> 16;
      uint32_t yp = static_cast<uint32_t>((c[e].A * st.Y[e]) >> 7) * 65536u + rr * c[e].M;
      v[e] = (static_cast<int32_t>(yp / c[e].Q) - 32768) * g;
      st.Y[e] = static_cast<int32_t>(yp) / 65536;
    }
    for (int e = 0; e < 2; e++) {
      int idx = e == 0 ? st.Mod[e].Index : (st.Mod[e].Index + O) % 8192;
      int32_t I = B[e] + (SineData8[idx] + 129) * D[e] / 256;
      Advance(st.Mod[e], ms[e]);
      int32_t s = static_cast<int32_t>((static_cast<int64_t>(ConvVol[I]) * v[e] / 1024) / 64);
      if (!wide) s /= 256;  // noise values are 16-bit wide; 8-bit output takes them at its scale
      int ch = invert ? 1 - e : e;
      if (wide) {
        int16_t* o = static_cast<int16_t*>(out) + 2 * n + ch;
        *o = static_cast<int16_t>(*o + s);
      } else {
        uint8_t* o = static_cast<uint8_t*>(out) + 2 * n + ch;
        *o = static_cast<uint8_t>(*o + s);
      }
    }
  }
}

}  // namespace ref
