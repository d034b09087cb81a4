// Generated noise (white to brown) with volume modulation.
#pragma once
#include <cstdint>

#include "data/synthesis/records.h"

struct PlaybackState;

// Filter coefficients for smoothness S (0..100, more counts as 100):
// a = S * 128 / 100, divisor Q = ((16384 - a (a + 128)) a + 2097152) >> 7
// (at least 1), gain M = (16384 - a^2)^2 >> 14.
struct NoiseCoefficients {
  int32_t A;
  uint32_t Q;
  uint32_t M;
};
NoiseCoefficients NoiseCoefficientsOf(int smoothness);

// Exact division by a divisor fixed for the block: with m = ceil(2^64 / d),
// n / d is the high word of n * m for every 32-bit n and d >= 2. The
// divisor 1 (smoothness 100) only ever divides 0 there (M = 0 and the filter
// restarts at 0), which m = 2^64 - 1 also gives.
struct NoiseDivider {
  uint64_t Magic;
  explicit NoiseDivider(uint32_t d) : Magic(d > 1 ? UINT64_MAX / d + 1 : UINT64_MAX) {}
  uint32_t operator()(uint32_t n) const {
    return static_cast<uint32_t>((static_cast<unsigned __int128>(Magic) * n) >> 64);
  }
};

// Exact division of numerators below 2^31 (y' stays below them) by a
// divisor fixed for the block, with one 32 x 32-bit multiply: with
// L = ceil(log2 d) and N = 31 + L, m = ceil(2^N / d) fits 32 bits, and
// n / d = (n m) >> N, because the excess of m over 2^N / d (below 1) adds
// less than n / 2^N < 2^-L <= 1 / d to n / d. The divisor 1 divides only 0
// (see above), which m = 0 gives. The form the vector path uses.
struct NoiseDivider31 {
  uint32_t Magic;
  int Shift;
  explicit NoiseDivider31(uint32_t d);
  uint32_t operator()(uint32_t n) const { return static_cast<uint32_t>((static_cast<uint64_t>(n) * Magic) >> Shift); }
};

// Adds the noise of record r to `out` with gain g; the seed is one draw of
// the process-wide generator. Generating thread.
void MixNoise(PlaybackState& pb, void* out, int frames, int gain, const SweepRecord* r, bool wide, bool invert);
