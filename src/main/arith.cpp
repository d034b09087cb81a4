// Parameter arithmetic: the weight table, the checked multiply-divide, curve
// values and tracking.
//
// Everything is 32-bit integer arithmetic as the stored values are. Where an
// intermediate of the 32-bit formulas could overflow for extreme values that a
// preset file still accepts (any int32 node value, limits, intercepts), it is
// computed in 64 bits instead; for every input where the 32-bit formula does
// not overflow the results are identical, because the same truncating
// operations are applied to the same exact intermediates.
#include "main/arith.h"

#include <algorithm>
#include <climits>

#include "assert/check.h"
#include "main/preset.h"

// Weight table: row = a node's Weight (0-20), column k = position along the
// interval in twentieths, entry = percent of the value change reached.
// Row 10 is the straight line; lower rows start slowly, higher rows fast.
const uint8_t WeightTable[21][21] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 5, 7, 10, 15, 35, 100},
    {0, 0, 0, 0, 0, 1, 1, 2, 2, 3, 3, 4, 5, 6, 8, 10, 13, 18, 28, 45, 100},
    {0, 0, 0, 0, 1, 1, 2, 2, 3, 4, 5, 6, 7, 9, 12, 16, 20, 25, 35, 55, 100},
    {0, 0, 0, 0, 1, 2, 3, 3, 4, 5, 7, 9, 11, 14, 18, 23, 28, 35, 44, 63, 100},
    {0, 0, 0, 1, 2, 3, 4, 5, 7, 9, 11, 14, 17, 21, 25, 30, 36, 43, 53, 70, 100},
    {0, 0, 1, 2, 3, 4, 5, 7, 10, 13, 16, 19, 23, 28, 33, 38, 45, 54, 64, 79, 100},
    {0, 0, 1, 2, 4, 6, 9, 12, 15, 18, 22, 26, 30, 35, 40, 46, 53, 59, 68, 81, 100},
    {0, 1, 2, 4, 6, 9, 12, 16, 19, 23, 28, 33, 38, 43, 48, 54, 60, 66, 74, 85, 100},
    {0, 2, 4, 7, 10, 13, 17, 22, 26, 31, 36, 40, 45, 50, 55, 61, 67, 73, 80, 88, 100},
    {0, 2, 6, 10, 15, 19, 23, 27, 33, 38, 43, 48, 53, 58, 63, 68, 74, 79, 85, 92, 100},
    {0, 5, 10, 15, 20, 25, 30, 35, 40, 45, 50, 55, 60, 65, 70, 75, 80, 85, 90, 95, 100},
    {0, 8, 15, 21, 26, 32, 37, 42, 47, 52, 57, 62, 67, 73, 77, 81, 85, 90, 94, 98, 100},
    {0, 12, 20, 27, 33, 39, 45, 50, 55, 60, 64, 69, 74, 78, 83, 87, 90, 93, 96, 98, 100},
    {0, 15, 26, 33, 40, 46, 52, 57, 62, 67, 72, 77, 81, 84, 88, 91, 94, 96, 98, 99, 100},
    {0, 19, 32, 41, 47, 54, 60, 65, 70, 74, 78, 82, 85, 88, 91, 94, 96, 98, 99, 100, 100},
    {0, 21, 36, 46, 55, 62, 67, 72, 77, 81, 84, 87, 90, 93, 95, 96, 97, 98, 99, 100, 100},
    {0, 30, 47, 57, 64, 70, 75, 79, 83, 86, 89, 91, 93, 95, 96, 97, 98, 99, 100, 100, 100},
    {0, 37, 56, 65, 72, 77, 82, 86, 89, 91, 93, 95, 96, 97, 97, 98, 99, 100, 100, 100, 100},
    {0, 45, 65, 75, 80, 84, 88, 91, 93, 94, 95, 96, 97, 98, 98, 99, 99, 100, 100, 100, 100},
    {0, 55, 72, 82, 87, 90, 92, 94, 95, 96, 97, 97, 98, 98, 99, 99, 100, 100, 100, 100, 100},
    {0, 65, 85, 90, 93, 95, 96, 97, 97, 98, 98, 99, 99, 100, 100, 100, 100, 100, 100, 100, 100},
};

// 10^Digits is the scale of a parameter's stored values.
const int PowerOfTen[8] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000};

