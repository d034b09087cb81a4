// Parameter arithmetic: checked multiply-divide, curve values, tracking, and
// number text in the user's locale. Pure integer computation (the note-name
// conversion aside); nothing allocates or blocks, so the curve functions may
// run on any thread, the audio thread included.
#pragma once
#include <algorithm>
#include <cstdint>

#include "main/model.h"

extern const uint8_t WeightTable[21][21];

// True when a x b may not fit in 32 bits: the significant bits of |a| and |b|
// (at most 31 each) add up to more than 31. Any thread.
inline bool WouldOverflow(int32_t a, int32_t b) {
  if (a == 0 || b == 0) return false;
  auto bits = [](int32_t x) {
    uint32_t m = x < 0 ? 0u - static_cast<uint32_t>(x) : static_cast<uint32_t>(x);
    return std::min(31, 32 - __builtin_clz(m));
  };
  return bits(a) + bits(b) > 31;
}
// x / d with positive halves rounded up and negative quotients truncated
// toward zero; 0 (and an internal error) for d = 0.
int32_t RoundDiv(int32_t x, int32_t d);
// x / 2 truncated, plus 1 for positive odd x.
int32_t Halve(int32_t x);
// m[0] x m[1] x ... / d[0] / d[1] ..., p >= 1, q >= 0: whenever the next
// multiplication could overflow, the partial product is divided by the next
// divisor first (RoundDiv); the divisors left over are applied at the end.
// When no divisor is left, the rest of the product is exact, saturated to the
// int32 range.
int32_t MulDiv(const int32_t* m, int p, const int32_t* d, int q);
// Convenience forms. The first takes a product that fits over a positive
// divisor (the sweeps' weighted points) without the loop, in the header, so
// that a constant divisor becomes a multiplication.
inline int32_t MulDiv(int32_t a, int32_t b, int32_t d) {
  if (d > 0 && !WouldOverflow(a, b)) {
    const int32_t n = a * b;
    return n / d + (n % d >= d - d / 2 ? 1 : 0);
  }
  const int32_t m[2] = {a, b};
  return MulDiv(m, 2, &d, 1);
}
int32_t MulDiv(int32_t a, int32_t b, int32_t c, int32_t d1, int32_t d2);

// Value of a parameter's own curve at segment time t (0-10000).
int32_t CurveValue(const Param& p, int t);
// The same for the Waveform parameter, on both 16-bit halves.
int32_t CurveValuePacked(const Param& p, int t);
// The same two when the caller knows the interval: i is the first node with
// Node[i].SweepTime <= t < Node[i+1].SweepTime (-1: none, the last node's
// value). A caller walking times in increasing order keeps i itself instead
// of searching from the first node each time.
int32_t CurveValueOn(const Param& p, int i, int t);
int32_t CurveValuePackedOn(const Param& p, int i, int t);
// Value of node i of parameter pid with tracking applied. The scales and
// limits of the background's parameter are those of `bg`, the row 6 of the
// preset the records belong to.
int32_t TrackedValue(const BackgroundParamRow& bg, const Param* params, int pid, int i);
// Copies node count and nodes [first, last] (or all when first < 0) from the
// source and computes their tracked values.
void RecomputeTracked(const BackgroundParamRow& bg, Param* params, int dest, int src, int first = -1, int last = -1);
// Whether following the tracking chain from b arrives at a.
bool ChainReaches(const Param* params, int a, int b);
// The same three bounded by the parameters the segment has in use: a
// TrackSource in a voice the segment does not have (possible in hand-made
// files) is an internal error instead of a read of unbacked memory. The forms
// above treat all 176 slots as in use.
int32_t TrackedValue(const BackgroundParamRow& bg, const Param* params, const Segment& seg, int pid, int i);
void RecomputeTracked(const BackgroundParamRow& bg, Param* params, const Segment& seg, int dest, int src,
                      int first = -1, int last = -1);
bool ChainReaches(const Param* params, const Segment& seg, int a, int b);

// Stored value with `digits` decimals, shown with at most `shown` and at least
// `minShown` decimals, localised. The result lives in one of 8 rotating
// buffers. Main thread only (the buffers are shared).
const char* FormatNumber(int32_t value, int digits, int shown, int minShown, bool grouping);
// Parses text with `digits` decimals; notes (A-G, #/b, octave) when allowed.
int32_t ParseNumber(const char* text, int digits, bool allowNotes, bool* error);
