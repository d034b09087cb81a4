#include "sbg/curves.h"

#include <algorithm>
#include <cmath>

#include "main/arith.h"

namespace sbg {

double WeightedValue(double v0, double v1, int w, double x) {
  x = std::clamp(x, 0.0, 1.0);
  if (w == 10 || v0 == v1) return v0 + (v1 - v0) * x;
  double pos = x * 20;
  int p = std::min(19, static_cast<int>(pos));
  double a = v0 + WeightTable[w][p] * (v1 - v0) / 100;
  double b = v0 + WeightTable[w][p + 1] * (v1 - v0) / 100;
  return a + (b - a) * (pos - p);
}

int FitWeight(double v0, double v1, const std::function<double(double)>& ideal) {
  if (v0 == v1) return 10;
  int best = 10;
  double bestErr = 1e300;
  double ref[41];
  for (int k = 0; k <= 40; ++k) ref[k] = ideal(k / 40.0);
  for (int w = 0; w <= 20; ++w) {
    double err = 0;
    for (int k = 0; k <= 40; ++k) err = std::max(err, std::fabs(WeightedValue(v0, v1, w, k / 40.0) - ref[k]));
    // Straight lines win ties: they cut without refitting.
    if (err < bestErr - 1e-9 || (w == 10 && err <= bestErr + 1e-9)) {
      bestErr = err;
      best = w;
    }
  }
  return best;
}

namespace {

double Interval(const Curve& c, size_t i, double t) {
  const GNode& a = c[i];
  const GNode& b = c[i + 1];
  return WeightedValue(a.V, b.V, a.W, (t - a.T) / (b.T - a.T));
}

}  // namespace

double ValueAfter(const Curve& c, double t) {
  if (c.empty()) return 0;
  auto it = std::upper_bound(c.begin(), c.end(), t, [](double x, const GNode& n) { return x < n.T; });
  if (it == c.begin()) return c.front().V;
  size_t i = static_cast<size_t>(it - c.begin()) - 1;  // last node at or before t
  if (i + 1 >= c.size()) return c.back().V;
  return Interval(c, i, t);
}

double ValueBefore(const Curve& c, double t) {
  if (c.empty()) return 0;
  auto it = std::lower_bound(c.begin(), c.end(), t, [](const GNode& n, double x) { return n.T < x; });
  if (it == c.end()) return c.back().V;
  size_t j = static_cast<size_t>(it - c.begin());  // first node at or after t
  if (j == 0) return c.front().V;
  return Interval(c, j - 1, t);
}

void Simplify(Curve& c) {
  Curve out;
  for (const GNode& n : c) {
    // Of several nodes at one time only the first and the last count; a
    // repeated node hands on its weight, the course after it.
    if (out.size() >= 2 && out[out.size() - 2].T == n.T && out.back().T == n.T) out.pop_back();
    if (!out.empty() && out.back().T == n.T && out.back().V == n.V) {
      out.back().W = n.W;
      continue;
    }
    while (out.size() >= 2) {
      const GNode& a = out[out.size() - 2];
      const GNode& b = out.back();
      bool flat = a.V == b.V && b.V == n.V;
      bool straight = a.W == 10 && b.W == 10 && a.T < b.T && b.T < n.T &&
                      std::fabs(a.V + (n.V - a.V) * (b.T - a.T) / (n.T - a.T) - b.V) <= 0.25;
      if (!(flat || straight)) break;
      out.pop_back();
      if (flat) out.back().W = 10;
    }
    out.push_back(n);
  }
  c = std::move(out);
}

int SliceCount(const Curve& c, double s, double e) {
  auto lo = std::upper_bound(c.begin(), c.end(), s, [](double x, const GNode& n) { return x < n.T; });
  auto hi = std::lower_bound(c.begin(), c.end(), e, [](const GNode& n, double x) { return n.T < x; });
  return 2 + static_cast<int>(std::max<std::ptrdiff_t>(0, hi - lo));
}

Curve Slice(const Curve& c, double s, double e) {
  Curve out;
  out.push_back({s, ValueAfter(c, s), 10});
  auto lo = std::upper_bound(c.begin(), c.end(), s, [](double x, const GNode& n) { return x < n.T; });
  auto hi = std::lower_bound(c.begin(), c.end(), e, [](const GNode& n, double x) { return n.T < x; });
  for (auto it = lo; it < hi; ++it) out.push_back(*it);
  out.push_back({e, ValueBefore(c, e), 10});
  // Each interval of the slice lies within one interval of the curve; where
  // it is only part of a curved one, its weight is fitted to that course.
  for (size_t k = 0; k + 1 < out.size(); ++k) {
    GNode& a = out[k];
    const GNode& b = out[k + 1];
    if (b.T <= a.T) {
      a.W = 10;
      continue;
    }
    double mid = (a.T + b.T) / 2;
    auto it = std::upper_bound(c.begin(), c.end(), mid, [](double x, const GNode& n) { return x < n.T; });
    if (it == c.begin() || it == c.end()) {
      a.W = 10;
      continue;
    }
    size_t i = static_cast<size_t>(it - c.begin()) - 1;
    const GNode& ca = c[i];
    const GNode& cb = c[i + 1];
    if (ca.W == 10 || ca.V == cb.V) {
      a.W = 10;
    } else if (a.T == ca.T && b.T == cb.T) {
      a.W = ca.W;
    } else {
      double t0 = a.T, t1 = b.T;
      a.W = FitWeight(a.V, b.V, [&](double x) { return Interval(c, i, t0 + (t1 - t0) * x); });
    }
  }
  return out;
}

}  // namespace sbg
