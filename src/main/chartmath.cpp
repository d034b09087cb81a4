// The parameter chart's arithmetic.
#include "main/chartmath.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <numbers>

#include "assert/check.h"
#include "main/arith.h"

namespace {

int64_t Pow10(int n) {
  int64_t p = 1;
  for (int i = 0; i < n && i < 18; ++i) p *= 10;
  return p;
}

int64_t FloorDiv(int64_t a, int64_t b) {
  int64_t q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}
int64_t CeilDiv(int64_t a, int64_t b) { return -FloorDiv(-a, b); }

int ToInt(int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT_MIN, INT_MAX)); }

// The first s in step..2 x step - 1 that divides every one of a and b (b
// ignored when 0); 0 when none does.
int64_t FirstDivisor(int64_t step, int64_t a, int64_t b) {
  // Nothing above |a| divides a, which keeps a one-label range quick.
  const int64_t top = std::min(2 * step - 1, a < 0 ? -a : a);
  for (int64_t s = step; s <= top; ++s)
    if (s > 0 && a % s == 0 && (b == 0 || b % s == 0)) return s;
  return 0;
}

}  // namespace

int GridStep(int from, int to, int require, int length) {
  const int64_t Range = int64_t(to) - from;
  if (!TVK_CHECK(Range > 0 && require > 0, Range)) return -1;
  const int64_t n = length / require;
  const int64_t step = n > 0 ? Range / n + 1 : Range + 1;
  int64_t s = 0;
  bool fallback = false;
  if (from < 0 && to > 0) {
    s = FirstDivisor(step, Range, from);
    if (s == 0) s = FirstDivisor(step, from, 0);
    if (s == 0) {
      // No round step near the minimum divides the lower bound: one derived
      // from how often the bound fits into the range.
      int64_t n1 = n > 0 ? n : 1;
      int64_t step2 = 1 - (((Range % from) != 0 ? 1 : 0) - Range / from) * from / n1;
      if (step2 < 1) step2 = 1;
      s = FirstDivisor(step2, from, 0);
      if (s == 0) {
        s = step2;
        fallback = true;
      }
    }
  } else {
    s = FirstDivisor(step, Range, 0);
    if (s == 0) {
      s = step;
      fallback = true;
    }
  }
  if (fallback && s > 5 && s % 2 == 1 && s % 5 != 0) ++s;
  if (s == Range) s /= 2;
  return ToInt(s);
}

bool RecomputeChartRange(const ChartValueDef& d, int64_t lo, int64_t hi, bool lower, bool upper, ChartRange* r) {
  const ChartRange old = *r;
  int64_t low = r->Min, high = r->Max;
  if (d.FixedRange) {
    low = d.Min;
    high = d.Max;
  } else {
    const int64_t s = Pow10(d.Digits);
    if (lower) low = FloorDiv(lo, s);
    if (upper) high = CeilDiv(hi, s);
    const bool beat = d.ParamNum == PN_BEAT;
    const int64_t f = beat ? 2 : d.Max / 100;
    const int64_t h = std::max<int64_t>(f, 2);
    if (low == high) {
      low -= h;
      high += h;
    }
    low = std::clamp<int64_t>(low, d.Min, d.Max);
    high = std::clamp<int64_t>(high, d.Min, d.Max);
    if (beat) {
      low = FloorDiv(low, 2) * 2;
      high = CeilDiv(high, 2) * 2;
    } else if (f > 0) {
      low = f * FloorDiv(low * 100, d.Max);
      high = f * CeilDiv(high * 100, d.Max);
    }
    if (high - low < 2) {
      if (high < d.Max)
        high = low + h;
      else
        low = high - h;
    }
  }
  r->Min = ToInt(low);
  r->Max = ToInt(high);
  return r->Min != old.Min || r->Max != old.Max;
}

int64_t ValueToY(const ChartRange& r, int digits, int64_t stored) {
  const int64_t s = Pow10(digits);
  const int64_t span = std::max<int64_t>(int64_t(r.Max) - r.Min, 1) * s;
  return (stored - int64_t(r.Min) * s) * CHART_HEIGHT / span;
}

int64_t YToValue(const ChartRange& r, int digits, int64_t y) {
  const int64_t s = Pow10(digits);
  const int64_t span = std::max<int64_t>(int64_t(r.Max) - r.Min, 1) * s;
  return int64_t(r.Min) * s + y * span / CHART_HEIGHT;
}

