// Generated noise (white to brown) with volume modulation.
#pragma once
#include <cstdint>

#include "data/records.h"

// Filter coefficients for smoothness S (0..100, more counts as 100):
// a = S * 128 / 100, divisor Q = ((16384 - a (a + 128)) a + 2097152) >> 7
// (at least 1), gain M = (16384 - a^2)^2 >> 14.
struct NoiseCoefficients {
  int32_t A;
  uint32_t Q;
  uint32_t M;
};
NoiseCoefficients NoiseCoefficientsOf(int smoothness);

// Adds the noise of record r to `out` with gain g; the seed is one draw of
// the process-wide generator. Generating thread.
void MixNoise(void* out, int frames, int gain, const SweepRecord* r, bool wide, bool invert);
