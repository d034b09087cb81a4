// The noise four frames per step. A frame's values come from three passes
// over a chunk, so that only the filter's own recurrence stays serial:
//   1. the draws, eight at a time (the generator jumped eight steps ahead,
//      on 16-bit halves), and r M split into its high and low halves;
//   2. the filter, both ears in one register: y = ((a y) >> 7) + (r M >> 16),
//      the shift taken as the high half of y times a * 512;
//   3. y' = y * 65536 + (r M & 0xFFFF) (the same sum as ((a y) >> 7) * 65536
//      + r M, y being the new state) and its quotient by Q, two lanes per
//      multiply (NoiseDivider31).
// The mixing scales each value as the voices do: the high half of |v| times
// the gain, the sign put back.
#include "data/synthesis/noisevec.h"

#if defined(NOISE_VECTOR)
#include <emmintrin.h>

#include <utility>

#include "data/synthesis/noise.h"
#include "data/synthesis/state.h"
#include "data/synthesis/wavetab.h"

namespace {

constexpr uint32_t LCG_A = 22695477u;

constexpr uint32_t Power(uint32_t a, int n) {
  uint32_t r = 1;
  for (int i = 0; i < n; i++) r *= a;
  return r;
}
// x -> A^8 x + (A^7 + ... + 1): eight steps at once.
constexpr uint32_t LCG_A8 = Power(LCG_A, 8);
constexpr uint32_t LCG_C8 = [] {
  uint32_t c = 0;
  for (int i = 0; i < 8; i++) c = c * LCG_A + 1;
  return c;
}();
// A^-1 mod 2^32 (A is odd; each Newton step doubles the bits that agree).
constexpr uint32_t LCG_AINV = [] {
  uint32_t v = LCG_A;
  for (int i = 0; i < 5; i++) v *= 2 - LCG_A * v;
  return v;
}();
static_assert(LCG_A * LCG_AINV == 1);

inline __m128i Load(const void* p) { return _mm_load_si128(static_cast<const __m128i*>(p)); }
inline void Store(void* p, __m128i v) { _mm_store_si128(static_cast<__m128i*>(p), v); }

// Quotients of four numerators (left, right, left, right) below 2^31.
struct Divide4 {
  __m128i MagicL, MagicR, ShiftL, ShiftR;
  Divide4(uint32_t ql, uint32_t qr) {
    NoiseDivider31 l(ql), r(qr);
    MagicL = _mm_set1_epi64x(l.Magic);
    MagicR = _mm_set1_epi64x(r.Magic);
    ShiftL = _mm_cvtsi32_si128(l.Shift);
    ShiftR = _mm_cvtsi32_si128(r.Shift);
  }
  __m128i operator()(__m128i n) const {
    __m128i b = _mm_srl_epi64(_mm_mul_epu32(_mm_shuffle_epi32(n, 0xF5), MagicR), ShiftR);
    __m128i a = _mm_srl_epi64(_mm_mul_epu32(n, MagicL), ShiftL);
    return _mm_or_si128(a, _mm_slli_epi64(b, 32));
  }
};

// trunc(c v / 65536) lane by lane for gains c below 65536, or v itself in
// the lanes of `full` (when it is not all zero).
inline __m128i Scale(__m128i v, __m128i gain, __m128i full) {
  __m128i sign = _mm_srai_epi16(v, 15);
  __m128i mag = _mm_sub_epi16(_mm_xor_si128(v, sign), sign);
  __m128i h = _mm_mulhi_epu16(mag, gain);
  h = _mm_or_si128(_mm_and_si128(full, mag), _mm_andnot_si128(full, h));
  return _mm_sub_epi16(_mm_xor_si128(h, sign), sign);
}

// Left and right words of each frame exchanged.
inline __m128i Swap(__m128i v) { return _mm_shufflehi_epi16(_mm_shufflelo_epi16(v, 0xB1), 0xB1); }

inline int32_t ScaleOne(int64_t c, int32_t v) { return static_cast<int32_t>(c * v / 65536); }

}  // namespace