namespace {

int32_t Saturate(int64_t x) { return static_cast<int32_t>(std::clamp<int64_t>(x, INT32_MIN, INT32_MAX)); }

// r x m[0] x ... x m[n-1], exact in 64 bits and saturated to the int32 range.
// The magnitude is capped at 2^31 between steps so that it stays in 64 bits;
// every factor is an integer, so a capped magnitude can only stay capped or
// become 0.
int32_t SaturatedProduct(int32_t r, const int32_t* m, int n) {
  constexpr int64_t Cap = int64_t{1} << 31;
  int64_t acc = r;
  for (int i = 0; i < n; ++i) acc = std::clamp<int64_t>(acc * m[i], -Cap, Cap);
  return Saturate(acc);
}

// 10^digits, for a parameter's Digits (0-7).
int32_t Scale(int digits) {
  if (!TVK_CHECK_AS(digits >= 0 && digits < 8, "Digits>=0 && Digits<8", digits)) digits = std::clamp(digits, 0, 7);
  return PowerOfTen[digits];
}

// Number of usable nodes of a curve: the node array holds 100.
int NodeCount(const Param& p) {
  if (!TVK_CHECK_AS(p.NumNodes >= 1 && p.NumNodes <= MAXNODES, "NumNodes>=1 && NumNodes<=MAXNODES", p.NumNodes))
    return std::clamp<int>(p.NumNodes, 0, MAXNODES);
  return p.NumNodes;
}

// First i with Node[i].SweepTime <= t < Node[i+1].SweepTime, or -1. Zero-length
// intervals never match, so a vertical step takes the later node's value.
int FindInterval(const Param& p, int n, int t) {
  for (int i = 0; i + 1 < n; ++i)
    if (p.Node[i].SweepTime <= t && t < p.Node[i + 1].SweepTime) return i;
  return -1;
}

// The weighted polyline between (t0, v0) and (t1, v1) at t, t0 <= t < t1:
// 21 points from the weight table joined by straight lines.
int32_t Interpolate(int64_t v0, int64_t v1, int t0, int t1, int weight, int t) {
  const int dt = t1 - t0;
  int pos = (t - t0) * 20 / dt;
  const int WeightPos = pos;
  if (!TVK_CHECK_AS(WeightPos < 20, "WeightPos<20", WeightPos)) pos = 19;
  // Weights above 20 exist only in hand-made files; the steepest row is the
  // nearest shape.
  const uint8_t* w = WeightTable[std::min(weight, 20)];
  const int64_t dv = v1 - v0;
  const int64_t a = v0 + w[pos] * dv / 100;
  const int64_t b = v0 + w[pos + 1] * dv / 100;
  const int s = t0 + dt * pos / 20;
  const int e = t0 + dt * (pos + 1) / 20;
  const int len = e - s;
  if (len == 0) return static_cast<int32_t>(a);
  // The result lies between a and b, both between v0 and v1.
  return static_cast<int32_t>(a + (b - a) * (t - s) / len);
}

bool ValidPid(int pid, int count) {
  return TVK_CHECK_AS(pid >= 0 && pid < count, "pid>=0 && pid<NSPAR+NVPAR*MAXVOICES", pid);
}

// Clamps y to lo..hi where the lower limit wins when the limits cross.
int64_t ClampLimits(int64_t y, int64_t lo, int64_t hi) {
  y = std::min(y, hi);
  if (lo > y) y = lo;
  return y;
}

int32_t TrackedAt(const BackgroundParamRow& bg, const Param* params, int count, int pid, int i, int depth) {
  const Param& p = params[pid];
  // Tracking values 2-10 are accepted by the file; anything but 0 tracks, as
  // in the chain walk below.
  if (p.Tracking == 0) return p.Node[i].Value;
  const int src = p.TrackSource;
  // A source in a voice the segment lacks, or 176 (accepted by the file), has
  // no record to read; the node keeps its own value.
  if (!TVK_CHECK_AS(src < count, "TrackSource<NumParams", src)) return p.Node[i].Value;
  // A chain longer than there are parameters is a cycle (only in corrupt
  // data: the editor refuses cycles).
  if (!TVK_CHECK_AS(depth < NPARAMS, "TrackDepth<NSPAR+NVPAR*MAXVOICES", depth)) return p.Node[i].Value;
  const int dest = ParamNumOfPid(pid);
  const int source = ParamNumOfPid(src);
  int32_t v = TrackedAt(bg, params, count, src, i, depth + 1);
  if (source == PN_WAVEFORM) {
    if (dest == PN_WAVEFORM && p.Intercept == 0 && p.Slope == 1000) return v;
    v &= 0xFFFF;  // the shape; Z does not take part
  }
  const ParamDefType& drow = ParamRowOf(bg, dest);
  const int32_t dscale = Scale(drow.Digits);
  const int32_t sscale = Scale(ParamRowOf(bg, source).Digits);
  const int32_t m1[3] = {v, p.Slope, dscale}, d1[2] = {sscale, 1000};
  const int32_t m2[2] = {p.Intercept, dscale}, d2[1] = {1000};
  int64_t y = int64_t{MulDiv(m1, 3, d1, 2)} + MulDiv(m2, 2, d2, 1);
  y = ClampLimits(y, int64_t{p.MinLimit} * dscale, int64_t{p.MaxLimit} * dscale);
  y = ClampLimits(y, int64_t{drow.Min} * dscale, int64_t{drow.Max} * dscale);
  int32_t r = Saturate(y);
  if (dest == PN_WAVEFORM) r = static_cast<int32_t>((static_cast<uint32_t>(r) & 0xFFFF) | (500u << 16));  // Z 50.0 %
  return r;
}

int32_t TrackedValueIn(const BackgroundParamRow& bg, const Param* params, int count, int pid, int i) {
  if (!ValidPid(pid, count)) return 0;
  if (!TVK_CHECK(i >= 0 && i < MAXNODES, i)) return 0;
  return TrackedAt(bg, params, count, pid, i, 0);
}

void RecomputeTrackedIn(const BackgroundParamRow& bg, Param* params, int count, int dest, int src, int first,
                        int last) {
  if (!ValidPid(dest, count) || !ValidPid(src, count)) return;
  Param& d = params[dest];
  const Param& s = params[src];
  d.NumNodes = s.NumNodes;
  if (first < 0) {
    first = 0;
    last = std::min<int>(s.NumNodes, MAXNODES) - 1;
  }
  // A range is given as two 8-bit node indices; only 100 node slots exist.
  last = std::min(last, MAXNODES - 1);
  for (int k = first; k <= last; ++k) {
    d.Node[k] = s.Node[k];
    d.Node[k].Value = TrackedAt(bg, params, count, dest, k, 0);
  }
}

// The chain walk from b. `seen` marks every parameter already walked through
// in this search: meeting one again means a loop or a branch already known not
// to reach a, so the walk ends there. That bounds the recursion through split
// pitches, which could otherwise re-enter a loop through the beat frequency
// without end; without loops the answer is the same as walking step by step.
bool ChainWalk(const Param* params, int count, int a, int b, bool* seen) {
  while (b != a) {
    if (!TVK_CHECK_AS(b >= 0 && b < count, "TrackSource<NumParams", b)) return false;
    if (seen[b]) return false;
    seen[b] = true;
    const Param& p = params[b];
    if (p.Tracking != 0) {
      b = p.TrackSource;
    } else if (b >= NSPAR && (b - NSPAR) % NVPAR == 0 && params[b + 1].ChannelMode != 0) {
      // The beat is made from the two pitch channels.
      if (ChainWalk(params, count, a, b + 1, seen)) return true;
      b = b + 2;
    } else {
      return false;
    }
  }
  return true;
}

bool ChainReachesIn(const Param* params, int count, int a, int b) {
  bool seen[NPARAMS] = {};
  return ChainWalk(params, count, a, b, seen);
}

int InUse(const Segment& seg) {
  int count = SegParamCount(seg);
  if (!TVK_CHECK(seg.NumVoices >= 1 && seg.NumVoices <= MAXVOICES, seg.NumVoices)) count = std::min(count, NPARAMS);
  return count;
}

}  // namespace

