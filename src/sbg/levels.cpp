#include "sbg/levels.h"

#include <algorithm>
#include <cmath>

namespace sbg {

double GainOfVolume(double volume) { return std::log(1 - volume / 10100) / std::log(1.0 / 101); }

double VolumeOfGain(double g) { return std::clamp(10100 * (1 - std::pow(101.0, -g)), 0.0, 10000.0); }

double TopGain() { return GainOfVolume(9500); }

namespace {

double TargetSlope(NoiseColor c) { return c == NoiseColor::White ? 0 : c == NoiseColor::Pink ? -3 : -6; }

// Smoothness 100 restarts the filter at every block and plays no noise, so
// the search stops below it.
int Nearest(double slope) {
  int best = 0;
  for (int s = 1; s < 100; ++s)
    if (std::fabs(NoiseTable[s].Slope - slope) < std::fabs(NoiseTable[best].Slope - slope)) best = s;
  return best;
}

}  // namespace

int SmoothnessOf(NoiseColor c) {
  static const int kSmooth[3] = {Nearest(0), Nearest(-3), Nearest(-6)};
  return kSmooth[static_cast<int>(c)];
}

NoiseColor ColorOf(int smoothness) {
  double slope = NoiseTable[std::clamp(smoothness, 0, 100)].Slope;
  NoiseColor best = NoiseColor::White;
  for (NoiseColor c : {NoiseColor::Pink, NoiseColor::Brown})
    if (std::fabs(slope - TargetSlope(c)) < std::fabs(slope - TargetSlope(best))) best = c;
  return best;
}

int32_t PackedWave(Wave w) {
  switch (w) {
    case Wave::Square:
    case Wave::Sawtooth: return WAVE_RECTANGLE;
    case Wave::Triangle: return WAVE_TRIANGLE;
    default: return WAVE_SINE;
  }
}

}  // namespace sbg
