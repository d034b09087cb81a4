#include "platform/rand.h"

#include <atomic>

namespace plat {

namespace {
// Relaxed atomics keep concurrent draws free of data races; the sequence of a
// single thread is exactly the generator's.
std::atomic<uint32_t> gState{1};
}  // namespace

void SeedRandom(uint32_t seed) { gState.store(seed, std::memory_order_relaxed); }

int Random() {
  uint32_t s = gState.load(std::memory_order_relaxed) * 214013u + 2531011u;
  gState.store(s, std::memory_order_relaxed);
  return static_cast<int>((s >> 16) & 0x7FFF);
}

}  // namespace plat