bool NoiseWords(NoiseFilter& left, NoiseFilter& right, uint32_t& x, int count, int16_t* words) {
  const int n4 = count & ~3;
  const __m128i zero = _mm_setzero_si128();
  // The next eight draws as low and high halves.
  alignas(16) uint16_t l8[8], h8[8];
  uint32_t t = x;
  for (int k = 0; k < 8; k++) {
    t = t * LCG_A + 1;
    l8[k] = static_cast<uint16_t>(t);
    h8[k] = static_cast<uint16_t>(t >> 16);
  }
  __m128i xl = Load(l8), xh = Load(h8);
  const __m128i m = _mm_set1_epi32(static_cast<int>(left.M | right.M << 16));
  // x' = A8 x + C8 is a0 xl + 65536 (a0 xh + a1 xl) + C8 on the halves
  // (a1 xh 2^32 vanishes); the high half gets c1 + 1, less 1 where the low
  // half does not carry.
  const __m128i a0 = _mm_set1_epi16(static_cast<int16_t>(LCG_A8 & 0xFFFF));
  const __m128i a1 = _mm_set1_epi16(static_cast<int16_t>(LCG_A8 >> 16));
  const __m128i c0 = _mm_set1_epi16(static_cast<int16_t>(LCG_C8 & 0xFFFF));
  const __m128i c1 = _mm_set1_epi16(static_cast<int16_t>((LCG_C8 >> 16) + 1));
  const __m128i noCarryUpTo = _mm_set1_epi16(static_cast<int16_t>(0xFFFF - (LCG_C8 & 0xFFFF)));
  // The filter runs with y in the high half of a word pair per ear: times
  // a * 512 in the high half and 0 in the low one, the pair's high half is
  // (a y) >> 7 and its low half 0, and adding r M gives y' = ((a y) >> 7) *
  // 65536 + r M, whose high half is the new y. a = 128 (full smoothness)
  // keeps y at 0 (M = 0, y restarted), whatever it is multiplied by.
  auto factor = [](int32_t a) { return a < 128 ? static_cast<uint32_t>(a) << 25 : 0u; };
  const __m128i ay = _mm_set_epi32(0, 0, static_cast<int>(factor(right.A)), static_cast<int>(factor(left.A)));
  __m128i y = _mm_set_epi32(0, 0, static_cast<int>(static_cast<uint32_t>(right.Y) << 16),
                            static_cast<int>(static_cast<uint32_t>(left.Y) << 16));
  const Divide4 divide(left.Q, right.Q);
  const __m128i half = _mm_set1_epi32(32768);
  __m128i seen = zero;
  for (int i = 0; i < n4; i += 4) {
    // r M of the eight draws (left, right, ...), below 2^30.
    __m128i rmLo = _mm_mullo_epi16(xh, m), rmHi = _mm_mulhi_epu16(xh, m);
    __m128i r0 = _mm_unpacklo_epi16(rmLo, rmHi), r1 = _mm_unpackhi_epi16(rmLo, rmHi);
    __m128i pl = _mm_mullo_epi16(xl, a0);
    __m128i h = _mm_add_epi16(_mm_add_epi16(_mm_mulhi_epu16(xl, a0), _mm_mullo_epi16(xh, a0)),
                              _mm_add_epi16(_mm_mullo_epi16(xl, a1), c1));
    xh = _mm_add_epi16(h, _mm_cmpeq_epi16(_mm_subs_epu16(pl, noCarryUpTo), zero));
    xl = _mm_add_epi16(pl, c0);
    // y' of the four frames, then y' / Q - 32768; the OR of the quotients
    // tells whether all fit.
    __m128i y0 = _mm_add_epi16(_mm_mulhi_epu16(y, ay), r0);
    __m128i y1 = _mm_add_epi16(_mm_mulhi_epu16(y0, ay), _mm_srli_si128(r0, 8));
    __m128i y2 = _mm_add_epi16(_mm_mulhi_epu16(y1, ay), r1);
    y = _mm_add_epi16(_mm_mulhi_epu16(y2, ay), _mm_srli_si128(r1, 8));
    __m128i q0 = divide(_mm_unpacklo_epi64(y0, y1)), q1 = divide(_mm_unpacklo_epi64(y2, y));
    seen = _mm_or_si128(seen, _mm_or_si128(q0, q1));
    Store(words + 2 * i, _mm_packs_epi32(_mm_sub_epi32(q0, half), _mm_sub_epi32(q1, half)));
  }
  if (_mm_movemask_epi8(_mm_cmpeq_epi32(_mm_srli_epi32(seen, 16), zero)) != 0xFFFF) return false;

  // The frames after the last group of four, one by one, from the last draw
  // taken (the one before the first not taken).
  uint32_t nextLow = static_cast<uint32_t>(_mm_extract_epi16(xl, 0));
  uint32_t next = nextLow | static_cast<uint32_t>(_mm_extract_epi16(xh, 0)) << 16;
  uint32_t s = (next - 1) * LCG_AINV;
  int32_t yl = _mm_extract_epi16(y, 1), yr = _mm_extract_epi16(y, 3);
  const NoiseDivider31 dl(left.Q), dr(right.Q);
  uint32_t tail = 0;
  auto filter = [&](int32_t a, uint32_t mm, const NoiseDivider31& d, int32_t& yy, uint32_t draw) {
    int32_t tt = (a * yy) >> 7;
    uint32_t prod = (draw >> 16) * mm;
    uint32_t q = d((static_cast<uint32_t>(tt) << 16) + prod);
    yy = tt + static_cast<int32_t>(prod >> 16);
    tail |= q;
    return static_cast<int16_t>(static_cast<int32_t>(q) - 32768);
  };
  for (int i = n4; i < count; i++) {
    s = s * LCG_A + 1;
    words[2 * i] = filter(left.A, left.M, dl, yl, s);
    s = s * LCG_A + 1;
    words[2 * i + 1] = filter(right.A, right.M, dr, yr, s);
  }
  if (tail >> 16) return false;
  x = s;
  left.Y = yl;
  right.Y = yr;
  return true;
}

