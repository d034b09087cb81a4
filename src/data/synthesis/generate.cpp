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
//
// The block is rendered in chunks of CHUNK frames, every slot over one chunk
// before the next, so that the chunk stays in the first-level cache while
// the slots add into it. The slots sum into 16-bit words that wrap: the
// output block itself at 16 bits, a scratch chunk at 8 bits whose low bytes
// become the output. Every sum the generator forms wraps (there is no
// clipping stage), so the sum of a frame does not depend on the order or the
// width in which its terms are added, as long as it is reduced to the output
// width at the end.
#include "data/synthesis/generate.h"

#include <algorithm>
#include <cmath>

#include "data/synthesis/background.h"
#include "data/synthesis/noise.h"
#include "data/synthesis/options.h"
#include "data/synthesis/state.h"
#include "data/synthesis/walk.h"
#include "data/synthesis/wavetab.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

constexpr double FRACSCALE = 268435456.0;  // 2^28
// Frames per chunk: 4 KB of 16-bit stereo.
constexpr int CHUNK = 1024;

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

// An accumulator split for the sample loop: the table index, and the 28-bit
// fraction in the top of a 32-bit word, whose carry out is the carry into
// the index. Within a run the index stays below 8192 at every read (the run
// ends at the advance that reaches the next boundary), so it is never
// reduced; the whole accumulator is joined again after the run.
struct Phase {
  uint64_t Index;
  uint32_t Frac;
};
Phase Split(uint64_t x) { return {x >> PHASE_FRACBITS, static_cast<uint32_t>(x << (32 - PHASE_FRACBITS))}; }
uint64_t Join(Phase p) { return (p.Index << PHASE_FRACBITS) + (p.Frac >> (32 - PHASE_FRACBITS)); }
inline void Advance(Phase& p, Phase step) {
  bool carry = __builtin_add_overflow(p.Frac, step.Frac, &p.Frac);
  p.Index += step.Index + carry;
}

// trunc(trunc(w * ConvVol[I] * g / 1024) / 64) is one truncating division
// by 65536 of w times the ear's Gain (ConvVol[I] * g); into a 16-bit word
// that wraps, stored by the first slot and added by the others.
template <bool First>
inline void Put(int16_t* o, int32_t v) {
  *o = static_cast<int16_t>(First ? v : *o + v);
}

// Renders `run` frames of the ears a (left word) and b (right word) without
// any boundary inside, at out.
template <bool Wide, bool First>
void RunScalar(int16_t* out, int64_t run, Phase& a, Phase& b, Phase sa, Phase sb, int32_t ga, int32_t gb,
               const Sample<Wide>* ta, const Sample<Wide>* tb) {
  for (int64_t i = 0; i < run; i++) {
    Put<First>(out + 2 * i, ta[a.Index] * ga / 65536);
    Put<First>(out + 2 * i + 1, tb[b.Index] * gb / 65536);
    Advance(a, sa);
    Advance(b, sb);
  }
}

#if defined(__SSE2__)
// Four frames per step: the eight samples are gathered into one register
// (left and right words as in the output), then scaled together. With |w|
// and a gain below 65536 as unsigned 16-bit numbers, the high half of their
// product is trunc(|w| g / 65536), and the sign is put back; a gain of
// 65536 (full volume at g = 64) gives |w| itself, which `Full` selects in the
// lanes whose gain it is. Any int16 |w|, 32768 included, is exact as an
// unsigned 16-bit number.
template <int Lane, bool Wide>
inline __m128i Gather(__m128i w, const Sample<Wide>* t, Phase& p, Phase step) {
  w = _mm_insert_epi16(w, t[p.Index], Lane);
  Advance(p, step);
  return w;
}

