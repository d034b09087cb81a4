// The shape generator and the ConvVol formula: pure computations, shared by
// the engine and the build tool that computes the fixed tables
// (tools/mktables), so that both give the same tables.
#include <algorithm>
#include <cmath>

#include "data/synthesis/wavetab.h"

namespace {

// Break points of one cycle, in whole degrees (see BuildWaveform).
struct ShapePoints {
  int t, c, u, b, v, w, a;
};

ShapePoints PointsOf(int s, int d) {
  ShapePoints p;
  p.t = 90 - s / 2;
  p.c = p.t + (s * d / 100) * 2;
  p.b = s / 2 + 270;
  p.u = p.b - ((100 - d) * s / 100) * 2;
  p.v = (p.c + p.t) / 2;
  p.w = (p.u + p.b) / 2;
  p.a = (p.u + p.c) / 2;
  return p;
}

double ValueAt(const ShapePoints& p, double e, double x) {
  if (p.t < x && x < p.c) return 1.0;
  if (p.u < x && x < p.b) return -1.0;
  // A flat top of 180 degrees leaves no flank (t = 0): the only angles left
  // are the zero crossings themselves, which read 0 instead of 0/0.
  if (p.t <= 0) return 0.0;
  double y;
  if (x <= p.v)
    y = x * 90 / p.t;
  else if (x <= p.w)
    y = (x - p.a) * 90 / p.t + 180;
  else
    y = (x - 360) * 90 / p.t + 360;
  double g = std::sin(y * M_PI / 180);
  if (e == 1.0) return g;
  if (e == 0.0) return g > 0 ? 1.0 : (g < 0 ? -1.0 : 0.0);
  double m = g < 0 ? -g : g, r;
  if (e == 2.0)
    r = m * m;
  else if (e == 3.0)
    r = m * m * m;
  else
    r = std::pow(m, e);
  return g < 0 ? -r : r;
}

constexpr double GRID_DEGREES = 0.0439453125;  // 360 / 8192, exact in binary

}  // namespace

void WaveformShape(int p, int q, int* s, double* e) {
  *s = p >= 50 ? 180 * (p - 50) / 50 : -((p - 50) * (p - 50) / 5);
  *e = q >= 50 ? 2 - 0.02 * q : 3 - 0.04 * q;
}

void BuildWaveform(int s, int d, double e, void* out, int n, bool wide) {
  ShapePoints p = PointsOf(s, d);
  int k0 = p.v * 8192 / 360;
  double peak = ValueAt(p, e, (k0 - 1) * GRID_DEGREES);
  peak = std::max(peak, ValueAt(p, e, k0 * GRID_DEGREES));
  peak = std::max(peak, ValueAt(p, e, (k0 + 1) * GRID_DEGREES));
  double scale = wide ? 32767.0 : 127.0;
  int stride = 8192 / n;
  for (int j = 0; j < n; j++) {
    double x = ValueAt(p, e, static_cast<double>(j * stride) * GRID_DEGREES);
    if (peak != 1.0) x /= peak;
    double r = std::round(x * scale);
    if (wide)
      static_cast<int16_t*>(out)[j] = static_cast<int16_t>(r);
    else
      static_cast<int8_t*>(out)[j] = static_cast<int8_t>(r);
  }
}

int32_t ConvVolOf(int i) {
  return static_cast<int32_t>(std::floor(1024.0 * std::log(1.0 - i / 10100.0) / std::log(1.0 / 101.0) + 0.5));
}