// Any thread. Halves of positive quotients round up; negative quotients are
// truncated toward zero (their remainder is never positive). The remainder is
// compared with d - d div 2, which is d div 2 for the even divisors of the
// scale arithmetic; the bare d div 2 would round 7/5 = 1.4 up to 2 and x/1 up
// to x + 1. A negative divisor is moved to the dividend, so the rule applies
// to the sign of the quotient.
int32_t RoundDiv(int32_t x, int32_t d) {
  if (d > 0) return x / d + (x % d >= d - d / 2 ? 1 : 0);  // q + 1 <= INT32_MAX: d = 1 leaves no remainder
  if (!TVK_CHECK(d != 0, d)) return 0;
  int64_t n = x, m = d;
  if (m < 0) {
    n = -n;
    m = -m;
  }
  const int64_t q = n / m, r = n % m;
  return Saturate(q + (r >= m - m / 2 ? 1 : 0));
}

// Any thread.
int32_t Halve(int32_t x) { return x / 2 + ((x > 0 && (x & 1) != 0) ? 1 : 0); }

// Any thread. Divides early (by the next divisor) whenever the next
// multiplication could overflow. When that happens with no divisor left, the
// rest of the product is taken exactly and saturated: halving the partial
// product there, the historic last resort, is wrong by a power of two even
// when the true result fits, and never ends for a partial product of 1.
int32_t MulDiv(const int32_t* m, int p, const int32_t* d, int q) {
  if (!TVK_CHECK(p >= 1, p)) return 0;
  if (!TVK_CHECK(q >= 0, q)) q = 0;
  int32_t r = m[0];
  int k = 1, j = 0;
  while (k < p) {
    if (!WouldOverflow(r, m[k])) {
      r *= m[k];
      ++k;
    } else if (j < q) {
      r = RoundDiv(r, d[j]);
      ++j;
    } else {
      return SaturatedProduct(r, m + k, p - k);
    }
  }
  for (; j < q; ++j) r = RoundDiv(r, d[j]);
  return r;
}