template <bool Wide, bool First, bool Full>
int64_t RunVector(int16_t* out, int64_t run, Phase& a, Phase& b, Phase sa, Phase sb, int32_t ga, int32_t gb,
                  const Sample<Wide>* ta, const Sample<Wide>* tb) {
  auto lane = [](int32_t g) { return static_cast<uint32_t>(g) & 0xFFFF; };
  const __m128i gain = _mm_set1_epi32(static_cast<int>(lane(ga) | lane(gb) << 16));
  auto full = [](int32_t g) { return g >= 65536 ? 0xFFFFu : 0u; };
  const __m128i fullMask = _mm_set1_epi32(static_cast<int>(full(ga) | full(gb) << 16));
  Phase pa = a, pb = b;
  int64_t i = 0;
  for (; i + 4 <= run; i += 4) {
    __m128i w = _mm_setzero_si128();
    w = Gather<0, Wide>(w, ta, pa, sa);
    w = Gather<1, Wide>(w, tb, pb, sb);
    w = Gather<2, Wide>(w, ta, pa, sa);
    w = Gather<3, Wide>(w, tb, pb, sb);
    w = Gather<4, Wide>(w, ta, pa, sa);
    w = Gather<5, Wide>(w, tb, pb, sb);
    w = Gather<6, Wide>(w, ta, pa, sa);
    w = Gather<7, Wide>(w, tb, pb, sb);
    __m128i sign = _mm_srai_epi16(w, 15);
    __m128i mag = _mm_sub_epi16(_mm_xor_si128(w, sign), sign);
    __m128i h = _mm_mulhi_epu16(mag, gain);
    if constexpr (Full) h = _mm_or_si128(_mm_and_si128(fullMask, mag), _mm_andnot_si128(fullMask, h));
    __m128i v = _mm_sub_epi16(_mm_xor_si128(h, sign), sign);
    __m128i* o = reinterpret_cast<__m128i*>(out + 2 * i);
    if constexpr (!First) v = _mm_add_epi16(_mm_loadu_si128(o), v);
    _mm_storeu_si128(o, v);
  }
  a = pa;
  b = pb;
  return i;
}
#endif

template <bool Wide, bool First>
void Run(int16_t* out, int64_t run, Ear& ea, Ear& eb, const Sample<Wide>* ta, const Sample<Wide>* tb) {
  Phase a = Split(ea.Acc), b = Split(eb.Acc);
  const Phase sa = Split(ea.Step), sb = Split(eb.Step);
  int64_t done = 0;
#if defined(__SSE2__)
  if (run >= 4) {
    done = ea.Gain >= 65536 || eb.Gain >= 65536
               ? RunVector<Wide, First, true>(out, run, a, b, sa, sb, ea.Gain, eb.Gain, ta, tb)
               : RunVector<Wide, First, false>(out, run, a, b, sa, sb, ea.Gain, eb.Gain, ta, tb);
  }
#endif
  RunScalar<Wide, First>(out + 2 * done, run - done, a, b, sa, sb, ea.Gain, eb.Gain, ta, tb);
  ea.Acc = Join(a);
  eb.Acc = Join(b);
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

// One slot through the chunks of a block.
struct Slot {
  Ear Ears[2];
  const VoiceEntry* Voice;
  const int8_t* ModTable;
  int Gain;
  // Renders frames from..to-1 of the block into out, which holds frame
  // `from`.
  void (*Render)(Slot& s, int16_t* out, int64_t from, int64_t to);
};

template <bool Wide, bool First, bool M1, bool M2, bool Invert>
void RenderT(Slot& s, int16_t* out, int64_t from, int64_t to) {
  Ear* ear = s.Ears;
  // The left word of a frame plays the left ear, or the right one inverted.
  Ear& ea = ear[Invert ? 1 : 0];
  Ear& eb = ear[Invert ? 0 : 1];
  const auto* ta = static_cast<const Sample<Wide>*>(s.Voice->Table[Invert ? 1 : 0]);
  const auto* tb = static_cast<const Sample<Wide>*>(s.Voice->Table[Invert ? 0 : 1]);
  int64_t n = from;
  while (n < to) {
    for (int e = 0; e < 2; e++) {
      Ear& x = ear[e];
      if (!x.Refresh) continue;
      x.Index = VolumeAt<M1, M2>(x, s.Voice->Volume[e], n, s.ModTable);
      x.Gain = ConvVol[x.Index] * s.Gain;
      x.Refresh = false;
    }
    int64_t run = std::min({ear[0].Next, ear[1].Next, to - n});
    Run<Wide, First>(out + 2 * (n - from), run, ea, eb, ta, tb);
    n += run;
    AfterRun(ear[0], run);
    AfterRun(ear[1], run);
  }
}

using RenderFn = void (*)(Slot&, int16_t*, int64_t, int64_t);

template <bool Wide, bool First, bool M1, bool M2>
RenderFn Pick4(bool invert) {
  return invert ? RenderT<Wide, First, M1, M2, true> : RenderT<Wide, First, M1, M2, false>;
}
template <bool Wide, bool First>
RenderFn Pick3(bool m1, bool m2, bool invert) {
  if (m1) return m2 ? Pick4<Wide, First, true, true>(invert) : Pick4<Wide, First, true, false>(invert);
  return m2 ? Pick4<Wide, First, false, true>(invert) : Pick4<Wide, First, false, false>(invert);
}
RenderFn Pick(bool wide, bool first, bool m1, bool m2, bool invert) {
  if (wide) return first ? Pick3<true, true>(m1, m2, invert) : Pick3<true, false>(m1, m2, invert);
  return first ? Pick3<false, true>(m1, m2, invert) : Pick3<false, false>(m1, m2, invert);
}

// Takes a slot's state and the voice entry's values at block start.
void BeginSlot(const AdvancedOptions& o, Slot& s, const SlotState& st, const VoiceEntry& v, int gain, bool first,
               const int8_t* modTable) {
  const int rate = o.SamplesPerSec;
  const uint8_t* depth[2] = {v.Mod1Depth, v.Mod2Depth};
  const int32_t* rates[2] = {v.Mod1Rate, v.Mod2Rate};
  const int16_t phase[2] = {v.Mod1Phase, v.Mod2Phase};
  for (int e = 0; e < 2; e++) {
    Ear& x = s.Ears[e];
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
  s.Voice = &v;
  s.ModTable = modTable;
  s.Gain = gain;
  bool m1 = v.Mod1Depth[0] || v.Mod1Depth[1], m2 = v.Mod2Depth[0] || v.Mod2Depth[1];
  s.Render = Pick(o.Bits16 != 0, first, m1, m2, o.InvertSound != 0);
}

// Keeps a slot's state after `frames` frames.
void EndSlot(const Slot& s, SlotState& st, int frames) {
  for (int e = 0; e < 2; e++) {
    const Ear& x = s.Ears[e];
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

// 8-bit output: the low byte of each word, plus 128 (the first slot's
// offset to unsigned).
void Narrow(uint8_t* out, const int16_t* words, int64_t count) {
  int64_t i = 0;
#if defined(__SSE2__)
  const __m128i offset = _mm_set1_epi16(128), low = _mm_set1_epi16(0xFF);
  for (; i + 16 <= count; i += 16) {
    __m128i x = _mm_and_si128(_mm_add_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(words + i)), offset), low);
    __m128i y =
        _mm_and_si128(_mm_add_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(words + i + 8)), offset), low);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), _mm_packus_epi16(x, y));
  }
