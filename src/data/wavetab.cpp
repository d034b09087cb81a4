// Shape generator, fixed tables, ConvVol and the waveform cache.
#include "data/wavetab.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "assert/check.h"
#include "data/options.h"
#include "data/state.h"

int8_t SineData8[WAVELEN];
int8_t TriangularData8[WAVELEN];
int8_t RectangularData8[WAVELEN];
int8_t SteepRectangularData8[WAVELEN];
int32_t ConvVol[10001];

namespace {

struct WaveformCacheEntry {
  int32_t Shape;
  float Exponent;
  int32_t Filter;
  void* Data;
};
WaveformCacheEntry gCache[MAXWAVEFORMCACHE];
int gCacheCount = 0;

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

void BuildFixedTables() {
  BuildWaveform(0, 50, 1.0, SineData8, WAVELEN, false);
  BuildWaveform(-500, 50, 1.0, TriangularData8, WAVELEN, false);
  BuildWaveform(108, 50, 1.0, RectangularData8, WAVELEN, false);
  BuildWaveform(162, 50, 1.0, SteepRectangularData8, WAVELEN, false);
  for (int i = 0; i <= 10000; i++)
    ConvVol[i] = static_cast<int32_t>(std::floor(1024.0 * std::log(1.0 - i / 10100.0) / std::log(1.0 / 101.0) + 0.5));
}

void ReserveOrReport(plat::Region& r, size_t bytes, const char* expr, const char* name) {
  if (!plat::RegionReserve(r, bytes)) CheckFail(TVK_MODULE, __LINE__, expr, name, 0);
}

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

void InitEngineTables() {
  ReserveOrReport(SweepData, SWEEPDATA_BYTES, "SweepData!=NULL", "SweepData");
  ReserveOrReport(WaveformData, WAVEFORMDATA_BYTES, "WaveformData!=NULL", "WaveformData");
  ReserveOrReport(DataBlockMem, DATABLOCKMEM_BYTES, "DataBlockMem!=NULL", "DataBlockMem");
  ReserveOrReport(BackgroundTempData, BACKGROUNDTEMPDATA_BYTES, "BackgroundTempData!=NULL", "BackgroundTempData");
  ReserveOrReport(BackgroundData, BACKGROUNDDATA_BYTES, "BackgroundData!=NULL", "BackgroundData");
  BuildFixedTables();
  ResetOscillators();
}

void ResetWaveformCache() { gCacheCount = 0; }
int WaveformCacheCount() { return gCacheCount; }

int GetWaveformTable(int32_t waveform, int32_t filter, const void** table) {
  // Halves above 100.0 % only come from hand-made files; they would put the
  // break points outside the cycle.
  int lo = std::min(static_cast<int>(static_cast<uint32_t>(waveform) & 0xFFFF), 1000);
  int hi = std::min(static_cast<int>(static_cast<uint32_t>(waveform) >> 16), 1000);
  int s;
  double e;
  WaveformShape(lo / 10, hi / 10, &s, &e);
  int f = std::clamp<int32_t>(filter, 0, FILTER_NONE);
  float ef = static_cast<float>(e);
  for (int i = 0; i < gCacheCount; i++) {
    const WaveformCacheEntry& c = gCache[i];
    if (c.Shape == s && c.Exponent == ef && c.Filter == f) {
      *table = c.Data;
      return 0;
    }
  }
  if (gCacheCount >= MAXWAVEFORMCACHE) return -2;
  bool wide = EngineOptions.Bits16 != 0;
  size_t stride = WAVELEN * (wide ? 2 : 1);
  if (!plat::RegionEnsure(WaveformData, stride * static_cast<size_t>(gCacheCount + 1))) return -2;
  void* data = WaveformData.Base + stride * static_cast<size_t>(gCacheCount);
  BuildWaveform(s, 50, e, data, WAVELEN, wide);
  if (f < FILTER_NONE) FilterWaveform(f, data, WAVELEN, wide);
  gCache[gCacheCount++] = {s, ef, f, data};
  *table = data;
  return 0;
}
