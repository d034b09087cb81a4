// Noise: a per-frame linear congruential draw through a one-pole low-pass
// whose coefficient comes from the smoothness, with volume modulation
// refreshed at every frame. Specialised at compile time by width,
// InvertSound, inside-the-head and modulation. Outside the head the values of
// both ears come four frames per step from noisevec.cpp, and at 16 bits they
// are mixed there too; the loops here serve the rest, and a chunk whose
// values do not all fit 16 bits (a filter that has not settled).
#include "data/synthesis/noise.h"

#include <algorithm>

#include "data/synthesis/generate.h"
#include "data/synthesis/noisevec.h"
#include "data/synthesis/options.h"
#include "data/synthesis/state.h"
#include "data/synthesis/wavetab.h"
#include "platform/rand.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr uint32_t LCG_A = 22695477u;
// Two steps at once: x2 = x * A^2 + (A + 1), so the left and right draws of a
// frame do not wait for each other.
constexpr uint32_t LCG_A2 = LCG_A * LCG_A;
constexpr uint32_t LCG_C2 = LCG_A + 1;

struct NoiseEar {
  int32_t A;
  uint32_t M, Q;
  NoiseDivider Div{1};
  int32_t Y;
  int32_t Volume, Base, Depth, Offset;
  uint64_t Mod, ModStep;
};

// One filter step on a local copy of an ear's filter: returns the value
// y'/Q - 32768 and updates y.
// y' = ((a y) >> 7) * 65536 + r M never reaches 2^31 for any smoothness, or
// any change of smoothness between blocks (the largest is about 1.27e9 at
// a = 43; a test walks every pair), so y'/65536 taken as signed is
// ((a y) >> 7) + (r M >> 16): the filter's loop-carried chain is then just
// a multiply, a shift and an add.
struct FilterRegs {
  int32_t A, Y;
  uint32_t M;
  NoiseDivider Div;
};
inline int32_t Filter(FilterRegs& e, uint32_t r) {
  int32_t t = (e.A * e.Y) >> 7;
  uint32_t rm = r * e.M;
  uint32_t yp = (static_cast<uint32_t>(t) << 16) + rm;
  int32_t v = static_cast<int32_t>(e.Div(yp)) - 32768;
  e.Y = t + static_cast<int32_t>(rm >> 16);
  return v;
}