namespace {

template <bool Invert, bool Full>
int MixFixed(int16_t* out, const int16_t* words, int count, __m128i gain, __m128i full) {
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i v = Load(words + 2 * i);
    if constexpr (Invert) v = Swap(v);
    __m128i* o = reinterpret_cast<__m128i*>(out + 2 * i);
    __m128i add = Full ? Scale(v, gain, full) : Scale(v, gain, _mm_setzero_si128());
    _mm_storeu_si128(o, _mm_add_epi16(_mm_loadu_si128(o), add));
  }
  return i;
}

}  // namespace

void MixNoiseWords(int16_t* out, const int16_t* words, int count, int64_t cl, int64_t cr, bool invert) {
  if (invert) std::swap(cl, cr);
  auto lane = [](int64_t c) { return static_cast<uint32_t>(c) & 0xFFFF; };
  auto full = [](int64_t c) { return c >= 65536 ? 0xFFFFu : 0u; };
  const __m128i gain = _mm_set1_epi32(static_cast<int>(lane(cl) | lane(cr) << 16));
  const __m128i fullMask = _mm_set1_epi32(static_cast<int>(full(cl) | full(cr) << 16));
  bool anyFull = cl >= 65536 || cr >= 65536;
  int i = invert ? (anyFull ? MixFixed<true, true>(out, words, count, gain, fullMask)
                            : MixFixed<true, false>(out, words, count, gain, fullMask))
                 : (anyFull ? MixFixed<false, true>(out, words, count, gain, fullMask)
                            : MixFixed<false, false>(out, words, count, gain, fullMask));
  const int a = invert ? 1 : 0;
  for (; i < count; i++) {
    out[2 * i] = static_cast<int16_t>(out[2 * i] + ScaleOne(cl, words[2 * i + a]));
    out[2 * i + 1] = static_cast<int16_t>(out[2 * i + 1] + ScaleOne(cr, words[2 * i + 1 - a]));
  }
}

