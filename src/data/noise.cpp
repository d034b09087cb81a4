// Noise: a per-frame linear congruential draw through a one-pole low-pass
// whose coefficient comes from the smoothness, with volume modulation
// refreshed at every frame. Specialised at compile time by width,
// InvertSound, inside-the-head and modulation.
#include "data/noise.h"

#include <algorithm>

#include "data/generate.h"
#include "data/options.h"
#include "data/state.h"
#include "data/wavetab.h"
#include "platform/rand.h"

namespace {

constexpr uint32_t LCG_A = 22695477u;
// Two steps at once: x2 = x * A^2 + (A + 1), so the left and right draws of a
// frame do not wait for each other.
constexpr uint32_t LCG_A2 = LCG_A * LCG_A;
constexpr uint32_t LCG_C2 = LCG_A + 1;

// Exact unsigned 32-bit division by a divisor fixed for the block:
// q = (n * ceil(2^64 / d)) >> 64 is exact for every 32-bit n and d >= 2.
struct Divider {
  uint64_t Magic;
  bool One;
  explicit Divider(uint32_t d) : Magic(d > 1 ? UINT64_MAX / d + 1 : 0), One(d <= 1) {}
  uint32_t operator()(uint32_t n) const {
    if (One) return n;
    return static_cast<uint32_t>((static_cast<unsigned __int128>(Magic) * n) >> 64);
  }
};

struct NoiseEar {
  int32_t A;
  uint32_t M;
  Divider Div{1};
  int32_t Y;
  int32_t Volume, Base, Depth, Offset;
  uint64_t Mod, ModStep;
};

// One filter step: returns the value y'/Q - 32768 and updates y.
inline int32_t Filter(NoiseEar& e, uint32_t r) {
  uint32_t yp = (static_cast<uint32_t>((e.A * e.Y) >> 7) << 16) + r * e.M;
  int32_t v = static_cast<int32_t>(e.Div(yp)) - 32768;
  e.Y = static_cast<int32_t>(yp) / 65536;
  return v;
}

template <bool Mod>
inline int32_t NoiseVolumeAt(NoiseEar& e) {
  if constexpr (!Mod) {
    return e.Volume;
  } else {
    int idx = (static_cast<int>(e.Mod >> PHASE_FRACBITS) + e.Offset) & (WAVELEN - 1);
    int32_t i = e.Base + (SineData8[idx] + 129) * e.Depth / 256;
    e.Mod = (e.Mod + e.ModStep) & PHASE_MASK;
    return i;
  }
}

template <bool Wide>
inline void Add(void* out, int64_t at, int32_t s) {
  if constexpr (Wide) {
    int16_t* o = static_cast<int16_t*>(out) + at;
    *o = static_cast<int16_t>(*o + s);
  } else {
    uint8_t* o = static_cast<uint8_t*>(out) + at;
    *o = static_cast<uint8_t>(*o + s);
  }
}

template <bool Wide, bool Invert, bool Inside, bool Mod>
void NoiseT(void* out, int frames, int gain, NoiseEar* ear, uint32_t x) {
  constexpr int L = Invert ? 1 : 0, R = Invert ? 0 : 1;
  NoiseEar& l = ear[0];
  NoiseEar& r = ear[1];
  // Without modulation ConvVol[I] * g is fixed for the block.
  const int64_t fixedL = static_cast<int64_t>(ConvVol[l.Volume]) * gain;
  const int64_t fixedR = static_cast<int64_t>(ConvVol[r.Volume]) * gain;
  for (int64_t n = 0; n < frames; n++) {
    int32_t vl, vr;
    if constexpr (Inside) {
      x = x * LCG_A + 1;
      vl = Filter(l, x >> 16);
      vr = -vl;
    } else {
      uint32_t x1 = x * LCG_A + 1;
      x = x * LCG_A2 + LCG_C2;
      vl = Filter(l, x1 >> 16);
      vr = Filter(r, x >> 16);
    }
    int64_t cl = Mod ? static_cast<int64_t>(ConvVol[NoiseVolumeAt<Mod>(l)]) * gain : fixedL;
    int64_t cr = Mod ? static_cast<int64_t>(ConvVol[NoiseVolumeAt<Mod>(r)]) * gain : fixedR;
    // trunc(trunc(ConvVol[I] * (v * g) / 1024) / 64) as one division.
    Add<Wide>(out, 2 * n + L, static_cast<int32_t>(cl * vl / 65536));
    Add<Wide>(out, 2 * n + R, static_cast<int32_t>(cr * vr / 65536));
  }
}

using NoiseFn = void (*)(void*, int, int, NoiseEar*, uint32_t);

template <bool Wide, bool Invert>
NoiseFn Pick2(bool inside, bool mod) {
  if (inside) return mod ? NoiseT<Wide, Invert, true, true> : NoiseT<Wide, Invert, true, false>;
  return mod ? NoiseT<Wide, Invert, false, true> : NoiseT<Wide, Invert, false, false>;
}
NoiseFn Pick(bool wide, bool invert, bool inside, bool mod) {
  if (wide) return invert ? Pick2<true, true>(inside, mod) : Pick2<true, false>(inside, mod);
  return invert ? Pick2<false, true>(inside, mod) : Pick2<false, false>(inside, mod);
}

}  // namespace

NoiseCoefficients NoiseCoefficientsOf(int smoothness) {
  int32_t a = std::clamp(smoothness, 0, 100) * 128 / 100;
  int32_t q = ((16384 - a * (a + 128)) * a + 2097152) >> 7;
  uint32_t m = static_cast<uint32_t>(16384 - a * a);
  return {a, static_cast<uint32_t>(std::max(q, 1)), (m * m) >> 14};
}

void MixNoise(void* out, int frames, int gain, const SweepRecord* r, bool wide, bool invert) {
  NoiseEar ear[2];
  bool mod = false;
  int rate = EngineOptions.SamplesPerSec;
  for (int e = 0; e < 2; e++) {
    NoiseEar& x = ear[e];
    NoiseCoefficients c = NoiseCoefficientsOf(r->NoiseSmoothness[e]);
    x.A = c.A;
    x.M = c.M;
    x.Div = Divider(c.Q);
    if (c.A == 128) NoiseOsc.Y[e] = 0;  // the fully smoothed filter restarts each block
    x.Y = NoiseOsc.Y[e];
    x.Volume = std::clamp<int32_t>(r->NoiseVolume[e], 0, 10000);
    x.Depth = x.Volume * r->NoiseModDepth[e] / 100;
    x.Base = x.Volume - x.Depth;
    x.Offset = e == 0 ? 0 : r->NoiseModPhase * 8192 / 360 + 8192;
    double exact;
    x.ModStep = RateStep(r->NoiseModRate[e], rate, &exact);
    x.Mod = NoiseOsc.Mod[e] & PHASE_MASK;
    if (r->NoiseModDepth[e] != 0) mod = true;
  }
  uint32_t seed = static_cast<uint32_t>(plat::Random());
  Pick(wide, invert, r->NoiseInsideHead != 0, mod)(out, frames, gain, ear, seed);
  for (int e = 0; e < 2; e++) {
    NoiseOsc.Y[e] = ear[e].Y;
    // The modulation moves whether or not it is audible.
    NoiseOsc.Mod[e] = mod ? ear[e].Mod : (ear[e].Mod + static_cast<uint64_t>(frames) * ear[e].ModStep) & PHASE_MASK;
  }
}