// With modulation the volume index B + (m + 129) D / 256 depends only on the
// table value m, so ConvVol[I] * g is looked up per block for each m.
void GainByModValue(const NoiseEar& e, int gain, int32_t table[256]) {
  for (int m = -128; m <= 127; m++) {
    int32_t i = e.Base + (std::max(m, -127) + 129) * e.Depth / 256;
    table[m + 128] = ConvVol[std::clamp(i, 0, 10000)] * gain;
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

constexpr int CHUNK = NOISE_CHUNK;

// The serial part: draws and filter for `count` frames into vl/vr (the
// values y'/Q - 32768, before gain and volume).
// The serial part: draws and filter for `count` frames into vl/vr (the
// values y'/Q - 32768, before gain and volume; vr unused inside the head).
// Returns the OR of all y'/Q, so the caller knows whether every value fits
// 16 bits (it always does once the filter has settled).
template <bool Inside>
uint32_t Draw(NoiseEar& left, NoiseEar& right, uint32_t& x, int count, int32_t* vl, int32_t* vr) {
  // Locals, so that the filter state stays in registers (the output arrays
  // could otherwise alias it).
  FilterRegs l{left.A, left.Y, left.M, left.Div}, r{right.A, right.Y, right.M, right.Div};
  uint32_t seen = 0, s = x;
  for (int i = 0; i < count; i++) {
    if constexpr (Inside) {
      s = s * LCG_A + 1;
      vl[i] = Filter(l, s >> 16);
      seen |= static_cast<uint32_t>(vl[i] + 32768);
    } else {
      uint32_t x1 = s * LCG_A + 1;
      s = s * LCG_A2 + LCG_C2;
      vl[i] = Filter(l, x1 >> 16);
      vr[i] = Filter(r, s >> 16);
      seen |= static_cast<uint32_t>(vl[i] + 32768) | static_cast<uint32_t>(vr[i] + 32768);
    }
  }
  x = s;
  left.Y = l.Y;
  right.Y = r.Y;
  return seen;
}

// trunc(trunc(ConvVol[I] * (v * g) / 1024) / 64) as one division; 8-bit
// output takes the same value at its own scale (divided by 256), since the
// noise values are 16-bit wide.
template <bool Wide>
inline int32_t Scaled(int64_t c, int32_t v) {
  int32_t s = static_cast<int32_t>(c * v / 65536);
  return Wide ? s : s / 256;
}

#if defined(__SSE2__)
// 16-bit output with volumes fixed for the block and every value within
// 16 bits: four frames per step. With |v| and c < 65536 as unsigned 16-bit
// numbers the high half of their product is trunc(|v| c / 65536); c = 65536
// (full volume at g = 64) gives |v| itself.
template <bool Invert, bool Inside>
int MixFixed16(int16_t* out, const int32_t* vl, const int32_t* vr, int count, int64_t cl, int64_t cr) {
  constexpr int L = Invert ? 1 : 0;
  const int32_t* src0 = L == 0 ? vl : (Inside ? vl : vr);
  const int32_t* src1 = L == 0 ? (Inside ? vl : vr) : vl;
  int64_t c0 = L == 0 ? cl : cr, c1 = L == 0 ? cr : cl;
  auto lane = [](int64_t c) { return static_cast<int16_t>(c >= 65536 ? 0 : c); };
  auto full = [](int64_t c) { return static_cast<int16_t>(c >= 65536 ? -1 : 0); };
  const __m128i cv = _mm_setr_epi16(lane(c0), lane(c1), lane(c0), lane(c1), lane(c0), lane(c1), lane(c0), lane(c1));
  const __m128i fm = _mm_setr_epi16(full(c0), full(c1), full(c0), full(c1), full(c0), full(c1), full(c0), full(c1));
  // The inside-the-head right channel plays the negated left value.
  const int16_t n0 = Inside && L == 1 ? -1 : 0, n1 = Inside && L == 0 ? -1 : 0;
  const __m128i nm = _mm_setr_epi16(n0, n1, n0, n1, n0, n1, n0, n1);
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src0 + i));
    __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(src1 + i));
    __m128i v = _mm_packs_epi32(_mm_unpacklo_epi32(a, b), _mm_unpackhi_epi32(a, b));
    __m128i sg = _mm_srai_epi16(v, 15);
    __m128i mag = _mm_sub_epi16(_mm_xor_si128(v, sg), sg);
    __m128i h = _mm_mulhi_epu16(mag, cv);
    h = _mm_or_si128(_mm_and_si128(fm, mag), _mm_andnot_si128(fm, h));
    __m128i r = _mm_sub_epi16(_mm_xor_si128(h, sg), sg);
    r = _mm_sub_epi16(_mm_xor_si128(r, nm), nm);
    __m128i* o = reinterpret_cast<__m128i*>(out + 2 * i);
    _mm_storeu_si128(o, _mm_add_epi16(_mm_loadu_si128(o), r));
  }
  return i;
}
#endif

