// Low-pass filtering of waveform tables (800-tap Hamming-windowed sinc).
#include <algorithm>
#include <cmath>
#include <vector>

#include "data/synthesis/wavetab.h"

namespace {

constexpr int HALFTAPS = 400;

// k(l) for l = -400..-1, stored at [l + 400].
void Coefficients(int f, int n, double k[HALFTAPS]) {
  double h = f / 100.0;
  double e = std::min(static_cast<double>(n / 4), h + 0.5);
  double fc = 2 * e / n;
  for (int l = -HALFTAPS; l <= -1; l++)
    k[l + HALFTAPS] = std::sin(2 * M_PI * fc * l) / (M_PI * l) * (0.54 + 0.46 * std::cos(M_PI * l / HALFTAPS));
}

}  // namespace

void LowPassWaveform(int f, const void* samples, int n, int offset, bool wide, double* out) {
  double k[HALFTAPS];
  Coefficients(f, n, k);
  // The periodic extension x[i] = sample[i mod n], i = 0..n+O-1.
  std::vector<int> x(static_cast<size_t>(n + offset));
  for (int i = 0; i < n + offset; i++)
    x[static_cast<size_t>(i)] =
        wide ? static_cast<const int16_t*>(samples)[i % n] : static_cast<const int8_t*>(samples)[i % n];
  // out[i] = y[i + O - 800], y[j] = sum k(m - 400) * (x[j+1+m] + x[j+800-m]).
  for (int i = 0; i < n; i++) {
    const int* xj = x.data() + (i + offset - 2 * HALFTAPS);
    double y = 0;
    for (int m = 0; m < HALFTAPS; m++) y += k[m] * (xj[1 + m] + xj[800 - m]);
    out[i] = y;
  }
}

void FilterWaveform(int f, void* table, int n, bool wide) {
  std::vector<double> out(static_cast<size_t>(n));
  LowPassWaveform(f, table, n, 1600, wide, out.data());
  double m = 0;
  for (double v : out) m = std::max(m, std::fabs(v));
  if (m == 0) return;  // a silent table stays silent
  double scale = wide ? 32767.0 : 127.0;
  for (int i = 0; i < n; i++) {
    double r = std::round(out[static_cast<size_t>(i)] / m * scale);
    if (wide)
      static_cast<int16_t*>(table)[i] = static_cast<int16_t>(r);
    else
      static_cast<int8_t*>(table)[i] = static_cast<int8_t>(r);
  }
}
