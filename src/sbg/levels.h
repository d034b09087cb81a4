// Levels and colours shared by the import and the export: the engine's
// volume curve (a volume in hundredths of a percent against the linear gain
// it gives), and the noise at each Noise Smoothness value as measured by
// bench/noise_slope.sh.
#pragma once
#include <cstdint>

#include "sbg/session.h"

namespace sbg {

// The gain (0-1) of a volume (0-10000), as the engine's volume table has it.
double GainOfVolume(double volume);
// The volume (0-10000, not rounded) that gives gain g.
double VolumeOfGain(double g);
// The highest gain the import gives a source: that of 95 % volume, below the
// top of the volume curve, where its steps grow coarse.
double TopGain();

struct NoiseRow {
  double Slope;  // dB per octave, 100 Hz - 12.8 kHz
  double Peak;   // 99.9th percentile of |sample| over the peak of a tone of the same volume
};
// By Noise Smoothness, 0-100.
extern const NoiseRow NoiseTable[101];

// The smoothness whose slope is the colour's: white 0 dB, pink -3 dB, brown
// -6 dB per octave.
int SmoothnessOf(NoiseColor c);
// The colour nearest to a smoothness (by slope).
NoiseColor ColorOf(int smoothness);

// Packed waveform values (shape and Z in tenths of a percent).
constexpr int32_t WAVE_SINE = 32768500;       // shape 50 %: a sine
constexpr int32_t WAVE_RECTANGLE = 32769000;  // shape 100 %: a hard rectangle
constexpr int32_t WAVE_TRIANGLE = 32768000;   // shape 0 %: a triangle
int32_t PackedWave(Wave w);

}  // namespace sbg
