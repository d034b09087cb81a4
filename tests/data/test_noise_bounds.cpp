#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <vector>

#include "common/index.h"
#include "data/synthesis/generate.h"
#include "data/synthesis/noise.h"
#include "data/synthesis/sweep.h"
#include "data/synthesis/walk.h"
#include "data/testrecord.h"
#include "platform/rand.h"
#include "testpreset.h"

namespace {

// The filter relies on y' staying below 2^31: walk every smoothness and every
// change of smoothness from any settled state, driven by the largest draw.
TEST(NoiseBounds, FilterStateStaysBelowTwoToThe31) {
  std::vector<int64_t> settled;
  for (int s = 0; s <= 100; s++) {
    NoiseCoefficients c = NoiseCoefficientsOf(s);
    int64_t y = 0;
    for (;;) {
      int64_t next = ((c.A * y) >> 7) + ((65535LL * c.M) >> 16);
      if (next == y) break;
      y = next;
    }
    settled.push_back(y);
  }
  int64_t worst = 0;
  for (int s = 0; s <= 100; s++) {
    NoiseCoefficients c = NoiseCoefficientsOf(s);
    for (int64_t y : settled) worst = std::max<int64_t>(worst, (((c.A * y) >> 7) << 16) + 65535LL * c.M);
  }
  EXPECT_LT(worst, int64_t(1) << 31);
}

// NoiseDivider for every 32-bit numerator, NoiseDivider31 (the vector
// path's) for every numerator below 2^31, the largest multiple of d there
// and its neighbours included.
TEST(NoiseBounds, DividersAreExact) {
  std::mt19937 rng(3);
  std::vector<uint32_t> divisors;
  for (int s = 0; s < 100; s++) divisors.push_back(NoiseCoefficientsOf(s).Q);  // 100 gives 1, below
  for (uint32_t d : {2u, 3u, 7u, 65535u, 65536u, 2147483647u}) divisors.push_back(d);
  for (uint32_t d : divisors) {
    NoiseDivider div(d);
    NoiseDivider31 div31(d);
    uint32_t top = 2147483647u / d * d;
    for (uint32_t n : {0u, 1u, d - 1, d, d + 1, top - 1, top, 2147483647u}) {
      ASSERT_EQ(div(n), n / d) << d << " " << n;
      ASSERT_EQ(div31(n), n / d) << d << " " << n;
    }
    for (uint32_t n : {2147483648u, 4294967295u}) ASSERT_EQ(div(n), n / d) << d << " " << n;
    for (int i = 0; i < 20000; i++) {
      uint32_t n = static_cast<uint32_t>(rng());
      ASSERT_EQ(div(n), n / d) << d << " " << n;
      ASSERT_EQ(div31(n >> 1), (n >> 1) / d) << d << " " << (n >> 1);
    }
  }
  EXPECT_EQ(NoiseDivider(1)(0), 0u);  // the only numerator divisor 1 ever sees
  EXPECT_EQ(NoiseDivider31(1)(0), 0u);
}

TEST(NoiseBounds, EightBitNoiseUsesTheByteScale) {
  AdvancedOptions o;
  o.Bits16 = 0;
  EngineSetUp(o);
  ASSERT_TRUE(EnsureSweepData(TestRecord, 2 * MAXSWEEPRECORD));
  auto* r = FirstSweepRecord(TestRecord);
  std::memset(static_cast<void*>(r), 0, MAXSWEEPRECORD);
  r->NumVoices = 1;
  r->NoiseVolume[0] = r->NoiseVolume[1] = 10000;
  int frames = TestRecord.BlockBytes / 2;
  std::vector<uint8_t> b(static_cast<size_t>(TestRecord.BlockBytes), 128);
  plat::SeedRandom(11);
  MixNoise(TestRecord, b.data(), frames, 64, r, false, false);
  plat::SeedRandom(11);
  uint32_t x = static_cast<uint32_t>(plat::Random());
  for (int n = 0; n < frames; n++) {
    x = x * 22695477u + 1;
    int32_t white = static_cast<int32_t>(x >> 16) - 32768;
    ASSERT_EQ(b[Ix(2 * n)], static_cast<uint8_t>(128 + white / 256)) << n;
    x = x * 22695477u + 1;
  }
}

}  // namespace