int32_t MulDiv(int32_t a, int32_t b, int32_t c, int32_t d1, int32_t d2) {
  const int32_t m[3] = {a, b, c}, d[2] = {d1, d2};
  return MulDiv(m, 3, d, 2);
}

// Any thread.
int32_t CurveValue(const Param& p, int t) {
  const int n = NodeCount(p);
  if (n == 0) return 0;
  return CurveValueOn(p, FindInterval(p, n, t), t);
}

// Any thread.
int32_t CurveValueOn(const Param& p, int i, int t) {
  const int n = NodeCount(p);
  if (n == 0) return 0;
  if (i < 0 || i + 1 >= n) return p.Node[n - 1].Value;
  const Node& a = p.Node[i];
  const Node& b = p.Node[i + 1];
  return Interpolate(a.Value, b.Value, a.SweepTime, b.SweepTime, a.Weight, t);
}

// Any thread. Both halves are unsigned 16-bit values on the same curve shape.
int32_t CurveValuePacked(const Param& p, int t) {
  const int n = NodeCount(p);
  if (n == 0) return 0;
  return CurveValuePackedOn(p, FindInterval(p, n, t), t);
}

// Any thread.
int32_t CurveValuePackedOn(const Param& p, int i, int t) {
  const int n = NodeCount(p);
  if (n == 0) return 0;
  if (i < 0 || i + 1 >= n) return p.Node[n - 1].Value;
  const Node& a = p.Node[i];
  const Node& b = p.Node[i + 1];
  const uint32_t va = static_cast<uint32_t>(a.Value), vb = static_cast<uint32_t>(b.Value);
  const int32_t z = Interpolate(va >> 16, vb >> 16, a.SweepTime, b.SweepTime, a.Weight, t);
  const int32_t lo = Interpolate(va & 0xFFFF, vb & 0xFFFF, a.SweepTime, b.SweepTime, a.Weight, t);
  return static_cast<int32_t>((static_cast<uint32_t>(z) << 16) | (static_cast<uint32_t>(lo) & 0xFFFF));
}

// Any thread (reads the parameter records and the rows only).
int32_t TrackedValue(const BackgroundParamRow& bg, const Param* params, int pid, int i) {
  return TrackedValueIn(bg, params, NPARAMS, pid, i);
}
int32_t TrackedValue(const BackgroundParamRow& bg, const Param* params, const Segment& seg, int pid, int i) {
  return TrackedValueIn(bg, params, InUse(seg), pid, i);
}

// Main thread (writes the segment's records).
void RecomputeTracked(const BackgroundParamRow& bg, Param* params, int dest, int src, int first, int last) {
  RecomputeTrackedIn(bg, params, NPARAMS, dest, src, first, last);
}
void RecomputeTracked(const BackgroundParamRow& bg, Param* params, const Segment& seg, int dest, int src, int first,
                      int last) {
  RecomputeTrackedIn(bg, params, InUse(seg), dest, src, first, last);
}

// Any thread.
bool ChainReaches(const Param* params, int a, int b) { return ChainReachesIn(params, NPARAMS, a, b); }
bool ChainReaches(const Param* params, const Segment& seg, int a, int b) {
  return ChainReachesIn(params, InUse(seg), a, b);
}