template <bool Wide, bool Invert, bool Inside, bool Mod>
void NoiseT(void* out, int frames, int gain, NoiseEar* ear, uint32_t x) {
  constexpr int L = Invert ? 1 : 0, R = Invert ? 0 : 1;
  NoiseEar& l = ear[0];
  NoiseEar& r = ear[1];
  // Without modulation ConvVol[I] * g is fixed for the block.
  const int64_t fixedL = static_cast<int64_t>(ConvVol[l.Volume]) * gain;
  const int64_t fixedR = static_cast<int64_t>(ConvVol[r.Volume]) * gain;
  int32_t vl[CHUNK], vr[CHUNK];
  // Modulation: the volume is refreshed at every frame.
  int32_t gl[256], gr[256];
  if constexpr (Mod) {
    GainByModValue(l, gain, gl);
    GainByModValue(r, gain, gr);
  }
  uint64_t accL = l.Mod, accR = r.Mod;
  const uint64_t stepL = l.ModStep, stepR = r.ModStep;
  const int offR = r.Offset;
#if defined(NOISE_VECTOR)
  alignas(16) int16_t words[2 * CHUNK];
  NoiseFilter fl{l.A, l.M, l.Q, l.Y}, fr{r.A, r.M, r.Q, r.Y};
  // The modulated gains as 16-bit lanes; the largest one is at the wave's
  // top (ConvVol[volume] * g); 65536 takes the one-by-one path.
  uint16_t gl16[256], gr16[256];
  bool modWords = false;
  if constexpr (Mod) {
    modWords = *std::max_element(gl, gl + 256) < 65536 && *std::max_element(gr, gr + 256) < 65536;
    for (int k = 0; k < 256; k++) {
      gl16[k] = static_cast<uint16_t>(gl[k]);
      gr16[k] = static_cast<uint16_t>(gr[k]);
    }
  }
#endif
  for (int64_t base = 0; base < frames; base += CHUNK) {
    int count = static_cast<int>(std::min<int64_t>(CHUNK, frames - base));
    bool drawn = false;
#if defined(NOISE_VECTOR)
    if constexpr (!Inside) {
      fl.Y = l.Y;
      fr.Y = r.Y;
      if (NoiseWords(fl, fr, x, count, words)) {
        l.Y = fl.Y;
        r.Y = fr.Y;
        int16_t* o = static_cast<int16_t*>(out) + 2 * base;
        if constexpr (Wide && !Mod) {
          MixNoiseWords(o, words, count, fixedL, fixedR, Invert);
          continue;
        }
        if (Wide && modWords) {
          NoiseModulation m{SineData8, gl16, gr16, accL, accR, stepL, stepR, offR};
          MixModulatedNoiseWords(o, words, count, m, Invert);
          accL = m.AccL;
          accR = m.AccR;
          continue;
        }
        for (int i = 0; i < count; i++) {
          vl[i] = words[2 * i];
          vr[i] = words[2 * i + 1];
        }
        drawn = true;
      }
    }
#endif
    uint32_t seen = drawn ? 0 : Draw<Inside>(l, r, x, count, vl, vr);
    int i = 0;
#if defined(__SSE2__)
    if constexpr (Wide && !Mod) {
      if ((seen >> 16) == 0)
        i = MixFixed16<Invert, Inside>(static_cast<int16_t*>(out) + 2 * base, vl, vr, count, fixedL, fixedR);
    }
#else
    (void)seen;
#endif
    if constexpr (Mod) {
      for (; i < count; i++) {
        int64_t n = base + i;
        int ml = SineData8[(accL >> PHASE_FRACBITS)];
        int mr = SineData8[(static_cast<int>(accR >> PHASE_FRACBITS) + offR) & (WAVELEN - 1)];
        accL = (accL + stepL) & PHASE_MASK;
        accR = (accR + stepR) & PHASE_MASK;
        int64_t cl = gl[ml + 128], cr = gr[mr + 128];
        Add<Wide>(out, 2 * n + L, Scaled<Wide>(cl, vl[i]));
        Add<Wide>(out, 2 * n + R, Inside ? -Scaled<Wide>(cr, vl[i]) : Scaled<Wide>(cr, vr[i]));
      }
    } else {
      for (; i < count; i++) {
        int64_t n = base + i;
        Add<Wide>(out, 2 * n + L, Scaled<Wide>(fixedL, vl[i]));
        Add<Wide>(out, 2 * n + R, Inside ? -Scaled<Wide>(fixedR, vl[i]) : Scaled<Wide>(fixedR, vr[i]));
      }
    }
  }
  l.Mod = accL;
  r.Mod = accR;
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

NoiseDivider31::NoiseDivider31(uint32_t d) {
  if (d <= 1) {
    Magic = 0;
    Shift = 0;
    return;
  }
  int bits = 32 - __builtin_clz(d - 1);  // ceil(log2 d)
  Shift = 31 + bits;
  Magic = static_cast<uint32_t>(((uint64_t{1} << Shift) + d - 1) / d);
}

void MixNoise(PlaybackState& pb, void* out, int frames, int gain, const SweepRecord* r, bool wide, bool invert) {
  NoiseEar ear[2];
  bool mod = false;
  int rate = pb.Options.SamplesPerSec;
  for (int e = 0; e < 2; e++) {
    NoiseEar& x = ear[e];
    NoiseCoefficients c = NoiseCoefficientsOf(r->NoiseSmoothness[e]);
    x.A = c.A;
    x.M = c.M;
    x.Q = c.Q;
    x.Div = NoiseDivider(c.Q);
    if (c.A == 128) pb.NoiseOsc.Y[e] = 0;  // the fully smoothed filter restarts each block
    x.Y = pb.NoiseOsc.Y[e];
    x.Volume = std::clamp<int32_t>(r->NoiseVolume[e], 0, 10000);
    x.Depth = x.Volume * r->NoiseModDepth[e] / 100;
    x.Base = x.Volume - x.Depth;
    x.Offset = e == 0 ? 0 : r->NoiseModPhase * 8192 / 360 + 8192;
    double exact;
    x.ModStep = RateStep(r->NoiseModRate[e], rate, &exact);
    x.Mod = pb.NoiseOsc.Mod[e] & PHASE_MASK;
    if (r->NoiseModDepth[e] != 0) mod = true;
  }
  uint32_t seed = static_cast<uint32_t>(plat::Random());
  Pick(wide, invert, r->NoiseInsideHead != 0, mod)(out, frames, gain, ear, seed);
  for (int e = 0; e < 2; e++) {
    pb.NoiseOsc.Y[e] = ear[e].Y;
    // The modulation moves whether or not it is audible.
    pb.NoiseOsc.Mod[e] = mod ? ear[e].Mod : (ear[e].Mod + static_cast<uint64_t>(frames) * ear[e].ModStep) & PHASE_MASK;
  }
}
