// The process-wide pseudo-random generator.
//
// A 32-bit linear congruential generator: state = state * 214013 + 2531011
// (mod 2^32), result = (state >> 16) & 0x7FFF, so every draw is 0..32767.
// The noise generator takes one draw per block as its seed. Any thread may
// call these; draws from several threads at once are not ordered.
#pragma once
#include <cstdint>

namespace plat {

constexpr int RAND_MAXVALUE = 0x7FFF;

void SeedRandom(uint32_t seed);
int Random();  // 0..32767

}  // namespace plat