namespace {

// A modulation accumulator as an index that is reduced when read and a
// fraction whose carry feeds it (the index only matters modulo 8192).
struct ModPhase {
  uint64_t Index;
  uint32_t Frac;
};
ModPhase SplitPhase(uint64_t x) { return {x >> PHASE_FRACBITS, static_cast<uint32_t>(x << (32 - PHASE_FRACBITS))}; }
uint64_t JoinPhase(ModPhase p) {
  return ((p.Index << PHASE_FRACBITS) + (p.Frac >> (32 - PHASE_FRACBITS))) & PHASE_MASK;
}
inline void Advance(ModPhase& p, ModPhase step) {
  bool carry = __builtin_add_overflow(p.Frac, step.Frac, &p.Frac);
  p.Index += step.Index + carry;
}

template <int Lane>
inline __m128i GainAt(__m128i g, const NoiseModulation& m, const uint16_t* gains, ModPhase& p, ModPhase step,
                      int32_t offset) {
  int v = m.Table[(p.Index + static_cast<uint64_t>(offset)) & (WAVELEN - 1)];
  // The lane holds 16 bits; handed over as int16_t they pass without a sign
  // change.
  g = _mm_insert_epi16(g, static_cast<int16_t>(gains[v + 128]), Lane);
  Advance(p, step);
  return g;
}

template <bool Invert>
void MixModulated(int16_t* out, const int16_t* words, int count, NoiseModulation& m) {
  // The left word of an output frame is the right ear's when inverted.
  constexpr int L = Invert ? 1 : 0, R = Invert ? 0 : 1;
  ModPhase pl = SplitPhase(m.AccL), pr = SplitPhase(m.AccR);
  const ModPhase sl = SplitPhase(m.StepL), sr = SplitPhase(m.StepR);
  const int32_t off = m.OffsetR;
  const __m128i none = _mm_setzero_si128();
  int i = 0;
  for (; i + 4 <= count; i += 4) {
    __m128i g = _mm_setzero_si128();
    g = GainAt<L>(g, m, m.GainL, pl, sl, 0);
    g = GainAt<R>(g, m, m.GainR, pr, sr, off);
    g = GainAt<2 + L>(g, m, m.GainL, pl, sl, 0);
    g = GainAt<2 + R>(g, m, m.GainR, pr, sr, off);
    g = GainAt<4 + L>(g, m, m.GainL, pl, sl, 0);
    g = GainAt<4 + R>(g, m, m.GainR, pr, sr, off);
    g = GainAt<6 + L>(g, m, m.GainL, pl, sl, 0);
    g = GainAt<6 + R>(g, m, m.GainR, pr, sr, off);
    __m128i v = Load(words + 2 * i);
    if constexpr (Invert) v = Swap(v);
    __m128i* o = reinterpret_cast<__m128i*>(out + 2 * i);
    _mm_storeu_si128(o, _mm_add_epi16(_mm_loadu_si128(o), Scale(v, g, none)));
  }
  for (; i < count; i++) {
    int ml = m.Table[pl.Index & (WAVELEN - 1)];
    int mr = m.Table[(pr.Index + static_cast<uint64_t>(off)) & (WAVELEN - 1)];
    Advance(pl, sl);
    Advance(pr, sr);
    out[2 * i + L] = static_cast<int16_t>(out[2 * i + L] + ScaleOne(m.GainL[ml + 128], words[2 * i]));
    out[2 * i + R] = static_cast<int16_t>(out[2 * i + R] + ScaleOne(m.GainR[mr + 128], words[2 * i + 1]));
  }
  m.AccL = JoinPhase(pl);
  m.AccR = JoinPhase(pr);
}

}  // namespace

void MixModulatedNoiseWords(int16_t* out, const int16_t* words, int count, NoiseModulation& mod, bool invert) {
  if (invert)
    MixModulated<true>(out, words, count, mod);
  else
    MixModulated<false>(out, words, count, mod);
}

#endif