#endif
  for (; i < count; i++) out[i] = static_cast<uint8_t>(words[i] + 128);
}

const int8_t* StrobeModTable(const AdvancedOptions& o) {
  switch (o.AudioStrobeWaveform) {
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

int VoiceGain(const PlaybackState& pb, bool strobe) {
  int sources = std::max(1, pb.SweepDataVoices + pb.ExtraSourceShare);
  int p = strobe ? (100 - pb.Options.AudioStrobeMaxLevel / 2) / sources : 100 / sources;
  return p * 64 / 100;
}

int GenerateBlock(PlaybackState& pb, void* buffer) {
  if (AdvanceSweep(pb)) return 1;
  std::lock_guard<std::mutex> lock(pb.hBackgroundMutex);
  const SweepRecord* r = pb.CurrentRecord;
  const AdvancedOptions& o = pb.Options;
  bool wide = o.Bits16 != 0;
  int frames = pb.BlockBytes / (wide ? 4 : 2);
  bool strobe = pb.AudioStrobeOn.load(std::memory_order_relaxed) != 0;
  int gain = VoiceGain(pb, strobe);
  Slot slots[MAXVOICES + 1];
  int count = 0;
  for (int i = 0; i < r->NumVoices; i++) BeginSlot(o, slots[count++], pb.Osc[i], r->Voice[i], gain, i == 0, SineData8);
  if (strobe) BeginSlot(o, slots[count++], pb.Osc[MAXVOICES], StrobeSlot(r), STROBE_GAIN, false, StrobeModTable(o));
  alignas(16) int16_t words[2 * CHUNK];
  for (int64_t n = 0; n < frames; n += CHUNK) {
    int64_t end = std::min<int64_t>(frames, n + CHUNK);
    int16_t* out = wide ? static_cast<int16_t*>(buffer) + 2 * n : words;
    for (int k = 0; k < count; k++) slots[k].Render(slots[k], out, n, end);
    if (!wide) Narrow(static_cast<uint8_t*>(buffer) + 2 * n, words, 2 * (end - n));
  }
  for (int i = 0; i < r->NumVoices; i++) EndSlot(slots[i], pb.Osc[i], frames);
  if (strobe) EndSlot(slots[count - 1], pb.Osc[MAXVOICES], frames);
  bool invert = o.InvertSound != 0;
  MixBackground(pb, buffer, frames, gain, r, wide, invert);
  if (pb.NoiseOn) MixNoise(pb, buffer, frames, gain, r, wide, invert);
  return 0;
}
