// Harmonic analysis of 64-sample cycles for the waveform preview.
#include <cmath>
#include <utility>

#include "data/synthesis/wavetab.h"

namespace {

constexpr int FFTLEN = 64;

// In-place radix-2 complex FFT, forward sign: bit-reversal permutation, then
// log2(64) butterfly stages with twiddles advanced by the cos/sin recurrence.
void Fft64(double re[FFTLEN], double im[FFTLEN]) {
  for (int i = 0, j = 0; i < FFTLEN; i++) {
    if (i < j) {
      std::swap(re[i], re[j]);
      std::swap(im[i], im[j]);
    }
    int bit = FFTLEN >> 1;
    while (bit >= 1 && (j & bit)) {
      j ^= bit;
      bit >>= 1;
    }
    j |= bit;
  }
  for (int half = 1; half < FFTLEN; half *= 2) {
    double theta = -M_PI / half;
    double wpr = std::cos(theta), wpi = std::sin(theta);
    double wr = 1.0, wi = 0.0;
    for (int m = 0; m < half; m++) {
      for (int i = m; i < FFTLEN; i += 2 * half) {
        int j = i + half;
        double tr = wr * re[j] - wi * im[j];
        double ti = wr * im[j] + wi * re[j];
        re[j] = re[i] - tr;
        im[j] = im[i] - ti;
        re[i] += tr;
        im[i] += ti;
      }
      double t = wr;
      wr = wr * wpr - wi * wpi;
      wi = wi * wpr + t * wpi;
    }
  }
}

void Analyse(const double v[FFTLEN], int levels[16]) {
  double re[FFTLEN], im[FFTLEN];
  for (int i = 0; i < FFTLEN; i++) {
    re[i] = v[i];
    im[i] = 0;
  }
  Fft64(re, im);
  double mag[16];
  for (int i = 0; i < 16; i++) {
    double m = 0;
    for (int b = 2 * i + 1; b <= 2 * i + 3; b++) m = std::fmax(m, std::sqrt(re[b] * re[b] + im[b] * im[b]));
    mag[i] = m;
  }
  // Without a fundamental there is no reference level; everything reads as
  // absent rather than as a NaN.
  double l0 = mag[0] > 0 ? 20 * std::log10(mag[0]) : 0;
  for (int i = 0; i < 16; i++) {
    if (mag[i] == 0 || mag[0] == 0) {
      levels[i] = -32767;
      continue;
    }
    double l = std::round((20 * std::log10(mag[i]) - l0) * 327.67);
    levels[i] = l < -32767 ? -32767 : static_cast<int>(l);
  }
}

}  // namespace

void PeriodHarmonicLevels(const int16_t* samples, int period, int levels[16]) {
  if (period <= 0) return;
  double v[FFTLEN];
  for (int i = 0; i < FFTLEN; i++) v[i] = samples[i % period];
  Analyse(v, levels);
}

bool FilteredHarmonicLevels(int f, const int16_t* samples, int count, int levels[16]) {
  if (f >= FILTER_NONE || count < FFTLEN) return false;
  double out[8192];
  if (count > 8192) count = 8192;
  LowPassWaveform(f, samples, count, 800, true, out);
  Analyse(out, levels);
  return true;
}
