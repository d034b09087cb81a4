#include <gtest/gtest.h>

#include "platform/rand.h"

namespace {

TEST(ProcessRandom, FollowsTheLinearCongruentialSequence) {
  plat::SeedRandom(1);
  // state = state * 214013 + 2531011; result = (state >> 16) & 0x7FFF
  EXPECT_EQ(plat::Random(), 41);
  EXPECT_EQ(plat::Random(), 18467);
  EXPECT_EQ(plat::Random(), 6334);
  EXPECT_EQ(plat::Random(), 26500);
  plat::SeedRandom(1);
  EXPECT_EQ(plat::Random(), 41);  // reseeding restarts the sequence
  plat::SeedRandom(0xFFFFFFFFu);
  for (int i = 0; i < 10000; i++) {
    int r = plat::Random();
    ASSERT_GE(r, 0);
    ASSERT_LE(r, 32767);
  }
}

}  // namespace