int32_t SnapNodeValue(const ChartValueDef& d, int64_t stored, bool* clamped) {
  const int64_t step = d.Shown < d.Digits ? Pow10(d.Digits - d.Shown) : 1;
  int64_t v = stored / step * step;
  const int64_t s = Pow10(d.Digits);
  const int64_t lo = int64_t(d.Min) * s, hi = int64_t(d.Max) * s;
  const int64_t c = std::clamp(v, lo, hi);
  if (clamped) *clamped = c != v;
  return static_cast<int32_t>(c);
}

int32_t NodeLow(const ChartValueDef& d, int32_t value) {
  return d.Z ? static_cast<int32_t>(static_cast<uint32_t>(value) & 0xFFFFu) : value;
}

int32_t NodeZ(int32_t value) { return static_cast<int32_t>(static_cast<uint32_t>(value) >> 16); }

int32_t WithHalf(const ChartValueDef& d, int32_t value, bool z, int32_t half) {
  if (!d.Z) return half;
  uint32_t v = static_cast<uint32_t>(value);
  uint32_t h = static_cast<uint32_t>(half) & 0xFFFFu;
  v = z ? ((v & 0xFFFFu) | (h << 16)) : ((v & 0xFFFF0000u) | h);
  return static_cast<int32_t>(v);
}

void SweepPoint(int t0, int64_t v0, int t1, int64_t v1, int weight, int k, int64_t* t, int64_t* v) {
  const uint8_t* w = WeightTable[std::clamp(weight, 0, 20)];
  k = std::clamp(k, 0, 20);
  *t = t0 + (int64_t(t1) - t0) * k / 20;
  *v = v0 + (v1 - v0) * w[k] / 100;
}

int WeightFromHandle(double dx, double dy) {
  if (dx == 0 || (dx < 0 && dy > 0)) return 20;
  long w = std::lround(std::atan2(dy / dx, 1.0) * 40 / std::numbers::pi);
  return static_cast<int>(std::clamp<long>(w, 0, 20));
}

double HandleAngle(int weight) { return std::clamp(weight, 0, 20) * std::numbers::pi / 40; }

uint32_t NodesChangedCode(int first, int last, int moved, int flags) {
  auto b = [](int v) { return static_cast<uint32_t>(v) & 0xFFu; };
  return b(first) | b(last) << 8 | b(moved) << 16 | b(flags) << 24;
}

NodesChanged DecodeNodesChanged(uint32_t code) {
  return {static_cast<int>(code & 0xFFu), static_cast<int>((code >> 8) & 0xFFu), static_cast<int>((code >> 16) & 0xFFu),
          static_cast<int>(code >> 24)};
}

std::vector<DerivedPoint> DerivedCurve(const Param& first, const Param& second, int fromDigits, int toDigits) {
  std::vector<int> times;
  for (const Param* p : {&first, &second}) {
    int n = std::clamp<int>(p->NumNodes, 0, MAXNODES);
    for (int i = 0; i + 1 < n; ++i) {
      int t0 = p->Node[i].SweepTime, dt = p->Node[i + 1].SweepTime - t0;
      for (int k = 0; k < 20; ++k) times.push_back(t0 + dt * k / 20);
    }
  }
  times.push_back(CHART_WIDTH);
  std::sort(times.begin(), times.end());
  times.erase(std::unique(times.begin(), times.end()), times.end());
  std::vector<DerivedPoint> out;
  out.reserve(times.size());
  const int64_t up = toDigits >= fromDigits ? Pow10(toDigits - fromDigits) : 1;
  const int64_t down = toDigits < fromDigits ? Pow10(fromDigits - toDigits) : 1;
  for (int t : times) {
    const int NextTime = t;
    if (!TVK_CHECK_AS(NextTime <= 10000, "NextTime<=10000", NextTime)) break;
    if (t < 0) continue;
    int64_t diff = int64_t(CurveValue(second, t)) - CurveValue(first, t);
    out.push_back({t, diff * up / down});
  }
  return out;
}

int64_t ShownValueAt(const ChartValueDef& d, const Param& first, const Param* second, int fromDigits, int t) {
  t = std::clamp(t, 0, CHART_WIDTH);
  if (!second) return NodeLow(d, d.Z ? CurveValuePacked(first, t) : CurveValue(first, t));
  const int64_t diff = int64_t(CurveValue(*second, t)) - CurveValue(first, t);
  if (d.Digits >= fromDigits) return diff * Pow10(d.Digits - fromDigits);
  return diff / Pow10(fromDigits - d.Digits);
}
