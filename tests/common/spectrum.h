// Spectrum analysis of rendered sound for tests and measurements: an FFT, the
// frequency of a spectral peak near an expected one, the amplitude of a tone,
// and a noise's power density averaged over windows.
#pragma once
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstddef>
#include <vector>

namespace spectrum {

// In-place radix-2 FFT; the size must be a power of two.
inline void Fft(std::vector<std::complex<double>>& a) {
  const size_t n = a.size();
  for (size_t i = 1, j = 0; i < n; ++i) {
    size_t bit = n >> 1;
    for (; j & bit; bit >>= 1) j ^= bit;
    j ^= bit;
    if (i < j) std::swap(a[i], a[j]);
  }
  for (size_t len = 2; len <= n; len <<= 1) {
    double ang = -2 * M_PI / static_cast<double>(len);
    std::complex<double> wl(std::cos(ang), std::sin(ang));
    for (size_t i = 0; i < n; i += len) {
      std::complex<double> w(1);
      for (size_t k = 0; k < len / 2; ++k) {
        std::complex<double> u = a[i + k], v = a[i + k + len / 2] * w;
        a[i + k] = u + v;
        a[i + k + len / 2] = u - v;
        w *= wl;
      }
    }
  }
}

// Magnitudes of the Hann-windowed, zero-padded spectrum of x (padded to
// `size`, a power of two), scaled so that a sine of amplitude A peaks near A.
inline std::vector<double> Magnitudes(const std::vector<double>& x, size_t size) {
  std::vector<std::complex<double>> a(size);
  double sum = 0;
  for (size_t i = 0; i < x.size() && i < size; ++i) {
    double w = 0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i) / static_cast<double>(x.size()));
    a[i] = x[i] * w;
    sum += w;
  }
  Fft(a);
  std::vector<double> m(size / 2);
  for (size_t k = 0; k < m.size(); ++k) m[k] = 2 * std::abs(a[k]) / sum;
  return m;
}

struct Peak {
  double Hz = 0;
  double Amplitude = 0;
};

// The largest peak within `hz` +- `span` of a magnitude spectrum made at
// `rate` with `size` bins, its frequency refined by a parabola through the
// log magnitudes of the three bins around it.
inline Peak PeakNear(const std::vector<double>& m, double rate, size_t size, double hz, double span) {
  double binHz = rate / static_cast<double>(size);
  long lo = std::max(1L, static_cast<long>((hz - span) / binHz));
  long hi = std::min(static_cast<long>(m.size()) - 2, static_cast<long>((hz + span) / binHz) + 1);
  long best = lo;
  for (long k = lo; k <= hi; ++k)
    if (m[static_cast<size_t>(k)] > m[static_cast<size_t>(best)]) best = k;
  double a = std::log(m[static_cast<size_t>(best - 1)] + 1e-300), b = std::log(m[static_cast<size_t>(best)] + 1e-300),
         c = std::log(m[static_cast<size_t>(best + 1)] + 1e-300);
  double d = a - 2 * b + c;
  double off = d < 0 ? 0.5 * (a - c) / d : 0;
  Peak p;
  p.Hz = (static_cast<double>(best) + off) * binHz;
  p.Amplitude = std::exp(b - 0.25 * (a - c) * off);
  return p;
}

// Power density (per bin, Hann-windowed, averaged over windows of `size`
// samples overlapping by half) of x.
inline std::vector<double> PowerDensity(const std::vector<double>& x, size_t size) {
  std::vector<double> p(size / 2, 0.0);
  int windows = 0;
  for (size_t start = 0; start + size <= x.size(); start += size / 2, ++windows) {
    std::vector<std::complex<double>> a(size);
    for (size_t i = 0; i < size; ++i)
      a[i] = x[start + i] * (0.5 - 0.5 * std::cos(2 * M_PI * static_cast<double>(i) / static_cast<double>(size)));
    Fft(a);
    for (size_t k = 0; k < p.size(); ++k) p[k] += std::norm(a[k]);
  }
  for (double& v : p) v /= std::max(windows, 1);
  return p;
}

// Slope in dB per octave of a power density made at `rate`, fitted by least
// squares to its octave-band averages between lo and hi Hz.
inline double SlopeDbPerOctave(const std::vector<double>& p, double rate, double lo, double hi) {
  double binHz = rate / (2.0 * static_cast<double>(p.size()));
  std::vector<std::pair<double, double>> pts;  // (octave, dB)
  for (double f = lo; f * 2 <= hi * 1.0001; f *= 2) {
    size_t a = static_cast<size_t>(f / binHz), b = static_cast<size_t>(2 * f / binHz);
    double sum = 0;
    for (size_t k = a; k < b && k < p.size(); ++k) sum += p[k];
    double mean = sum / static_cast<double>(std::max<size_t>(b - a, 1));
    pts.emplace_back(std::log2(f * std::sqrt(2.0)), 10 * std::log10(mean + 1e-300));
  }
  double sx = 0, sy = 0, sxx = 0, sxy = 0, n = static_cast<double>(pts.size());
  for (auto [x, y] : pts) sx += x, sy += y, sxx += x * x, sxy += x * y;
  return (n * sxy - sx * sy) / (n * sxx - sx * sx);
}

// The level |x| stays below for a fraction q of the samples.
inline double Percentile(std::vector<double> x, double q) {
  for (double& v : x) v = std::fabs(v);
  if (x.empty()) return 0;
  size_t k = std::min(x.size() - 1, static_cast<size_t>(q * static_cast<double>(x.size())));
  std::nth_element(x.begin(), x.begin() + static_cast<long>(k), x.end());
  return x[k];
}

}  // namespace spectrum
